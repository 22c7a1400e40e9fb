// Whole runs on real temporary folders with POSIX paths.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "engine/run_controller.h"
#include "platform/posix_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

namespace stdfs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr long long kOld = 1'000'000'000'111'111'111;
constexpr long long kNew = 1'100'000'000'222'222'222;

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
}

class PosixSyncTest : public ::testing::Test {
  protected:
    PosixSyncTest() {
        MakeFolders(source);
        MakeFolders(destination);
        settings.source_path = source;
        settings.destination_path = destination;
    }

    std::int32_t Run() {
        // Past the tick the tree was made in, every folder counts as still: the pass takes the
        // count's listings wherever a folder did not change in between.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        view = RecordingRunView{};
        RunController controller(fs, view, view, clock, format, exclude_list);
        return controller.SynchronizeNow(settings);
    }

    Lines WalkLines() const { return testing::WalkLines(view.Texts()); }

    /// Runs `body` as an unprivileged user when the tests run as root, so that permission
    /// bits are enforced; the body's results lines come back through a file.
    Lines RunUnprivileged() {
        if (::geteuid() != 0) {
            Run();
            return view.Texts();
        }
        ::chmod(folder.path().c_str(), 0777);
        const std::string report = folder / "report.txt";
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(3);
            }
            Run();
            std::ofstream out(report);
            for (const std::string& text : view.Texts())
                out << text << '\n';
            out.close();  // _exit runs no destructors
            ::_exit(out ? 0 : 4);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        Lines lines;
        std::ifstream in(report);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    TemporaryFolder folder;
    std::string source = folder / "src";
    std::string destination = folder / "dst";
    PosixFileSystem fs{/*settle_time=*/0};
    RecordingRunView view;
    FakeClock clock;
    FakeTextFormat format;
    ExcludeList exclude_list;
    SyncSettings settings;
};

