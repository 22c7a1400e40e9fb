// Preparing files on worker threads must not change anything the user sees: the same lines in
// the same order, the same counters and the same destination tree as preparing each file in
// its turn, whatever the style, options, failures and the moment of a stop.
#include <gtest/gtest.h>

#include <random>

#include "engine/run_controller.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {
namespace {

using Op = InMemoryFileSystem::Operation;

struct Scenario {
    unsigned seed;
    SyncSettings settings;
    ExcludeList exclude_list;
    int stop_at_line;  // -1: never
};

/// A random tree under C:\Data, a partial older or newer copy of it under E:\Copy, and failures
/// injected at random items. The same seed always builds the same world.
void BuildWorld(InMemoryFileSystem& fs, unsigned seed) {
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    fs.AddFolder("C:\\Data");
    fs.AddFolder("E:\\Copy");
    std::vector<std::string> folders = {""};
    for (int i = 0; i < 12; ++i) {
        const std::string parent = folders[random() % folders.size()];
        const std::string folder = parent + "\\d" + std::to_string(i);
        folders.push_back(folder);
        fs.AddFolder("C:\\Data" + folder);
        if (chance(50))
            fs.AddFolder("E:\\Copy" + folder);
        if (chance(5))
            fs.FailOn(Op::kListFolder, "C:\\Data" + folder, AccessDenied());
        if (chance(5))
            fs.FailOn(Op::kCreateFolder, "E:\\Copy" + folder, AccessDenied());
    }
    for (int i = 0; i < 80; ++i) {
        const std::string folder = folders[random() % folders.size()];
        const std::string name =
            folder + "\\f" + std::to_string(i) + (chance(20) ? ".tmp" : ".txt");
        const FileTime time = 1'000 + static_cast<FileTime>(random() % 3);
        const int attributes =
            (chance(10) ? kHiddenAttribute : 0) | (chance(5) ? kSystemAttribute : 0);
        fs.AddFile("C:\\Data" + name, "source " + name, time, attributes);
        if (chance(40) && fs.Exists("E:\\Copy" + folder)) {
            fs.AddFile("E:\\Copy" + name, "old " + name,
                       1'000 + static_cast<FileTime>(random() % 3));
        }
        const std::string source = "C:\\Data" + name;
        const std::string destination = "E:\\Copy" + name;
        switch (random() % 12) {
            case 0:
                fs.FailOn(Op::kCopyFile, source, AccessDenied());
                break;
            case 1:
                fs.FailOn(Op::kCommitCopy, destination, NoSpace());
                break;
            case 2:
                fs.FailOn(Op::kFindFile, destination, AccessDenied());
                break;
            case 3:
                fs.FailOn(Op::kCheckDeletable, destination, AccessDenied());
                break;
            case 4:
                fs.FailOn(Op::kFindFile, source, NoSuchFile());
                break;
            default:
                break;
        }
    }
}

struct Outcome {
    std::vector<std::string> lines;
    std::map<std::string, std::string> destination;
    std::map<std::string, std::string> source;
    SyncStats stats;
    std::size_t pending_staged = 0;
};

Outcome RunOnce(const Scenario& scenario, RunConcurrency concurrency) {
    InMemoryFileSystem fs{PathSyntax::Windows()};
    BuildWorld(fs, scenario.seed);
    RecordingRunView view;
    FakeClock clock;
    FakeTextFormat format;
    RunController controller(fs, view, view, clock, format, scenario.exclude_list, concurrency);
    int line_count = 0;
    view.on_line = [&](const ResultLine&) {
        if (++line_count == scenario.stop_at_line)
            controller.StopClicked();
    };
    controller.SynchronizeNow(scenario.settings);
    return Outcome{view.Texts(), fs.Snapshot("E:\\Copy"), fs.Snapshot("C:\\Data"),
                   controller.Stats(), fs.PendingStagedCopies()};
}

TEST(ConcurrencyEquivalence, WorkersChangeNothingTheUserSees) {
    std::mt19937 random(20261206);
    for (int trial = 0; trial < 120; ++trial) {
        Scenario scenario;
        scenario.seed = static_cast<unsigned>(random());
        SyncSettings& settings = scenario.settings;
        settings.source_path = "C:\\Data";
        settings.destination_path = "E:\\Copy";
        settings.style = static_cast<SyncStyle>(random() % 3);
        settings.preview_only = random() % 4 == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        settings.use_exclude_list =
            random() % 2 == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        settings.ignore_hidden = static_cast<CheckState>(random() % 2);
        settings.ignore_system = static_cast<CheckState>(random() % 2);
        settings.log_ignored = static_cast<CheckState>(random() % 2);
        settings.reverse_sync = random() % 3 == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        scenario.exclude_list = {"", "\\D3", ".TMP", "f1"};
        scenario.stop_at_line = random() % 3 == 0 ? static_cast<int>(random() % 60) : -1;
        SCOPED_TRACE("trial " + std::to_string(trial) + " seed " + std::to_string(scenario.seed));

        const Outcome sequential = RunOnce(scenario, RunConcurrency{.workers = 0});
        for (RunConcurrency concurrency : {RunConcurrency{.workers = 2, .bounds = {.files = 4}},
                                           RunConcurrency{.workers = 4, .bounds = {.files = 64}}}) {
            const Outcome concurrent = RunOnce(scenario, concurrency);
            ASSERT_EQ(concurrent.lines, sequential.lines);
            ASSERT_EQ(concurrent.destination, sequential.destination);
            ASSERT_EQ(concurrent.source, sequential.source);
            ASSERT_EQ(concurrent.stats, sequential.stats);
            ASSERT_EQ(concurrent.pending_staged, 0u);
        }
        ASSERT_EQ(sequential.pending_staged, 0u);
    }
}

}  // namespace
}  // namespace tidemark::testing
