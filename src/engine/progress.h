#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "engine/clock.h"
#include "engine/run_report.h"
#include "engine/run_types.h"

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
    void ProcessEvents() { host_.ProcessEvents(); }
    void Repaint() { host_.Repaint(); }

  private:
    RunReport& report_;
    RunHost& host_;
};

/// Seconds left, extrapolated from the time per file so far and cut (not rounded) to hundredths.
double EstimateSecondsLeft(double elapsed, std::int32_t processed, std::int32_t total);

/// "27.0 seconds", "2.5 minutes", "2.0 hours": seconds up to 120, minutes up to 7200.
std::string TimeRemainingCaption(double estimate, TextFormat& format);

/// The progress bar, the time-remaining estimate and the pause/stop poll of a run.
class RunProgress {
  public:
    RunProgress(RunReport& report, RunHost& host, Clock& clock, TextFormat& format,
                const SyncStats& stats, const RunState& state)
        : report_(report),
          host_(host),
          clock_(clock),
          format_(format),
          stats_(stats),
          state_(state) {}

    void SetMaximum(std::int64_t maximum);
    void SetValue(std::int64_t value);
    /// The bar full: the end of a pass that was not stopped.
    void Fill() { SetValue(maximum_); }

    /// One step of the activity sign shown while files are counted: 1 to 99, then again,
    /// never past the maximum.
    void StepActivity();

    /// After every file: the bar shows the processed count and the estimate is refreshed. An
    /// estimate is settled once a tenth of the files is done and it no longer grows; until
    /// then it carries " *" and the "calculating" note shows. `previous_estimate` belongs to
    /// the caller's folder and starts at 0 there.
    void UpdateProgress(double& previous_estimate);

    /// Waits while the run is paused, handling events every 100 ms; true when the walk must
    /// return because the user asked to stop.
    bool PollPauseStop();

  private:
    RunReport& report_;
    RunHost& host_;
    Clock& clock_;
    TextFormat& format_;
    const SyncStats& stats_;
    const RunState& state_;
    std::int64_t maximum_ = 100;
    std::int64_t value_ = 0;
    /// What the time remaining shows, so that an unchanged caption is not made again for
    /// every file; empty until the first file of a pass.
    std::optional<std::pair<double, bool>> shown_estimate_;
};

}  // namespace tidemark
