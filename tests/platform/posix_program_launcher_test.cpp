#include "platform/posix_program_launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>

#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::TemporaryFolder;

void WriteProgram(const std::string& path, const std::string& script, mode_t mode = 0755) {
    testing::WriteFile(path, "#!/bin/sh\n" + script + "\n");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

TEST(PosixProgramLauncherTest,
     FindsOnlyExecutablesInAbsoluteFoldersStartsThemWithoutWaitingAndReportsFailures) {
    TemporaryFolder root;
    testing::MakeFolders(root / "second/kinfocenter");      // a folder is not a program
    WriteProgram(root / "first/hardinfo", "exit 0", 0644);  // not executable
    WriteProgram(root / "second/hardinfo", "exit 0");
    WriteProgram(root / "viewer", "exit 0");

    PosixProgramLauncher launcher(root / "missing:" + root / "first::" + root / "second/");
    EXPECT_EQ(launcher.FindOnPath("hardinfo"), root / "second/hardinfo");
    EXPECT_EQ(launcher.FindOnPath("kinfocenter"), "");
    EXPECT_EQ(launcher.FindOnPath("../viewer"), "");

    // Relative entries, the empty one included, would mean the current folder: never searched.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(root.path());
    EXPECT_EQ(PosixProgramLauncher(".::first").FindOnPath("viewer"), "");
    std::filesystem::current_path(previous);

    // The program waits for the test to let it go, so returning proves nobody waited for it.
    const std::string gate = root / "gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    WriteProgram(root / "viewer",
                 "echo started > '" + root / "started" + "'\nread line < '" + gate + "'");
    WriteProgram(root / "broken", "");
    testing::WriteFile(root / "broken",
                       "\x7f"
                       "ELF garbage");

    PosixProgramLauncher here(root.path());
    ASSERT_TRUE(here.StartDetached(here.FindOnPath("viewer")).ok());
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);  // not our child: nothing to reap
    EXPECT_EQ(errno, ECHILD);
    // Opening the gate for writing blocks until the program opens it for reading.
    testing::WriteFile(gate, "go\n");
    EXPECT_EQ(testing::ReadFile(root / "started"), "started\n");

    EXPECT_FALSE(here.StartDetached(root / "broken").ok());
    const Status missing = here.StartDetached(root / "nothing-here");
    ASSERT_FALSE(missing.ok());
    EXPECT_FALSE(missing.failure().description.empty());
}

}  // namespace
}  // namespace tidemark
