#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/apparatus/loss_table.h"

namespace tidemark::testing {

/// What one case found.
struct CaseReport {
    std::vector<std::string> lines = {};     ///< the results lines of the run
    std::vector<std::string> problems = {};  ///< every way the outcome differed from what was due
    std::int64_t files_compared = 0;
    std::int64_t bytes_lost = 0;
    std::int64_t faults_fired = 0;  ///< calls that failed on purpose
};

struct GuardedOptions {
    std::chrono::seconds time_limit{120};
    /// Run as an ordinary user when the tests run as root, so that permission bits hold.
    bool unprivileged = false;
    /// The largest file the run may write (the shell's ulimit -f), in bytes.
    std::optional<std::uint64_t> file_size_limit;
};

/// How a guarded run ended.
struct GuardedResult {
    enum class End { kFinished, kHung, kCrashed };
    End end = End::kFinished;
    std::string how;  ///< for a hang or a crash: what happened
    CaseReport report;
};

/// Runs `body` in a child process with a time limit and answers its report. A child that is
/// still running at the limit is ended and counts as hung; one that dies from another signal
/// or ends without a report counts as crashed. The caller must have no other threads.
GuardedResult RunGuarded(const std::function<CaseReport()>& body, const GuardedOptions& options);

/// Gives the tree to the user of unprivileged runs when the tests run as root.
void HandOverToUnprivilegedUser(const std::string& root);

/// The tally of this test program, printed as the nothing-lost table when it ends.
LossTally& Tally();

/// Adds a finished case to the tally.
void Record(const GuardedResult& result);

}  // namespace tidemark::testing