TEST_F(PosixSyncTest, SafeModeCopiesContentTimesModesAndLinks) {
    MakeFolders(source + "/a/b");
    WriteFile(source + "/a/b/data.bin", std::string(300'000, 'x'));
    ::chmod((source + "/a/b/data.bin").c_str(), 0640);
    SetModified(source + "/a/b/data.bin", kOld);
    WriteFile(source + "/.profile", "hidden");
    ASSERT_EQ(::symlink("a/b/data.bin", (source + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("/nowhere/at/all", (source + "/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((source + "/pipe").c_str(), 0600), 0);
    settings.ignore_hidden = CheckState::kUnchecked;
    settings.ignore_system = CheckState::kUnchecked;

    EXPECT_EQ(Run(), 5);

    EXPECT_EQ(ReadFile(destination + "/a/b/data.bin"), std::string(300'000, 'x'));
    EXPECT_EQ(ModifiedOf(destination + "/a/b/data.bin"), kOld);
    EXPECT_EQ(ModeOf(destination + "/a/b/data.bin"), 0640u);
    EXPECT_EQ(ReadFile(destination + "/.profile"), "hidden");
    EXPECT_EQ(stdfs::read_symlink(destination + "/link"), "a/b/data.bin");
    EXPECT_EQ(stdfs::read_symlink(destination + "/dangling"), "/nowhere/at/all");
    EXPECT_FALSE(stdfs::exists(stdfs::symlink_status(destination + "/pipe")));
    const Lines walk = WalkLines();
    EXPECT_NE(std::find(walk.begin(), walk.end(),
                        "File " + destination +
                            "/pipe could not be processed.  Operation not "
                            "supported"),
              walk.end());
    EXPECT_EQ(CountItemsStartingWith(destination, std::string(PosixFileSystem::kTemporaryPrefix)),
              0);
}

TEST_F(PosixSyncTest, HiddenAndSpecialItemsAreIgnoredByDefault) {
    WriteFile(source + "/.hidden", "h");
    WriteFile(source + "/shown", "s");
    ASSERT_EQ(::mkfifo((source + "/pipe").c_str(), 0600), 0);
    settings.log_ignored = CheckState::kChecked;
    Run();
    Lines walk = WalkLines();
    std::sort(walk.begin(), walk.end());
    EXPECT_EQ(walk, (Lines{"Creating file " + destination + "/shown",
                           "Ignoring hidden file " + source + "/.hidden",
                           "Ignoring system file " + source + "/pipe"}));
}

TEST_F(PosixSyncTest, NormalReplacesOnlyOlderFilesEvenWhenReadOnly) {
    WriteFile(source + "/older", "new");
    WriteFile(source + "/equal", "new");
    WriteFile(source + "/newer", "new");
    WriteFile(destination + "/older", "old");
    WriteFile(destination + "/equal", "old");
    WriteFile(destination + "/newer", "old");
    for (const char* name : {"older", "equal", "newer"})
        SetModified(source + "/" + name, kNew);
    SetModified(destination + "/older", kOld);
    // Half a second newer than a destination on a whole second: this file system keeps every
    // nanosecond, so that is newer.
    WriteFile(source + "/half", "new");
    WriteFile(destination + "/half", "old");
    SetModified(source + "/half", 1'700'000'001'500'000'000);
    SetModified(destination + "/half", 1'700'000'001'000'000'000);
    SetModified(destination + "/equal", kNew);
    SetModified(destination + "/newer", kNew + 1);
    ::chmod((destination + "/older").c_str(), 0444);
    settings.style = SyncStyle::kNormal;

    Run();

    Lines walk = WalkLines();
    std::sort(walk.begin(), walk.end());
    EXPECT_EQ(
        walk,
        (Lines{"Updating file " + destination + "/half - orig: @1700000001, new: @1700000001",
               "Updating file " + destination + "/older - orig: @1000000000, new: @1100000000"}));
    EXPECT_EQ(ReadFile(destination + "/half"), "new");
    EXPECT_EQ(ReadFile(destination + "/older"), "new");
    EXPECT_EQ(ModifiedOf(destination + "/older"), kNew);
    EXPECT_EQ(ReadFile(destination + "/equal"), "old");
    EXPECT_EQ(ReadFile(destination + "/newer"), "old");

    // Once copied, the time compares equal: the next pass has nothing to do.
    Run();
    EXPECT_EQ(WalkLines(), Lines{});
}

TEST_F(PosixSyncTest, ChangesMadeWhileTheCountIsConfirmedAreSeenByThePass) {
    MakeFolders(source + "/still");
    MakeFolders(source + "/changed");
    WriteFile(source + "/still/kept", "k");
    WriteFile(source + "/changed/gone", "g");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // see Run()
    view = RecordingRunView{};
    view.on_line = [this](const ResultLine& line) {
        if (line.text.starts_with("Sychronization of ")) {
            ::unlink((source + "/changed/gone").c_str());
            WriteFile(source + "/changed/new", "n");
        }
    };
    RunController(fs, view, view, clock, format, exclude_list).SynchronizeNow(settings);

    Lines lines = WalkLines();
    std::sort(lines.begin(), lines.end());  // folders come in the file system's order
    EXPECT_EQ(lines, (Lines{"Creating Folder " + destination + "/changed",
                            "Creating Folder " + destination + "/still",
                            "Creating file " + destination + "/changed/new",
                            "Creating file " + destination + "/still/kept"}));
    EXPECT_EQ(ReadFile(destination + "/changed/new"), "n");
    EXPECT_FALSE(stdfs::exists(destination + "/changed/gone"));
}

TEST_F(PosixSyncTest, PreviewLeavesTheDestinationUntouched) {
    MakeFolders(source + "/sub");
    WriteFile(source + "/sub/a", "a");
    WriteFile(source + "/b", "b");
    WriteFile(destination + "/b", "old");
    SetModified(destination + "/b", kOld);
    settings.preview_only = CheckState::kChecked;
    settings.style = SyncStyle::kBackup;
    Run();
    EXPECT_EQ(WalkLines(), (Lines{"Creating Folder " + destination + "/sub",
                                  "Creating file " + destination + "/sub/a",
                                  "Overwriting file " + destination + "/b"}));
    EXPECT_FALSE(stdfs::exists(destination + "/sub"));
    EXPECT_EQ(ReadFile(destination + "/b"), "old");
}

TEST_F(PosixSyncTest, AnotherSpellingOfTheSameFolderIsRefused) {
    WriteFile(source + "/a", "a");
    ASSERT_EQ(::symlink(source.c_str(), (folder / "alias").c_str()), 0);
    for (const std::string& other :
         {source + "/", source + "/.", folder / "alias", folder / "dst/../src"}) {
        settings.destination_path = other;
        settings.style = SyncStyle::kBackup;
        Run();
        ASSERT_EQ(view.messages.size(), 1u) << other;
        EXPECT_EQ(view.messages[0].text, "The Source and Destination cannot be the same!");
    }
    EXPECT_EQ(ReadFile(source + "/a"), "a");
    EXPECT_EQ(CountItemsStartingWith(source, std::string(PosixFileSystem::kTemporaryPrefix)), 0);
}

TEST_F(PosixSyncTest, CaseIsNotFoldedWhenComparingLocations) {
    MakeFolders(folder / "SRC");
    WriteFile(source + "/a", "a");
    settings.destination_path = folder / "SRC";
    Run();
    EXPECT_TRUE(view.messages.size() == 1u && view.messages[0].text.starts_with(source + " --> "));
    EXPECT_EQ(ReadFile(folder / "SRC/a"), "a");
}

TEST_F(PosixSyncTest, DestinationInsideTheSourceIsNotFedBack) {
    WriteFile(source + "/a", "a");
    MakeFolders(source + "/mirror");
    settings.destination_path = source + "/mirror";
    settings.reverse_sync = CheckState::kChecked;
    Run();
    EXPECT_EQ(ReadFile(source + "/mirror/a"), "a");
    EXPECT_FALSE(stdfs::exists(source + "/mirror/mirror"));
}

TEST_F(PosixSyncTest, ReversePassBringsNewFilesBack) {
    WriteFile(source + "/a", "a");
    WriteFile(destination + "/b", "b");
    settings.reverse_sync = CheckState::kChecked;
    EXPECT_EQ(Run(), 2);
    EXPECT_EQ(ReadFile(destination + "/a"), "a");
    EXPECT_EQ(ReadFile(source + "/b"), "b");
}

TEST_F(PosixSyncTest, PermissionFailuresAreReportedAndCountedAsSuch) {
    MakeFolders(source + "/locked");
    WriteFile(source + "/locked/secret", "s");
    WriteFile(source + "/unreadable", "u");
    WriteFile(source + "/fine", "f");
    MakeFolders(destination + "/frozen");
    MakeFolders(source + "/frozen");
    WriteFile(source + "/frozen/x", "x");
    for (const std::string& path : {source, source + "/frozen", destination}) {
        ::chmod(path.c_str(), 0777);
    }
    ::chmod((source + "/locked").c_str(), 0000);
    ::chmod((source + "/unreadable").c_str(), 0000);
    ::chmod((destination + "/frozen").c_str(), 0555);
    ::chmod((source + "/fine").c_str(), 0644);
    ::chmod((source + "/frozen/x").c_str(), 0644);

    const Lines lines = RunUnprivileged();
    auto has = [&](const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    };
    EXPECT_TRUE(has("Object " + source + "/locked could not be processed.  Permission denied"));
    EXPECT_TRUE(has("Files could not be retrieved from " + source + "/locked. Permission denied"));
    EXPECT_TRUE(
        has("File " + destination + "/frozen/x could not be processed.  Permission denied"));
    EXPECT_TRUE(has("File " + destination +
                    "/unreadable could not be processed.  Permission "
                    "denied"));
    EXPECT_TRUE(has(" --> Total files/folders could not be processed due to permission error: 2"));
    EXPECT_EQ(ReadFile(destination + "/fine"), "f");
    EXPECT_FALSE(stdfs::exists(destination + "/unreadable"));
    EXPECT_EQ(CountItemsStartingWith(destination, std::string(PosixFileSystem::kTemporaryPrefix)),
              0);
}

TEST_F(PosixSyncTest, FailedReplacementKeepsTheOldFile) {
    WriteFile(source + "/doc", "new");
    WriteFile(destination + "/doc", "precious");
    ::chmod(source.c_str(), 0777);
    ::chmod(destination.c_str(), 0777);
    ::chmod((source + "/doc").c_str(), 0000);
    ::chmod((destination + "/doc").c_str(), 0666);
    settings.style = SyncStyle::kBackup;
    const Lines lines = RunUnprivileged();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "File " + destination + "/doc could not be processed.  Permission denied"),
              lines.end());
    EXPECT_EQ(ReadFile(destination + "/doc"), "precious");
    EXPECT_EQ(CountItemsStartingWith(destination, std::string(PosixFileSystem::kTemporaryPrefix)),
              0);
}

TEST_F(PosixSyncTest, ExcludeEntriesMatchPosixPaths) {
    MakeFolders(source + "/node_modules/pkg");
    WriteFile(source + "/node_modules/pkg/i.js", "i");
    WriteFile(source + "/main.js", "m");
    WriteFile(source + "/main.js.bak", "b");
    exclude_list = {"/NODE_MODULES", ".bak"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    // Files come in the order the directory lists them; folders come first.
    Lines walk = WalkLines();
    ASSERT_EQ(walk.size(), 4u);
    EXPECT_EQ(walk[0], "Excluding folder " + destination + "/node_modules");
    EXPECT_EQ(walk[1],
              "Skipping 1 files in folder " + source + "/node_modules due to custom Exclude List!");
    std::sort(walk.begin() + 2, walk.end());
    EXPECT_EQ(walk[2], "Creating file " + destination + "/main.js");
    EXPECT_EQ(walk[3], "Excluding file " + source + "/main.js.bak");
    EXPECT_FALSE(stdfs::exists(destination + "/node_modules"));
    EXPECT_FALSE(stdfs::exists(destination + "/main.js.bak"));
    EXPECT_EQ(ReadFile(destination + "/main.js"), "m");
}

}  // namespace
}  // namespace tidemark::testing

namespace tidemark::testing {
namespace {

TEST_F(PosixSyncTest, PathsLongerThanTheSystemLimitAreWalkedAndCopied) {
    // 40 levels of 200-byte names: about 8,000 bytes, twice what one system call accepts.
    const std::string level(200, 'n');
    std::string relative;
    int folder_fd = ::open(source.c_str(), O_PATH | O_DIRECTORY);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(::mkdirat(folder_fd, level.c_str(), 0755), 0);
        const int next = ::openat(folder_fd, level.c_str(), O_PATH | O_DIRECTORY);
        ::close(folder_fd);
        folder_fd = next;
        relative += "/" + level;
    }
    const int file = ::openat(folder_fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    ::close(folder_fd);
    ASSERT_GT((source + relative + "/deep.txt").size(), 8000u);

    EXPECT_EQ(Run(), 1);

    const Lines walk = WalkLines();
    ASSERT_EQ(walk.size(), 41u);
    EXPECT_EQ(walk.back(), "Creating file " + destination + relative + "/deep.txt");
    PosixFileSystem check;
    auto copied = check.FindFile(destination + relative + "/deep.txt");
    ASSERT_TRUE(copied.ok());
    ASSERT_TRUE(copied->has_value());
    EXPECT_EQ((*copied)->size, 4u);
    EXPECT_EQ(view.Texts()[view.Texts().size() - 3], " --> Total folders created: 40");
}

}  // namespace
}  // namespace tidemark::testing

namespace tidemark::testing {
namespace {

TEST_F(PosixSyncTest, OnlyARealPassRemovesWhatDeadCopiesOfThisMachineLeftWhereItWrites) {
    const std::string boot = TemporaryName::BootId();
    ASSERT_FALSE(boot.empty());
    const std::string dead = ".tidemark-" + boot + "-7ffffffe-2a.tmp";  // no such process
    char live[96];
    std::snprintf(live, sizeof live, ".tidemark-%s-%x-1.tmp", boot.c_str(),
                  static_cast<unsigned>(::getpid()));
    const std::string elsewhere = ".tidemark-0123456789abcdef0123456789abcdef-7ffffffe-1.tmp";
    // In a source, such a name is a user's file like any other: counted and copied.
    MakeFolders(source + "/user");
    WriteFile(source + "/user/" + dead, "a user's file");
    for (const std::string& name : {dead, std::string(live), elsewhere}) {
        WriteFile(destination + "/" + name, "left by a copy");
    }
    WriteFile(source + "/real.txt", "new");
    settings.ignore_hidden = CheckState::kUnchecked;
    settings.preview_only = CheckState::kChecked;
    Run();
    EXPECT_EQ(view.Texts()[2], "Sychronization of 2 files started at @1600000000!");
    EXPECT_EQ(ReadFile(destination + "/" + dead), "left by a copy");  // a preview changes nothing

    settings.preview_only = CheckState::kUnchecked;
    Run();
    EXPECT_EQ(ReadFile(source + "/user/" + dead), "a user's file");
    EXPECT_EQ(ReadFile(destination + "/user/" + dead), "a user's file");
    EXPECT_EQ(ReadFile(destination + "/real.txt"), "new");
    // Only the dead process's file of this machine goes, once the pass writes to its folder.
    EXPECT_FALSE(stdfs::exists(destination + "/" + dead));
    EXPECT_EQ(ReadFile(destination + "/" + live), "left by a copy");
    EXPECT_EQ(ReadFile(destination + "/" + elsewhere), "left by a copy");
}

TEST_F(PosixSyncTest, FilesPreparedAheadStayWithinATightDescriptorLimit) {
    // Many small files in many small folders: the most the look-ahead could hold open.
    for (int folder = 0; folder < 150; ++folder) {
        const std::string path = source + "/d" + std::to_string(folder);
        MakeFolders(path);
        for (int file = 0; file < 12; ++file) {
            WriteFile(path + "/f" + std::to_string(file), "x");
        }
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // The hard limit too, so that nothing can raise it again.
        const struct rlimit tight = {512, 512};
        if (::setrlimit(RLIMIT_NOFILE, &tight) != 0) {
            ::_exit(3);
        }
        // A slow window lets the workers run as far ahead as they may.
        view.on_line = [](const ResultLine&) { ::usleep(300); };
        RunController controller(fs, view, view, clock, format, exclude_list);
        const std::int32_t processed = controller.SynchronizeNow(settings);
        const Lines lines = view.Texts();
        const bool failed = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("could not be processed") != std::string::npos;
        });
        ::_exit(processed == 1800 && !failed ? 0 : 4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_EQ(ReadFile(destination + "/d149/f11"), "x");
}

}  // namespace
}  // namespace tidemark::testing
