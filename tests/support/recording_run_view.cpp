#include "tests/support/recording_run_view.h"

#include <cstdio>

namespace tidemark::testing {

RunStages RecordingRunView::Stages() {
    RunStages stages;
    stages.locations = [this](const std::string& source, const std::string& destination) {
        source_box = source;
        destination_box = destination;
    };
    stages.begins = [this] { running = true; };
    stages.ends = [this] {
        running = false;
        calculating_note_visible = false;
    };
    return stages;
}

std::vector<std::string> RecordingRunView::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const ResultLine& line : lines)
        texts.push_back(line.text);
    return texts;
}

MessageAnswer RecordingRunView::ShowMessage(const std::string& text, MessageButtons buttons,
                                            MessageIcon icon) {
    messages.push_back(ShownMessage{text, buttons, icon});
    if (answers.empty())
        return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kYes;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingRunView::AddLine(const ResultLine& line) {
    lines.push_back(line);
    status = line.text;
    if (on_line)
        on_line(line);
}

void RecordingRunView::ProcessEvents() {
    if (on_events)
        on_events();
}

SyncSettings Between(const std::string& source, const std::string& destination) {
    SyncSettings settings;
    settings.source_path = source;
    settings.destination_path = destination;
    return settings;
}

std::vector<std::string> WalkLines(const std::vector<std::string>& texts) {
    std::vector<std::string> walk;
    bool inside = false;
    for (const std::string& text : texts) {
        if (text.starts_with("Sychronization completed at "))
            break;
        if (inside)
            walk.push_back(text);
        if (text.starts_with("Sychronization of "))
            inside = true;
    }
    return walk;
}

std::vector<std::string> SummaryLines(const std::vector<std::string>& texts) {
    std::vector<std::string> summary;
    for (const std::string& text : texts) {
        if (text.starts_with(" --> "))
            summary.push_back(text);
        if (text == "Done!")
            break;
    }
    return summary;
}

std::string FakeTextFormat::DateTime(FileTime time) {
    return std::string(1, '@').append(std::to_string(time / 1'000'000'000));
}

std::string FakeTextFormat::OneDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace tidemark::testing
