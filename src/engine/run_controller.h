#pragma once

#include <cstdint>
#include <string>

#include "engine/exclusion.h"
#include "engine/file_prefetcher.h"
#include "engine/file_system_port.h"
#include "engine/folder_guard.h"
#include "engine/progress.h"
#include "engine/results_log.h"
#include "engine/run_types.h"
#include "engine/run_view.h"

namespace tidemark {

/// How many files ahead of the walk a pass prepares, on how many worker threads (0: each file is
/// prepared on the calling thread when its turn comes).
struct RunConcurrency {
    int workers = FilePrefetcher::DefaultWorkers();
    std::size_t window = 1024;
    /// Called first on every thread that works for the walk, where the platform can make it
    /// background work; null for nothing.
    HelperThreadStart helper_start = nullptr;
};

/// The Synchronize Now! command with its passes, and the Pause/Continue and Stop buttons.
class RunController {
  public:
    RunController(FileSystemPort& fs, RunView& view, Clock& clock, TextFormat& format,
                  const ExcludeList& exclude_list, RunConcurrency concurrency = {});

    /// Runs the command for these settings (after the window has dealt with unsaved
    /// settings): normalises and compares the locations, runs the forward pass and, when asked
    /// for, the reverse pass. Answers the processed-file count of the last pass that ran, for
    /// the usage counter.
    std::int32_t SynchronizeNow(const SyncSettings& settings);

    /// Puts the counters, the flags, the status line and the progress bar back to their start.
    void ResetRun();

    /// The Pause/Continue button. Takes effect at the walk's next poll point.
    void PauseClicked();
    /// The Stop button. The file or folder in hand is finished first.
    void StopClicked();

    /// For a program that ends in the middle of a run (its window closed): throws away the
    /// copies prepared ahead of the walk, so that no temporary file is left behind. Called
    /// from the window's event handling; the program must not return into the run afterwards.
    void AbandonRun();

    const SyncStats& Stats() const { return stats_; }
    const RunState& State() const { return state_; }

  private:
    enum class PassOutcome { kCompleted, kStopped, kDeclined };

    PassOutcome RunPass(const SyncSettings& settings, const std::string& source,
                        const std::string& destination, bool reverse);
    bool IsSameLocation(const std::string& source, const std::string& destination);
    FolderGuard GuardFor(const std::string& source, const std::string& destination);
    void WriteSummary();
    std::string Now();

    FileSystemPort& fs_;
    RunView& view_;
    Clock& clock_;
    TextFormat& format_;
    const ExcludeList& exclude_list_;
    ResultsLog log_;
    SyncStats stats_;
    RunState state_;
    RunProgress progress_;
    FilePrefetcher prefetcher_;
    std::string pause_caption_ = "Pause";
};

}  // namespace tidemark
