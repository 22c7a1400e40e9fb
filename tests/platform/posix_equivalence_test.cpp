// Preparing files ahead of the walk on real folders: the look-ahead lists, stats and stages
// copies on other threads (in folders the walk has yet to create, too), and none of it may show
// in the lines or the destination tree, whatever the style and wherever the user stops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>

#include "engine/run_controller.h"
#include "platform/posix_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

namespace stdfs = std::filesystem;

/// The same random source tree, and a partial older or newer copy of it, for the same seed.
void BuildWorld(const std::string& root, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> folders = {""};
    MakeFolders(root + "/src");
    MakeFolders(root + "/dst");
    for (int i = 0; i < 30; ++i) {
        const std::string folder = folders[random() % folders.size()] + "/d" + std::to_string(i);
        folders.push_back(folder);
        MakeFolders(root + "/src" + folder);
        if (random() % 2 == 0 &&
            stdfs::exists(root + "/dst" + stdfs::path(folder).parent_path().string()))
            MakeFolders(root + "/dst" + folder);
    }
    for (int i = 0; i < 300; ++i) {
        const std::string file = folders[random() % folders.size()] + "/f" + std::to_string(i) +
                                 (random() % 10 == 0 ? ".tmp" : "");
        const std::string content(random() % 10 == 0 ? 70'000 : random() % 300, 'a' + i % 26);
        WriteFile(root + "/src" + file, content);
        SetModified(root + "/src" + file, 1'000'000'000'000'000'000LL + (random() % 3) * 1'000);
        if (random() % 3 == 0 &&
            stdfs::exists(root + "/dst" + stdfs::path(file).parent_path().string())) {
            WriteFile(root + "/dst" + file, "old");
            SetModified(root + "/dst" + file, 1'000'000'000'000'000'000LL + (random() % 3) * 1'000);
        }
    }
}

struct Outcome {
    std::vector<std::string> lines;
    std::map<std::string, std::string> destination;
};

Outcome RunOnce(unsigned seed, const SyncSettings& pattern, const ExcludeList& exclude_list,
                int stop_at_line, RunConcurrency concurrency) {
    TemporaryFolder folder;
    BuildWorld(folder.path(), seed);
    SyncSettings settings = pattern;
    settings.source_path = folder / "src";
    settings.destination_path = folder / "dst";
    PosixFileSystem fs;
    RecordingRunView view;
    FakeClock clock;
    FakeTextFormat format;
    RunController controller(fs, view, view, clock, format, exclude_list, concurrency);
    int line_count = 0;
    view.on_line = [&](const ResultLine&) {
        if (++line_count == stop_at_line)
            controller.StopClicked();
    };
    controller.SynchronizeNow(settings);

    Outcome outcome;
    for (std::string line : view.Texts()) {
        for (std::size_t at; (at = line.find(folder.path())) != std::string::npos;)
            line.replace(at, folder.path().size(), "<root>");
        outcome.lines.push_back(line);
    }
    for (const auto& item : stdfs::recursive_directory_iterator(folder / "dst")) {
        const std::string relative = item.path().string().substr(folder.path().size());
        outcome.destination[relative] =
            item.is_directory()
                ? "folder"
                : ReadFile(item.path()) + "@" + std::to_string(ModifiedOf(item.path()));
    }
    return outcome;
}

TEST(PosixConcurrencyEquivalence, WorkersChangeNothingOnRealFolders) {
    std::mt19937 random(61206);
    for (int trial = 0; trial < 16; ++trial) {
        const unsigned seed = static_cast<unsigned>(random());
        SyncSettings settings;
        settings.style = static_cast<SyncStyle>(random() % 3);
        settings.preview_only = random() % 4 == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        settings.use_exclude_list =
            random() % 2 == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        settings.ignore_hidden = CheckState::kUnchecked;
        settings.reverse_sync = random() % 4 == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        const ExcludeList exclude_list = {"", "/D3", ".TMP"};
        const int stop_at_line = random() % 3 == 0 ? static_cast<int>(random() % 150) : -1;
        SCOPED_TRACE("trial " + std::to_string(trial) + " seed " + std::to_string(seed));

        const Outcome sequential =
            RunOnce(seed, settings, exclude_list, stop_at_line, RunConcurrency{.workers = 0});
        const Outcome concurrent = RunOnce(seed, settings, exclude_list, stop_at_line,
                                           RunConcurrency{.workers = 2, .bounds = {.files = 16}});
        ASSERT_EQ(concurrent.lines, sequential.lines);
        ASSERT_EQ(concurrent.destination, sequential.destination);
    }
}

}  // namespace
}  // namespace tidemark::testing
