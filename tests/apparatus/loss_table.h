#pragma once

#include <cstdint>
#include <string>

namespace tidemark::testing {

/// What a nothing-lost check found: the cases it tried and files it compared, the bytes of the
/// user's data it found lost, and the runs that hung or crashed.
struct LossTally {
    std::string suite;
    std::int64_t cases = 0;
    std::int64_t files_compared = 0;
    std::int64_t bytes_lost = 0;
    std::int64_t hangs = 0;
    std::int64_t crashes = 0;

    bool Clean() const { return bytes_lost == 0 && hangs == 0 && crashes == 0; }
};

/// Prints the tally as a table on standard output and, when the environment variable
/// TIDEMARK_LOSS_TABLE names a file, appends its row there, so that a script can show the rows
/// of several programs under one header.
void ReportLossTable(const LossTally& tally);

}  // namespace tidemark::testing
