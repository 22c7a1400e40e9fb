#pragma once

#include <string>

#include "engine/run_view.h"

namespace tidemark {

/// The results list and the status line of the main window, as the engine writes them.
class ResultsLog {
  public:
    explicit ResultsLog(RunView& view) : view_(view) {}

    /// Appends a line, selects it, shows it in the status line and lets the window handle
    /// pending events (Pause and Stop among them). `path` is the file or folder the line names.
    void AddResult(std::string text, std::string path = {}) {
        view_.AddLine(ResultLine{std::move(text), std::move(path)});
        view_.ProcessEvents();
    }
    void Clear() { view_.ClearResults(); }
    void SetStatus(const std::string& text) { view_.SetStatus(text); }

  private:
    RunView& view_;
};

}  // namespace tidemark
