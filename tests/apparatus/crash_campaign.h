#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/apparatus/loss_table.h"

namespace tidemark::testing {

/// A crash campaign: real passes of the headless driver over a tree of large and small files,
/// in Normal and in Backup, each killed with SIGKILL at a random moment. The same seed gives
/// the same tree, destination states and kill moments.
struct CrashCampaignOptions {
    std::string bench_path;   ///< the tidemark-bench executable
    std::string work_folder;  ///< scratch folder; empty: a new one under TMPDIR or /tmp
    bool keep_work_folder = false;
    int trials = 100;
    std::uint64_t seed = 1;
    std::optional<int> only_trial;  ///< run this trial alone, to reproduce it
    int small_files = 400;
    int large_files = 3;
    std::int64_t large_size = 24 << 20;
    int time_limit_seconds = 300;  ///< a pass that runs longer counts as hung
};

/// What the campaign found: the tally for the table and a line for every problem.
struct CrashCampaignResult {
    LossTally tally;
    std::int64_t temporary_files_left = 0;  ///< by killed passes, all removed afterwards
    std::int64_t kills_during_pass = 0;     ///< trials killed before the pass ended by itself
    std::vector<std::string> problems;
};

/// Runs the campaign, writing one line per trial to `log` when it is not null. After each kill
/// every destination file must be its complete previous version or the complete version the
/// pass was to put there; temporary files must be hidden and named for the killed process. A
/// second pass must then complete the work, and a pass that walks the destination must remove
/// the temporary files.
CrashCampaignResult RunCrashCampaign(const CrashCampaignOptions& options, std::FILE* log);

/// `tidemark-crash [--trials N] [--seed N] [--trial N] [--small-files N] [--large-files N]
/// [--large-size BYTES] [--work FOLDER] [--keep] [--bench PATH]`: runs the campaign (with the
/// tidemark-bench beside this program unless told otherwise), prints the table, and exits 1
/// when anything was lost, hung or crashed.
int CrashCommand(int argc, char** argv);

}  // namespace tidemark::testing
