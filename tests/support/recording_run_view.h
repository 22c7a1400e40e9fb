#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/run_controller.h"
#include "engine/run_report.h"

namespace tidemark::testing {

/// A message box as the engine asked for it.
struct ShownMessage {
    std::string text;
    MessageButtons buttons;
    MessageIcon icon;
};

/// A run view that records everything the engine shows and answers questions from a script.
class RecordingRunView final : public RunReport, public RunHost {
  public:
    /// Answers for the next questions, in order; when none is left, questions get Yes and
    /// messages OK.
    std::deque<MessageAnswer> answers;
    /// Called after every line is added: lets a test press Pause or Stop "during" AddResult.
    std::function<void(const ResultLine&)> on_line;
    /// Called whenever the engine hands control to the event loop.
    std::function<void()> on_events;

    std::vector<ResultLine> lines;
    std::vector<ShownMessage> messages;
    std::vector<std::string> time_captions;
    std::vector<std::int64_t> progress_values;
    std::string status;
    std::vector<std::string> statuses;  ///< every status set, lines aside
    std::string pause_caption;
    std::string source_box;
    std::string destination_box;
    std::int64_t progress_maximum = 0;
    bool calculating_note_visible = false;
    bool running = false;
    int repaints = 0;
    int sleeps = 0;

    /// The texts of the lines, for comparing with an expected list.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ResultLine& line : lines)
            texts.push_back(line.text);
        return texts;
    }

    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon icon) override {
        messages.push_back(ShownMessage{text, buttons, icon});
        if (answers.empty())
            return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kYes;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void AddLine(const ResultLine& line) override {
        lines.push_back(line);
        status = line.text;
        if (on_line)
            on_line(line);
    }
    void ClearResults() override { lines.clear(); }
    void SetStatus(const std::string& text) override {
        status = text;
        statuses.push_back(text);
    }
    void SetProgressMaximum(std::int64_t maximum) override { progress_maximum = maximum; }
    void SetProgressValue(std::int64_t value) override { progress_values.push_back(value); }
    void SetTimeRemaining(const std::string& caption) override { time_captions.push_back(caption); }
    void SetCalculatingNoteVisible(bool visible) override { calculating_note_visible = visible; }
    void SetPauseCaption(const std::string& caption) override { pause_caption = caption; }
    /// The window's side of a run, recorded here: the boxes and whether a run is on.
    RunStages Stages() {
        return {[this](const std::string& source, const std::string& destination) {
                    source_box = source;
                    destination_box = destination;
                },
                [this] { running = true; }, [this] { running = calculating_note_visible = false; }};
    }
    void Repaint() override { ++repaints; }
    void ProcessEvents() override {
        if (on_events)
            on_events();
    }
    void Sleep(std::chrono::milliseconds) override { ++sleeps; }
};

/// The lines a pass's walk wrote: those between its start line and its completion line.
inline std::vector<std::string> WalkLines(const std::vector<std::string>& texts) {
    std::vector<std::string> walk;
    bool inside = false;
    for (const std::string& text : texts) {
        if (text.starts_with("Sychronization completed at "))
            break;
        if (inside)
            walk.push_back(text);
        inside = inside || text.starts_with("Sychronization of ");
    }
    return walk;
}
/// The summary lines of the first pass.
inline std::vector<std::string> SummaryLines(const std::vector<std::string>& texts) {
    std::vector<std::string> summary;
    for (auto text = texts.begin(); text != texts.end() && *text != "Done!"; ++text) {
        if (text->starts_with(" --> "))
            summary.push_back(*text);
    }
    return summary;
}

/// A clock that moves only when told to.
class FakeClock final : public Clock {
  public:
    double seconds = 1000.0;
    FileTime now = 1'600'000'000'000'000'000;  // 2020-09-13 12:26:40 UTC
    double Seconds() override { return seconds; }
    FileTime Now() override { return now; }
};

/// Dates as "@<seconds since 1970>" and numbers with one decimal and a point: independent of
/// the machine's locale and time zone.
class FakeTextFormat final : public TextFormat {
  public:
    std::string DateTime(FileTime time) override {
        // Not "@" + ...: GCC 12 warns of a false overlap in that at -O2.
        return std::string(1, '@').append(std::to_string(time / 1'000'000'000));
    }
    std::string OneDecimal(double value) override {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f", value);
        return text;
    }
};

/// A run controller with a recording view, clock and text format of its own.
struct TestRun {
    explicit TestRun(FileSystemPort& fs, ExcludeList exclude = {}, RunConcurrency concurrency = {})
        : exclude_list(std::move(exclude)),
          controller(fs, view, view, clock, format, exclude_list, concurrency) {}
    /// Runs the command and answers the texts of its lines.
    std::vector<std::string> Synchronize(const SyncSettings& settings) {
        controller.SynchronizeNow(settings);
        return view.Texts();
    }

    RecordingRunView view;
    FakeClock clock;
    FakeTextFormat format;
    ExcludeList exclude_list;
    RunController controller;
};

/// Settings from one folder to another, everything else as a new configuration has it.
inline SyncSettings Between(const std::string& source, const std::string& destination) {
    SyncSettings settings;
    settings.source_path = source;
    settings.destination_path = destination;
    return settings;
}

}  // namespace tidemark::testing
