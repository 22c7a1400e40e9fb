#include "tests/apparatus/loss_table.h"

#include <cstdio>
#include <cstdlib>

namespace tidemark::testing {

void ReportLossTable(const LossTally& tally) {
    constexpr const char* kFormat = "%-34s %11s %14s %10s %6s %8s\n";
    std::printf(kFormat, "suite", "cases tried", "files compared", "bytes lost", "hangs",
                "crashes");
    char row[256];
    std::snprintf(row, sizeof row, kFormat, tally.suite.c_str(),
                  std::to_string(tally.cases).c_str(), std::to_string(tally.files_compared).c_str(),
                  std::to_string(tally.bytes_lost).c_str(), std::to_string(tally.hangs).c_str(),
                  std::to_string(tally.crashes).c_str());
    std::fputs(row, stdout);
    std::fflush(stdout);
    const char* file = std::getenv("TIDEMARK_LOSS_TABLE");
    if (std::FILE* out = file != nullptr && *file != '\0' ? std::fopen(file, "a") : nullptr) {
        std::fputs(row, out);
        std::fclose(out);
    }
}

}  // namespace tidemark::testing
