// The headless driver end to end: its exit codes, and rsync as an oracle for what it copies.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/tree_command.h"
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
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.text.append(buffer, n);
    const int status = ::pclose(pipe);
    output.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

const std::string kBench = TIDEMARK_BENCH_PATH;

TEST(BenchDriver, BadArgumentsExitWithTwo) {
    EXPECT_EQ(Shell(kBench + " run 2>/dev/null").exit_code, 2);
    EXPECT_EQ(Shell(kBench + " run --style fast a b 2>/dev/null").exit_code, 2);
    EXPECT_EQ(Shell(kBench + " run --ignore-hidden 3 a b 2>/dev/null").exit_code, 2);
    EXPECT_EQ(Shell(kBench + " run --bogus a b 2>/dev/null").exit_code, 2);
    EXPECT_EQ(Shell(kBench + " 2>/dev/null").exit_code, 2);
}

TEST(BenchDriver, PrintsResultLinesAndMessagesApart) {
    TemporaryFolder folder;
    MakeFolders(folder / "src");
    WriteFile(folder / "src/a.txt", "a");
    const Output run = Shell(kBench + " run " + (folder / "src") + " " + (folder / "new") + " 2>" +
                             (folder / "messages.txt"));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.text.find("\nCreating file " + (folder / "new/a.txt") + "\n"), std::string::npos)
        << run.text;
    EXPECT_TRUE(run.text.ends_with("Done!\n"));
    const std::string messages = ReadFile(folder / "messages.txt");
    EXPECT_TRUE(messages.starts_with((folder / "new") + " does not exist.  Would you like to "
                                                        "create it now? [Yes]\n"))
        << messages;
    EXPECT_EQ(ReadFile(folder / "new/a.txt"), "a");
}

TEST(BenchDriver, ExcludeListFileTurnsExclusionOn) {
    TemporaryFolder folder;
    MakeFolders(folder / "src");
    MakeFolders(folder / "dst");
    WriteFile(folder / "src/keep.txt", "k");
    WriteFile(folder / "src/drop.bak", "d");
    WriteFile(folder / "list.txt", "\r\n.BAK\r\n");
    const Output run = Shell(kBench + " run --exclude-list " + (folder / "list.txt") + " " +
                             (folder / "src") + " " + (folder / "dst") + " 2>/dev/null");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.text.find("Excluding file " + (folder / "src/drop.bak")), std::string::npos);
    EXPECT_EQ(ReadFile(folder / "dst/keep.txt"), "k");
}

TEST(BenchDriver, RsyncFindsNothingLeftToCopyAfterASafeModeRun) {
    if (Shell("command -v rsync >/dev/null").exit_code != 0) {
        GTEST_SKIP() << "rsync is not installed";
    }
    TemporaryFolder folder;
    bench::TreeOptions tree;
    tree.files = 1500;
    tree.folders = 120;
    tree.hidden_fraction = 0.05;
    tree.link_fraction = 0.03;
    ASSERT_TRUE(bench::MakeTree(folder / "src", tree));

    const Output run = Shell(kBench + " run --style safe --ignore-hidden 0 " + (folder / "src") +
                             " " + (folder / "dst") + " >/dev/null 2>&1");
    ASSERT_EQ(run.exit_code, 0);
    // Contents, times, modes and link targets; folders' own times aside.
    const Output differences = Shell("rsync -a -n -i --checksum " + (folder / "src/") + " " +
                                     (folder / "dst/") + " | grep -v '^\\.d' ");
    EXPECT_EQ(differences.text, "");
}

}  // namespace
}  // namespace tidemark::testing
