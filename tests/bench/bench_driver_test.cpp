// The headless driver end to end: its options, exit codes, lines and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

struct Output {
    int exit_code = -1;
    std::string text;
};

Output Shell(const std::string& command) {
    Output output;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.text.append(buffer, n);
    const int status = ::pclose(pipe);
    output.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

const std::string kBench = TIDEMARK_BENCH_PATH;

TEST(BenchDriver, RunsWithItsOptionsPrintsLinesAndMessagesApartAndRefusesBadArguments) {
    for (const char* bad :
         {"run", "run --style fast a b", "run --ignore-hidden 3 a b", "run --bogus a b", ""})
        EXPECT_EQ(Shell(kBench + " " + bad + " 2>/dev/null").exit_code, 2) << bad;
    TemporaryFolder folder;
    WriteFile(folder / "src/keep.txt", "k");
    WriteFile(folder / "src/drop.bak", "d");
    WriteFile(folder / "list.txt", "\r\n.BAK\r\n");
    const Output run =
        Shell(kBench + " run --exclude-list " + (folder / "list.txt") + " " + (folder / "src") +
              " " + (folder / "new") + " 2>" + (folder / "messages.txt"));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.text.find("\nExcluding file " + (folder / "src/drop.bak") + "\n"),
              std::string::npos)
        << run.text;
    EXPECT_TRUE(run.text.ends_with("Done!\n"));
    EXPECT_TRUE(ReadFile(folder / "messages.txt")
                    .starts_with((folder / "new") +
                                 " does not exist.  Would you like to create it now? [Yes]\n"));
    EXPECT_EQ(ReadFile(folder / "new/keep.txt"), "k");
}

}  // namespace
}  // namespace tidemark::testing
