#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/run_log.h"
#include "engine/run_report.h"

namespace tidemark {

/// A run without a window. Results lines go to `lines` and to the run log, if any, message texts to
/// `messages`, one line each; every question is answered Yes (and says so), every other box
/// OK. What the run showed decides its exit status: a box that is not a question means the
/// run could not be done, a line reporting a failure that it finished with failures.
class HeadlessRunView final : public RunReport, public RunHost {
  public:
    HeadlessRunView(std::ostream& lines, std::ostream& messages, RunLog* log)
        : lines_(lines), messages_(messages), log_(log) {}

    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon) override {
        const bool question = buttons != MessageButtons::kOk;
        if (!question && problem_.empty()) {
            problem_ = OneLine(text);
        }
        Tell(OneLine(text) + (question ? " [Yes]" : ""));
        return question ? MessageAnswer::kYes : MessageAnswer::kOk;
    }

    void AddLine(const ResultLine& line) override {
        lines_ << line.text << '\n';
        if (log_ != nullptr) {
            log_->AddLine(line.text);
        }
        const std::string_view text = line.text;
        if (text.starts_with("The synchronization could not be completed.")) {
            // The run was cut short by a failure outside any one file.
            if (problem_.empty()) {
                problem_ = line.text;
            }
        } else if (text.find(" could not be processed.  ") != std::string_view::npos ||
                   text.starts_with("Files could not be retrieved from ")) {
            failures_ = true;
        }
    }

    /// Tells the user something outside the run, on the messages stream.
    void Tell(const std::string& text) {
        lines_.flush();  // so that a message stands after the lines written before it
        messages_ << text << '\n';
    }

    /// Why the run could not be done; empty when nothing stopped it.
    const std::string& Problem() const { return problem_; }
    /// Whether a line reported a failure.
    bool HadFailures() const { return failures_; }

    void ClearResults() override {}
    void SetStatus(const std::string&) override {}
    void SetProgressMaximum(std::int64_t) override {}
    void SetProgressValue(std::int64_t) override {}
    void SetTimeRemaining(const std::string&) override {}
    void SetCalculatingNoteVisible(bool) override {}
    void SetPauseCaption(const std::string&) override {}
    void Repaint() override {}
    void ProcessEvents() override {}
    void Sleep(std::chrono::milliseconds) override {}

  private:
    /// The text on one line: its line breaks, and the blank lines they make, become one blank.
    static std::string OneLine(std::string_view text) {
        std::string line;
        bool broken = false;
        for (const char c : text) {
            if (c == '\r' || c == '\n') {
                broken = true;
                continue;
            }
            if (broken && !line.empty()) {
                line += ' ';
            }
            broken = false;
            line += c;
        }
        return line;
    }

    std::ostream& lines_;
    std::ostream& messages_;
    RunLog* log_;
    std::string problem_;
    bool failures_ = false;
};

}  // namespace tidemark
