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

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

/// A file system mounted at folder/type for as long as the object lives, or the process when it is
/// killed: exFAT from an image on a loop device (by the kernel or through FUSE), or a small
/// tmpfs. `why_not` says why there is none.
struct Mount {
    std::string path, why_not;

    Mount(const TemporaryFolder& folder, const std::string& type, const std::string& size)
        : path(folder / type) {
        MakeFolders(path);
        RunWhenThisProcessEnds("umount -l " + path + "; losetup -j " + path +
                               ".img -O NAME -n | xargs -r losetup -d; rm -rf " + folder.path());
        const std::string image = path + ".img";
        const std::string exfat = "truncate -s " + size + " " + image + " && mkfs.exfat " + image +
                                  " && device=$(losetup -f --show " + image +
                                  ") && { mount -t exfat $device " + path +
                                  " || mount.exfat-fuse $device " + path + "; }";
        if (::geteuid() != 0)
            why_not = "mounting needs root";
        else if (!Shell(type == "tmpfs" ? "mount -t tmpfs -o size=" + size + " tmpfs " + path
                                        : exfat))
            why_not = "no " + type + " (exFAT needs mkfs.exfat, a loop device, a kernel or FUSE)";
    }
    ~Mount() {
        if (why_not.empty())
            Shell("umount " + path);
        Shell("losetup -j " + path + ".img -O NAME -n | xargs -r losetup -d");
    }
};

/// One pass with workers preparing files ahead (0: none); answers the walk's lines and counters.
std::pair<Lines, SyncStats> RunPass(const std::string& source, const std::string& destination,
                                    SyncStyle style, int workers = Executor::DefaultWorkers()) {
    SyncSettings settings = Between(source, destination);
    settings.style = style;
    Executor executor;
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    TestRun run(fs, {}, {.workers = workers, .executor = &executor});
    return {WalkLines(run.Synchronize(settings)), run.controller.Stats()};
}

TEST(ForeignFileSystemTest, ExfatCreatesFilesKeepsCopiesAndFoldsCaseAsOneFileAtATimeDoes) {
    TemporaryFolder folder;
    const Mount exfat{folder, "exfat", "64M"};
    if (!exfat.why_not.empty())
        GTEST_SKIP() << exfat.why_not;
    const std::string source = folder / "src";
    const std::string destination = exfat.path + "/backup";
    MakeFolders(destination);
    // Times with fractions of a second, which exFAT cannot keep: copies are not copied again,
    // but touched files are updated.
    const auto write = [&](int count, const std::string& content, long long seconds) {
        for (int i = 0; i < count; ++i) {
            const std::string path = source + "/sub/file" + std::to_string(i) + ".txt";
            WriteFile(path, content + std::to_string(i));
            SetModified(path, seconds * 1'000'000'000 + i * 333'333'333LL);
        }
    };
    write(6, "content ", 1'700'000'001);
    EXPECT_EQ(RunPass(source, destination, SyncStyle::kNormal).first.size(), 7u);
    EXPECT_EQ(ReadFile(destination + "/sub/file5.txt"), "content 5");
    EXPECT_EQ(RunPass(source, destination, SyncStyle::kNormal).first, Lines{});
    write(3, "touched ", 1'700'000'101);
    EXPECT_EQ(RunPass(source, destination, SyncStyle::kNormal).first.size(), 3u);
    EXPECT_EQ(ReadFile(destination + "/sub/file2.txt"), "touched 2");
    EXPECT_EQ(RunPass(source, destination, SyncStyle::kNormal).first, Lines{});

    // Names that differ only in case, with and without workers ahead.
    for (const char* file : {"Photos/A.jpg", "photos/a.jpg", "Readme.txt", "README.TXT"})
        WriteFile(folder / "cases/" + file, file);
    std::map<std::string, std::string> trees[2];
    Lines results[2];
    for (const int workers : {0, 1}) {
        RemoveTree(destination);
        MakeFolders(destination);
        for (int pass = 0; pass < 2; ++pass) {
            const Lines lines =
                RunPass(folder / "cases", destination, SyncStyle::kBackup, workers * 2).first;
            results[workers].insert(results[workers].end(), lines.begin(), lines.end());
        }
        trees[workers] = TreeOf(destination);
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(trees[1], trees[0]);
    for (const std::string& line : results[0])
        EXPECT_EQ(line.find("could not be processed"), std::string::npos) << line;
}

TEST(ForeignFileSystemTest, EveryFileOfANearlyFullDestinationIsReplacedOneAtATime) {
    TemporaryFolder folder;
    const Mount small{folder, "tmpfs", "36M"};
    if (!small.why_not.empty())
        GTEST_SKIP() << small.why_not;
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
        const SyncStats stats = RunPass(source, destination, SyncStyle::kBackup, workers).second;
        EXPECT_EQ(stats.updated_files, 28) << workers;
        EXPECT_EQ(stats.other_errors, 0) << workers;
        EXPECT_EQ(ReadFile(destination + "/f27.bin"), std::string(1 << 20, 'b'));
    }
}

}  // namespace
}  // namespace tidemark::testing
