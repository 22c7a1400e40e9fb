// Passes onto a real exFAT file system, mounted from an image through FUSE, where the machine
// allows it (root, loop devices, FUSE and the exFAT tools): no hard links, no rename that
// refuses a taken name, times kept to two seconds, and names that differ only in case are one.
// And onto a small tmpfs that is nearly full.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/run_controller.h"
#include "platform/posix_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

using Lines = std::vector<std::string>;

/// Runs a shell command quietly; true when it succeeded.
bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

/// A file system mounted at a folder for as long as the object lives: exFAT from an image on a
/// loop device (by the kernel or through FUSE), or a small tmpfs. `why_not` says why there is
/// none.
struct Mount {
    std::string path;
    std::string why_not;

    Mount(const TemporaryFolder& folder, const std::string& type, const std::string& size)
        : path(folder / type) {
        MakeFolders(path);
        const std::string exfat = "truncate -s " + size + " " + path + ".img && mkfs.exfat " +
                                  path + ".img && device=$(losetup -f --show " + path +
                                  ".img) && { mount -t exfat $device " + path +
                                  " || mount.exfat-fuse $device " + path + "; }";
        if (::geteuid() != 0)
            why_not = "mounting needs root";
        else if (!Shell(type == "tmpfs" ? "mount -t tmpfs -o size=" + size + " tmpfs " + path
                                        : exfat))
            why_not =
                "no " + type +
                " here (for exFAT: mkfs.exfat, a loop device, and exFAT in the kernel or FUSE)";
    }
    ~Mount() {
        if (why_not.empty())
            Shell("umount " + path);
        Shell("losetup -j " + path + ".img -O NAME -n | xargs -r losetup -d");
    }
};

/// One pass with workers preparing files ahead (0: none); answers the walk's lines and counters.
std::pair<Lines, SyncStats> RunPass(SyncSettings settings, SyncStyle style, int workers) {
    settings.style = style;
    Executor executor;
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    TestRun run(fs, {}, {.workers = workers, .executor = &executor});
    return {WalkLines(run.Synchronize(settings)), run.controller.Stats()};
}

class ExfatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!exfat.why_not.empty())
            GTEST_SKIP() << "no exFAT file system to test on: " << exfat.why_not;
        MakeFolders(destination);
    }
    Lines Run(SyncStyle style, int workers = Executor::DefaultWorkers()) {
        return RunPass(Between(source, destination), style, workers).first;
    }

    TemporaryFolder folder;
    Mount exfat{folder, "exfat", "64M"};
    std::string source = folder / "src";
    std::string destination = exfat.path + "/backup";
};

TEST_F(ExfatTest, CopiesAreNotCopiedAgainButTouchedFilesAreUpdated) {
    // Times with fractions of a second, which exFAT cannot keep.
    const auto write = [&](int count, const std::string& content, long long seconds) {
        for (int i = 0; i < count; ++i) {
            const std::string path = source + "/sub/file" + std::to_string(i) + ".txt";
            WriteFile(path, content + std::to_string(i));
            SetModified(path, seconds * 1'000'000'000 + i * 333'333'333LL);
        }
    };
    write(6, "content ", 1'700'000'001);
    EXPECT_EQ(Run(SyncStyle::kNormal).size(), 7u);  // the folder and six files
    EXPECT_EQ(ReadFile(destination + "/sub/file5.txt"), "content 5");
    EXPECT_EQ(Run(SyncStyle::kNormal), Lines{});
    write(3, "touched ", 1'700'000'101);
    EXPECT_EQ(Run(SyncStyle::kNormal).size(), 3u);
    EXPECT_EQ(ReadFile(destination + "/sub/file2.txt"), "touched 2");
    EXPECT_EQ(Run(SyncStyle::kNormal), Lines{});
}

TEST_F(ExfatTest, NamesThatDifferOnlyInCaseGiveWhatOneFileAtATimeGives) {
    WriteFile(source + "/Photos/A.jpg", "first");
    WriteFile(source + "/photos/a.jpg", "second");
    WriteFile(source + "/Readme.txt", "one");
    WriteFile(source + "/README.TXT", "two");
    std::map<std::string, std::string> trees[2];
    Lines results[2];
    for (const int workers : {0, 1}) {
        std::filesystem::remove_all(destination);
        MakeFolders(destination);
        for (int pass = 0; pass < 2; ++pass) {
            const Lines lines = Run(SyncStyle::kBackup, workers * 2);
            results[workers].insert(results[workers].end(), lines.begin(), lines.end());
        }
        trees[workers] = TreeOf(destination);
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(trees[1], trees[0]);
    for (const std::string& line : results[0])
        EXPECT_EQ(line.find("could not be processed"), std::string::npos) << line;
}

TEST(FullDestinationTest, EveryFileIsReplacedAsOneFileAtATimeReplacesThem) {
    TemporaryFolder folder;
    const Mount small{folder, "tmpfs", "36M"};
    if (!small.why_not.empty())
        GTEST_SKIP() << "no small file system to test on: " << small.why_not;
    const std::string source = folder / "src";
    const std::string destination = small.path + "/dst";
    for (int i = 0; i < 28; ++i) {
        const std::string name = "/f" + std::to_string(i) + ".bin";
        WriteFile(source + name, std::string(1 << 20, static_cast<char>('a' + i % 26)));
        WriteFile(destination + name, std::string(1 << 20, '.'));
    }
    // Only 4 MiB stay free: each replacement needs the room of the file it replaces.
    const std::uint64_t free = *PosixFileSystem().FreeSpace(destination);
    WriteFile(small.path + "/filler", std::string(free - (4 << 20), 'x'));
    for (const int workers : {0, 2}) {
        SCOPED_TRACE("workers " + std::to_string(workers));
        const SyncStats stats =
            RunPass(Between(source, destination), SyncStyle::kBackup, workers).second;
        EXPECT_EQ(stats.updated_files, 28);
        EXPECT_EQ(stats.other_errors, 0);
        EXPECT_EQ(ReadFile(destination + "/f27.bin"), std::string(1 << 20, 'b'));
    }
}

}  // namespace
}  // namespace tidemark::testing
