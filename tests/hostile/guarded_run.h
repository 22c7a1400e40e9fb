#pragma once

#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/apparatus/loss_table.h"

namespace tidemark::testing {

struct GuardedOptions {
    std::chrono::seconds time_limit{120};
    /// When the tests run as root, this tree is handed to an ordinary user, who runs the case,
    /// so that permission bits hold.
    std::string unprivileged_tree = {};
    rlim_t file_size_limit = RLIM_INFINITY;  ///< the largest file the case may write (ulimit -f)
    rlim_t open_files_limit = RLIM_INFINITY;
};

struct GuardedResult {
    enum class End { kFinished, kHung, kCrashed };
    End end = End::kFinished;
    std::string how;                 ///< for a hang or a crash: what happened
    std::vector<std::string> lines;  ///< what the case answered
};

/// Runs `body` in a child process with the limits, answers the lines it answered and adds the
/// case to the tally. A child still running at the time limit is ended and counts as hung; one
/// that dies from another signal or ends without an answer counts as crashed. The caller must
/// have no other threads.
GuardedResult RunGuarded(const std::function<std::vector<std::string>()>& body,
                         const GuardedOptions& options = {});

/// The tally of this test program, printed as the nothing-lost table when it ends.
LossTally& Tally();

}  // namespace tidemark::testing
