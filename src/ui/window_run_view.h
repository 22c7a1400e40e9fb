#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/run_log.h"
#include "engine/clock.h"
#include "engine/run_report.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace tidemark::ui {

class ResultsList;
class ResultsModel;

/// The widgets of the main window that a run writes to.
struct RunWidgets {
    QWidget* window = nullptr;
    QWidget* controls = nullptr;
    ResultsModel* model = nullptr;
    ResultsList* list = nullptr;
    QLabel* output = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* approx = nullptr;
    QLabel* time_remaining = nullptr;
    QLabel* calculating_note = nullptr;
    QPushButton* synchronize = nullptr;
    QPushButton* pause = nullptr;
    QPushButton* stop = nullptr;
    QLineEdit* source = nullptr;
    QLineEdit* destination = nullptr;
};

/// The main window as the engine sees it during a run. Lines, the status line, the progress
/// bar and the time labels are kept as written but reach the widgets, together with a pass of
/// the event loop, at most once per refresh interval: painting and yielding after every line
/// would cost more than the copying itself. Everything written is applied at once before a
/// message box shows and when the run ends.
class WindowRunView final : public RunReport, public RunHost {
  public:
    /// Seconds between two refreshes of the window during a run, at the least...
    static constexpr double kRefreshInterval = 0.015;
    /// ...and, where a refresh is slow (a loaded machine, a large window), enough for the run
    /// to get this many times the refresh's own time in between...
    static constexpr double kRunShare = 19.0;
    /// ...but never so long that Pause and Stop would wait for it.
    static constexpr double kLongestInterval = 0.06;

    WindowRunView(RunWidgets widgets, MessagePort& messages, Clock& clock,
                  std::function<void()> refresh_style_description);

    /// Applies everything written so far to the widgets, without handling events.
    void Flush();
    /// Every line written from now on also goes to this log; null for none.
    void SetRunLog(RunLog* log) { run_log_ = log; }

    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon icon) override;
    void AddLine(const ResultLine& line) override;
    void ClearResults() override;
    void SetStatus(const std::string& text) override;
    void SetProgressMaximum(std::int64_t maximum) override;
    void SetProgressValue(std::int64_t value) override;
    void SetTimeRemaining(const std::string& caption) override;
    void SetCalculatingNoteVisible(bool visible) override;
    void SetPauseCaption(const std::string& caption) override;

    // The window's own side of a run.
    /// Writes the normalised locations back into the Source and Destination boxes.
    void SetLocations(const std::string& source, const std::string& destination);
    void RefreshStyleDescription();
    /// A run begins: the time labels show, the settings are disabled, and Pause and Stop
    /// take the place of Synchronize Now!.
    void BeginRun();
    /// The run is over: everything BeginRun changed goes back.
    void EndRun();

    /// Repaints the window when a refresh is due; input waits.
    void Repaint() override;
    /// Refreshes the window and handles pending events when a refresh is due.
    void ProcessEvents() override;
    void Sleep(std::chrono::milliseconds duration) override;

  private:
    bool RefreshDue();
    /// Notes that a refresh that began at `start` has ended.
    void RefreshDone(double start);

    RunWidgets widgets_;
    MessagePort& messages_;
    Clock& clock_;
    std::function<void()> refresh_style_description_;
    RunLog* run_log_ = nullptr;
    double last_refresh_ = 0.0;
    double interval_ = kRefreshInterval;

    // Texts written for every file are converted only when shown, and their room is reused.
    std::string status_;
    bool status_written_ = false;
    std::string time_remaining_;
    bool time_remaining_written_ = false;
    std::optional<std::int64_t> progress_maximum_;
    std::optional<std::int64_t> progress_value_;
    std::optional<bool> calculating_note_visible_;
};

}  // namespace tidemark::ui
