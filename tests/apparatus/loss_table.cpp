#include "tests/apparatus/loss_table.h"

#include <cstdio>
#include <cstdlib>

namespace tidemark::testing {

namespace {

constexpr const char* kRowFormat = "%-34s %11s %14s %10s %6s %8s\n";

std::string Row(const char* suite, const std::string& cases, const std::string& files,
                const std::string& lost, const std::string& hangs, const std::string& crashes) {
    char line[256];
    std::snprintf(line, sizeof line, kRowFormat, suite, cases.c_str(), files.c_str(), lost.c_str(),
                  hangs.c_str(), crashes.c_str());
    return line;
}

}  // namespace

std::string FormatLossTable(const std::vector<LossTally>& rows) {
    std::string table =
        Row("suite", "cases tried", "files compared", "bytes lost", "hangs", "crashes");
    for (const LossTally& row : rows) {
        table += Row(row.suite.c_str(), std::to_string(row.cases),
                     std::to_string(row.files_compared), std::to_string(row.bytes_lost),
                     std::to_string(row.hangs), std::to_string(row.crashes));
    }
    return table;
}

void ReportLossTable(const std::vector<LossTally>& rows) {
    const std::string table = FormatLossTable(rows);
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
    const char* file = std::getenv("TIDEMARK_LOSS_TABLE");
    if (file == nullptr || *file == '\0') {
        return;
    }
    if (std::FILE* out = std::fopen(file, "a")) {
        // Only the rows: the script that gathers them prints one header.
        const std::string body = table.substr(table.find('\n') + 1);
        std::fputs(body.c_str(), out);
        std::fclose(out);
    }
}

}  // namespace tidemark::testing
