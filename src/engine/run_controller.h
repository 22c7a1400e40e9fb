#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/clock.h"
#include "engine/executor.h"
#include "engine/file_system_port.h"
#include "engine/look_ahead.h"
#include "engine/path_syntax.h"
#include "engine/progress.h"
#include "engine/run_report.h"
#include "engine/run_types.h"

namespace tidemark {

/// How a pass prepares files ahead of its walk: with how many workers (0: each file is
/// prepared on the walk's thread in its turn), within which bounds, on which executor (null:
/// one of the controller's own).
struct RunConcurrency {
    int workers = Executor::DefaultWorkers();
    LookAhead::Bounds bounds = {};
    Executor* executor = nullptr;
};

/// What the window does at the turning points of a run; each may be left empty.
struct RunStages {
    /// The locations, as normalised, are written back into their boxes.
    std::function<void(const std::string& source, const std::string& destination)> locations;
    /// The run begins, once the locations are accepted: time labels shown, settings disabled,
    /// Pause and Stop shown in place of Synchronize Now!.
    std::function<void()> begins;
    /// The run is over: everything the beginning changed is put back.
    std::function<void()> ends;
};

/// The Synchronize Now! command with its passes, and the Pause/Continue and Stop buttons.
class RunController {
  public:
    RunController(FileSystemPort& fs, RunReport& report, RunHost& host, Clock& clock,
                  TextFormat& format, const ExcludeList& exclude_list,
                  RunConcurrency concurrency = {});

    /// Runs the command for these settings (after the window has dealt with unsaved
    /// settings): normalises and compares the locations, runs the forward pass and, when asked
    /// for, the reverse pass. Answers the processed-file count of the last pass that ran, for
    /// the usage counter.
    std::int32_t SynchronizeNow(const SyncSettings& settings, const RunStages& stages = {});

    /// Puts the counters, the flags, the status line and the progress bar back to their start.
    void ResetRun();

    /// The Pause/Continue button. Takes effect at the walk's next poll point.
    void PauseClicked();
    /// The Stop button. The file or folder in hand is finished first.
    void StopClicked();

    const SyncStats& Stats() const { return stats_; }
    const RunState& State() const { return state_; }

  private:
    enum class PassOutcome { kCompleted, kStopped, kDeclined };

    PassOutcome RunPass(const SyncSettings& settings, const std::string& source,
                        const std::string& destination, bool reverse);
    bool IsSameLocation(const std::string& source, const std::string& destination);
    std::string GuardedPath(const std::string& source, const std::string& destination);
    void WriteSummary();
    std::string Now();

    FileSystemPort& fs_;
    RunReport& report_;
    RunHost& host_;
    Clock& clock_;
    TextFormat& format_;
    const ExcludeList& exclude_list_;
    const RunConcurrency concurrency_;
    std::unique_ptr<Executor> own_executor_;
    ResultsLog log_;
    SyncStats stats_;
    RunState state_;
    RunProgress progress_;
    LookAhead* look_ahead_ = nullptr;  // the walk's, while one goes on
    std::string pause_caption_ = "Pause";
};

}  // namespace tidemark
