// Passes onto a real exFAT file system, mounted from an image through FUSE, where the machine
// allows it (root, loop devices, FUSE and the exFAT tools): no hard links, no rename that
// refuses a taken name, times kept to two seconds, and names that differ only in case are one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

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

/// An exFAT file system mounted at a folder for as long as the object lives.
class ExfatMount {
  public:
    explicit ExfatMount(const TemporaryFolder& folder)
        : image_(folder / "exfat.img"), mount_point_(folder / "exfat") {
        MakeFolders(mount_point_);
        if (::geteuid() != 0) {
            why_not_ = "mounting needs root";
            return;
        }
        if (!Shell("truncate -s 64M " + image_ + " && mkfs.exfat " + image_)) {
            why_not_ = "mkfs.exfat is missing or failed";
            return;
        }
        FILE* losetup = ::popen(("losetup -f --show " + image_ + " 2>/dev/null").c_str(), "r");
        char device[64] = {};
        if (losetup == nullptr || std::fgets(device, sizeof device, losetup) == nullptr) {
            why_not_ = "no loop device";
        }
        if (losetup != nullptr) {
            ::pclose(losetup);
        }
        loop_device_ = device;
        while (!loop_device_.empty() && loop_device_.back() == '\n') {
            loop_device_.pop_back();
        }
        if (!why_not_.empty()) {
            return;
        }
        if (!Shell("mount -t exfat " + loop_device_ + " " + mount_point_) &&
            !Shell("mount.exfat-fuse " + loop_device_ + " " + mount_point_)) {
            why_not_ = "neither the kernel nor FUSE mounts exFAT here";
            return;
        }
        mounted_ = true;
    }
    ~ExfatMount() {
        if (mounted_) {
            Shell("umount " + mount_point_);
        }
        if (!loop_device_.empty()) {
            Shell("losetup -d " + loop_device_);
        }
    }
    ExfatMount(const ExfatMount&) = delete;
    ExfatMount& operator=(const ExfatMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why_not() const { return why_not_; }
    const std::string& path() const { return mount_point_; }

  private:
    std::string image_;
    std::string mount_point_;
    std::string loop_device_;
    std::string why_not_;
    bool mounted_ = false;
};

class ExfatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!exfat.mounted()) {
            GTEST_SKIP() << "no exFAT file system to test on: " << exfat.why_not();
        }
        MakeFolders(source);
        MakeFolders(destination);
        settings.source_path = source;
        settings.destination_path = destination;
    }

    Lines Run(SyncStyle style, int workers = Executor::DefaultWorkers()) {
        settings.style = style;
        PosixFileSystem fs;
        RecordingRunView view;
        FakeClock clock;
        FakeTextFormat format;
        ExcludeList exclude_list;
        RunConcurrency concurrency;
        concurrency.workers = workers;
        RunController(fs, view, view, clock, format, exclude_list, concurrency)
            .SynchronizeNow(settings);
        return WalkLines(view.Texts());
    }

    TemporaryFolder folder;
    ExfatMount exfat{folder};
    std::string source = folder / "src";
    std::string destination = exfat.path() + "/backup";
    SyncSettings settings;
};

TEST_F(ExfatTest, NewFilesAreCreatedAndAnUnchangedTreeIsNotCopiedAgain) {
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
}

}  // namespace
}  // namespace tidemark::testing
