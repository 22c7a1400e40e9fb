// Passes onto a real exFAT file system, mounted from an image through FUSE, where the machine
// allows it (root, loop devices, FUSE and the exFAT tools): no hard links, no rename that
// refuses a taken name, times kept to two seconds, and names that differ only in case are one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/run_controller.h"
#include "platform/posix_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

namespace stdfs = std::filesystem;
using Lines = std::vector<std::string>;

/// Runs a shell command quietly; true when it succeeded.
bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

/// A file system mounted at a folder for as long as the object lives: exFAT from an image, or
/// a small tmpfs. `why_not` says why there is none.
struct Mount {
    std::string path;
    std::string why_not;
    std::string loop_device;

    Mount(const TemporaryFolder& folder, const std::string& type, const std::string& size)
        : path(folder / type) {
        MakeFolders(path);
        if (::geteuid() != 0) {
            why_not = "mounting needs root";
        } else if (type == "tmpfs") {
            if (!Shell("mount -t tmpfs -o size=" + size + " tmpfs " + path))
                why_not = "tmpfs cannot be mounted here";
        } else if (!Shell("truncate -s " + size + " " + path + ".img && mkfs.exfat " + path +
                          ".img")) {
            why_not = "mkfs.exfat is missing or failed";
        } else if (FILE* losetup = ::popen(("losetup -f --show " + path + ".img").c_str(), "r")) {
            char device[64] = {};
            if (std::fgets(device, sizeof device, losetup) != nullptr)
                loop_device = std::string(device, std::strcspn(device, "\n"));
            ::pclose(losetup);
            if (loop_device.empty()) {
                why_not = "no loop device";
            } else if (!Shell("mount -t exfat " + loop_device + " " + path) &&
                       !Shell("mount.exfat-fuse " + loop_device + " " + path)) {
                why_not = "neither the kernel nor FUSE mounts exFAT here";
            }
        }
    }
    ~Mount() {
        if (why_not.empty())
            Shell("umount " + path);
        if (!loop_device.empty())
            Shell("losetup -d " + loop_device);
    }
};

struct PassResult {
    Lines lines;
    SyncStats stats;
};

PassResult RunPass(SyncSettings settings, SyncStyle style, int workers) {
    settings.style = style;
    Executor executor;
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    TestRun run(fs, {}, {.workers = workers, .executor = &executor});
    return PassResult{WalkLines(run.Synchronize(settings)), run.controller.Stats()};
}

class ExfatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!exfat.why_not.empty())
            GTEST_SKIP() << "no exFAT file system to test on: " << exfat.why_not;
        MakeFolders(source);
        MakeFolders(destination);
        settings.source_path = source;
        settings.destination_path = destination;
    }

    Lines Run(SyncStyle style, int workers = Executor::DefaultWorkers()) {
        return RunPass(settings, style, workers).lines;
    }

    TemporaryFolder folder;
    Mount exfat{folder, "exfat", "64M"};
    std::string source = folder / "src";
    std::string destination = exfat.path + "/backup";
    SyncSettings settings;
};

TEST_F(ExfatTest, CopiesAreNotCopiedAgainButTouchedFilesAreUpdated) {
    // Times with fractions of a second, which exFAT cannot keep.
    for (int i = 0; i < 6; ++i) {
        const std::string path = source + "/sub/file" + std::to_string(i) + ".txt";
        MakeFolders(source + "/sub");
        WriteFile(path, "content " + std::to_string(i));
        SetModified(path, 1'700'000'001'000'000'000 + i * 333'333'333LL);
    }
    const Lines first = Run(SyncStyle::kNormal);
    EXPECT_EQ(first.size(), 7u);  // the folder and six files
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ReadFile(destination + "/sub/file" + std::to_string(i) + ".txt"),
                  "content " + std::to_string(i));
    }
    EXPECT_EQ(Run(SyncStyle::kNormal), Lines{});

    for (int i = 0; i < 3; ++i) {
        const std::string path = source + "/sub/file" + std::to_string(i) + ".txt";
        WriteFile(path, "touched " + std::to_string(i));
        SetModified(path, 1'700'000'101'000'000'000 + i * 333'333'333LL);
    }
    EXPECT_EQ(Run(SyncStyle::kNormal).size(), 3u);
    EXPECT_EQ(ReadFile(destination + "/sub/file2.txt"), "touched 2");
    EXPECT_EQ(Run(SyncStyle::kNormal), Lines{});
}

TEST_F(ExfatTest, NamesThatDifferOnlyInCaseGiveWhatOneFileAtATimeGives) {
    MakeFolders(source + "/Photos");
    MakeFolders(source + "/photos");
    WriteFile(source + "/Photos/A.jpg", "first");
    WriteFile(source + "/photos/a.jpg", "second");
    WriteFile(source + "/Readme.txt", "one");
    WriteFile(source + "/README.TXT", "two");
    std::vector<Lines> results;
    std::vector<std::map<std::string, std::string>> trees;
    for (const int workers : {0, 2}) {
        std::filesystem::remove_all(destination);
        MakeFolders(destination);
        Lines lines = Run(SyncStyle::kBackup, workers);
        const Lines again = Run(SyncStyle::kBackup, workers);
        lines.insert(lines.end(), again.begin(), again.end());
        results.push_back(lines);
        trees.push_back(TreeOf(destination));
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(trees[1], trees[0]);
    for (const std::string& line : results[0]) {
        EXPECT_EQ(line.find("could not be processed"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace tidemark::testing

namespace tidemark::testing {
namespace {

TEST(FullDestinationTest, EveryFileIsReplacedAsOneFileAtATimeReplacesThem) {
    TemporaryFolder folder;
    const Mount small{folder, "tmpfs", "36M"};
    if (!small.why_not.empty())
        GTEST_SKIP() << "no small file system to test on: " << small.why_not;
    const std::string source = folder / "src";
    const std::string destination = small.path + "/dst";
    MakeFolders(source);
    MakeFolders(destination);
    for (int i = 0; i < 28; ++i) {
        const std::string name = "/f" + std::to_string(i) + ".bin";
        WriteFile(source + name, std::string(1 << 20, static_cast<char>('a' + i % 26)));
        WriteFile(destination + name, std::string(1 << 20, '.'));
    }
    // Only 4 MiB stay free: each replacement needs the room of the file it replaces.
    const std::uint64_t free = *PosixFileSystem().FreeSpace(destination);
    WriteFile(small.path + "/filler", std::string(free - (4 << 20), 'x'));
    const SyncSettings settings = Between(source, destination);
    for (const int workers : {0, 2}) {
        SCOPED_TRACE("workers " + std::to_string(workers));
        const PassResult result = RunPass(settings, SyncStyle::kBackup, workers);
        EXPECT_EQ(result.stats.updated_files, 28);
        EXPECT_EQ(result.stats.other_errors, 0);
        EXPECT_EQ(ReadFile(destination + "/f27.bin"), std::string(1 << 20, 'b'));
    }
}

}  // namespace
}  // namespace tidemark::testing
