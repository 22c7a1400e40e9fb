#include "platform/posix_program_launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::TemporaryFolder;

void WriteProgram(const std::string& path, const std::string& script, mode_t mode = 0755) {
    testing::WriteFile(path, "#!/bin/sh\n" + script + "\n");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

TEST(PosixProgramLauncherTest, FindsOnlyExecutableFilesInAbsoluteFolders) {
    TemporaryFolder root;
    testing::MakeFolders(root / "first");
    testing::MakeFolders(root / "second");
    testing::MakeFolders(root / "second/kinfocenter");      // a folder is not a program
    WriteProgram(root / "first/hardinfo", "exit 0", 0644);  // not executable
    WriteProgram(root / "second/hardinfo", "exit 0");
    WriteProgram(root / "third-viewer", "exit 0");

    PosixProgramLauncher launcher(root / "missing" + ":" + root / "first" +
                                  "::" + root / "second/");
    EXPECT_EQ(launcher.FindOnPath("hardinfo"), root / "second/hardinfo");
    EXPECT_EQ(launcher.FindOnPath("kinfocenter"), "");
    EXPECT_EQ(launcher.FindOnPath("../third-viewer"), "");

    // A relative entry (or an empty one, which means the current folder) is never searched.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(root.path());
    PosixProgramLauncher relative(".:first::");
    EXPECT_EQ(relative.FindOnPath("third-viewer"), "");
    std::filesystem::current_path(previous);
}

TEST(PosixProgramLauncherTest, StartsWithoutWaitingAndLeavesNoChild) {
    TemporaryFolder root;
    // The program waits for the test to let it go, so returning proves nobody waited for it.
    const std::string gate = root / "gate";
    const std::string marker = root / "started";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    WriteProgram(root / "viewer", "echo started > '" + marker + "'\nread line < '" + gate + "'");

    PosixProgramLauncher launcher(root.path());
    ASSERT_TRUE(launcher.StartDetached(launcher.FindOnPath("viewer")).ok());

    // The program is not our child: there is nothing to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // Opening the gate for writing blocks until the program has opened it for reading.
    testing::WriteFile(gate, "go\n");
    EXPECT_EQ(testing::ReadFile(marker), "started\n");
}

TEST(PosixProgramLauncherTest, ReportsAProgramThatCannotStart) {
    TemporaryFolder root;
    testing::WriteFile(root / "not-a-program",
                       "\x7f"
                       "ELF garbage");
    ASSERT_EQ(::chmod((root / "not-a-program").c_str(), 0755), 0);
    PosixProgramLauncher launcher(root.path());
    EXPECT_FALSE(launcher.StartDetached(root / "not-a-program").ok());
    const Status missing = launcher.StartDetached(root / "nothing-here");
    ASSERT_FALSE(missing.ok());
    EXPECT_FALSE(missing.failure().description.empty());
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(PosixProgramLauncherTest, EmptySearchPathMeansUnavailable) {
    PosixProgramLauncher launcher("");
    testing::RecordingRunView messages;
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "System Information Is Unavailable At This Time");
}

}  // namespace
}  // namespace tidemark
