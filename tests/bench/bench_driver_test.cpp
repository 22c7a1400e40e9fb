// The headless driver end to end: its options, exit codes, lines and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

/// Runs the driver with these arguments and answers its exit code.
int Bench(const std::string& arguments) {
    const int status = std::system((TIDEMARK_BENCH_PATH " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BenchDriver, RunsWithItsOptionsPrintsLinesAndMessagesApartAndRefusesBadArguments) {
    for (const char* bad :
         {"run", "run --style fast a b", "run --ignore-hidden 3 a b", "run --bogus a b", ""})
        EXPECT_EQ(Bench(bad + std::string(" >/dev/null 2>&1")), 2) << bad;
    TemporaryFolder folder;
    WriteFile(folder / "src/keep.txt", "k");
    WriteFile(folder / "src/drop.bak", "d");
    WriteFile(folder / "list.txt", "\r\n.BAK\r\n");
    EXPECT_EQ(
        Bench("run --exclude-list " + (folder / "list.txt") + " " + (folder / "src") + " " +
              (folder / "new") + " >" + (folder / "lines.txt") + " 2>" + (folder / "messages.txt")),
        0);
    const std::string lines = ReadFile(folder / "lines.txt");
    EXPECT_NE(lines.find("\nExcluding file " + (folder / "src/drop.bak") + "\n"), std::string::npos)
        << lines;
    EXPECT_TRUE(lines.ends_with("Done!\n"));
    EXPECT_TRUE(ReadFile(folder / "messages.txt")
                    .starts_with((folder / "new") +
                                 " does not exist.  Would you like to create it now? [Yes]\n"));
    EXPECT_EQ(ReadFile(folder / "new/keep.txt"), "k");
}

}  // namespace
}  // namespace tidemark::testing
