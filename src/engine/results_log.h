#pragma once

#include <string>

#include "engine/run_report.h"

namespace tidemark {

/// The results list and the status line, as the engine writes them.
class ResultsLog {
  public:
    ResultsLog(RunReport& report, RunHost& host) : report_(report), host_(host) {}

    /// Appends a line, selects it, shows it in the status line and lets the window handle
    /// pending events (Pause and Stop among them). `path` is the file or folder the line names.
    void AddResult(std::string text, std::string path = {}) {
        report_.AddLine(ResultLine{std::move(text), std::move(path)});
        host_.ProcessEvents();
    }
    void Clear() { report_.ClearResults(); }
    void SetStatus(const std::string& text) { report_.SetStatus(text); }
    /// Lets the window handle pending events.
    void ProcessEvents() { host_.ProcessEvents(); }
    /// Repaints the window at once, without handling input.
    void Repaint() { host_.Repaint(); }

  private:
    RunReport& report_;
    RunHost& host_;
};

}  // namespace tidemark
