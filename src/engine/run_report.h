#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/messages.h"

namespace tidemark {

/// One line of the results list and the path it names (empty when it names none).
struct ResultLine {
    std::string text;
    std::string path;

    friend bool operator==(const ResultLine&, const ResultLine&) = default;
};

/// What a run shows: the results list, the status line, the progress bar, the time remaining
/// and the caption of the Pause button.
class RunReport {
  public:
    virtual ~RunReport() = default;
    /// Appends a line at the end of the results list, selects it so that it is visible, and
    /// shows its text in the status line.
    virtual void AddLine(const ResultLine& line) = 0;
    virtual void ClearResults() = 0;
    /// Sets the status line without adding a line.
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetProgressMaximum(std::int64_t maximum) = 0;
    virtual void SetProgressValue(std::int64_t value) = 0;
    virtual void SetTimeRemaining(const std::string& caption) = 0;
    virtual void SetCalculatingNoteVisible(bool visible) = 0;
    virtual void SetPauseCaption(const std::string& caption) = 0;
};

/// What a run asks of the program around it: answers to questions, and time for the user's
/// events (Pause and Stop are clicked there).
class RunHost : public MessagePort {
  public:
    /// Handles pending user-interface events.
    virtual void ProcessEvents() = 0;
    /// Repaints the window at once without handling input.
    virtual void Repaint() = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

}  // namespace tidemark
