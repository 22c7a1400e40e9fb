#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidemark::testing {

/// What a nothing-lost check found: how many cases it tried and files it compared, how many
/// bytes of the user's data it found lost, and how many runs hung or crashed.
struct LossTally {
    std::string suite;
    std::int64_t cases = 0;
    std::int64_t files_compared = 0;
    std::int64_t bytes_lost = 0;
    std::int64_t hangs = 0;
    std::int64_t crashes = 0;

    bool Clean() const { return bytes_lost == 0 && hangs == 0 && crashes == 0; }
};

/// A header line and one aligned line per tally.
std::string FormatLossTable(const std::vector<LossTally>& rows);

/// Prints the table on standard output and, when the environment variable
/// TIDEMARK_LOSS_TABLE names a file, appends the rows to it, so that a script can show the
/// tables of several programs together.
void ReportLossTable(const std::vector<LossTally>& rows);

}  // namespace tidemark::testing
