#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/file_system_port.h"

namespace tidemark {

/// One line of the results list and the path it names (empty when it names none).
struct ResultLine {
    std::string text;
    std::string path;

    friend bool operator==(const ResultLine&, const ResultLine&) = default;
};

enum class MessageButtons { kOk, kYesNo, kYesNoCancel };
enum class MessageIcon { kNone, kQuestion, kCritical };
enum class MessageAnswer { kOk, kYes, kNo, kCancel };

/// Message boxes: titled with the application title, the first button the default.
class MessagePort {
  public:
    virtual ~MessagePort() = default;
    /// Shows the text modally and answers the button pressed.
    virtual MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                                      MessageIcon icon) = 0;
};

/// What a run shows in the main window, and the window's event loop.
class RunView : public MessagePort {
  public:
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
    /// Writes the normalised locations back into the Source and Destination boxes.
    virtual void SetLocations(const std::string& source, const std::string& destination) = 0;
    /// Refreshes the description of the selected style.
    virtual void RefreshStyleDescription() = 0;
    /// A run starts: the time labels show and the settings controls are disabled.
    virtual void BeginRun() = 0;
    /// A pass starts: Pause and Stop show, Synchronize Now! hides.
    virtual void ShowPassButtons() = 0;
    /// The run ends: settings enabled, time labels and note hidden, Synchronize Now! back.
    virtual void EndRun() = 0;
    /// Repaints the window at once without handling input.
    virtual void Repaint() = 0;
    /// Handles pending user-interface events; Pause and Stop are serviced here.
    virtual void ProcessEvents() = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

/// Time as the engine reads it.
class Clock {
  public:
    virtual ~Clock() = default;
    /// Seconds with fractions from a steady clock; only differences are meaningful.
    virtual double Seconds() = 0;
    /// The current wall-clock time.
    virtual FileTime Now() = 0;
};

/// Dates and numbers as the user's locale writes them.
class TextFormat {
  public:
    virtual ~TextFormat() = default;
    /// Local date and time to the second, in the locale's short form.
    virtual std::string DateTime(FileTime time) = 0;
    /// A number with exactly one decimal, with the locale's separators.
    virtual std::string OneDecimal(double value) = 0;
};

}  // namespace tidemark
