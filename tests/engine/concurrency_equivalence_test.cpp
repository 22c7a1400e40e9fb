// Preparing files ahead of the walk on worker threads must not change anything the user sees:
// the same lines in the same order, the same counters and the same trees as preparing each
// file in its turn, whatever the style, options, failures, the moment of a stop, two names
// for one destination item (a destination that folds case), links in the destination and a
// destination that runs out of space. In memory, where failures can be injected anywhere,
// and on real folders, where the kernel does what it does.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <type_traits>

#include "engine/run_controller.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/worlds.h"

namespace tidemark::testing {
namespace {

using Op = InMemoryFileSystem::Operation;
using Tree = std::map<std::string, std::string>;

/// Failures and a space limit are injected in memory only; real folders run fewer trials.
template <typename World>
constexpr int kTrials = std::is_same_v<World, MemoryWorld> ? 150 : 12;

/// A random source tree, a partial older or newer copy of it with links where some folders
/// should be, names that differ only in case, failures and a space limit: the same world for
/// the same seed.
template <typename World>
void Build(World& world, unsigned seed) {
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    world.FoldCaseBelow("dst");  // two names for one destination item
    world.Folder("src");
    world.Folder("dst");
    std::vector<std::string> folders = {""};
    std::set<std::string> destination_folders = {""};  // real ones, not links
    for (int i = 0; i < 14; ++i) {
        const std::string parent = folders[random() % folders.size()];
        const std::string folder = parent + (chance(15) ? "/D" : "/d") + std::to_string(i % 11);
        if (world.Exists("src" + folder))
            continue;
        folders.push_back(folder);
        world.Folder("src" + folder);
        if (!destination_folders.contains(parent) || world.Exists("dst" + folder)) {
            continue;
        } else if (chance(10)) {
            world.Link("dst" + folder, chance(50) ? "../elsewhere" : ".");
        } else if (chance(50)) {
            world.Folder("dst" + folder);
            destination_folders.insert(folder);
        }
        if (chance(5))
            world.Fail(Op::kListFolder, "src" + folder, AccessDenied());
        if (chance(5))
            world.Fail(Op::kCreateFolder, "dst" + folder, AccessDenied());
    }
    std::uint64_t bytes = 0;
    for (int i = 0; i < 90; ++i) {
        const std::string folder = folders[random() % folders.size()];
        const std::string name = folder + (chance(30) ? "/F" : "/f") + std::to_string(i % 30) +
                                 (chance(20) ? ".tmp" : ".txt");
        const std::string source = "src" + name;
        const std::string destination = "dst" + name;
        const std::string content(1 + random() % 200, 'a' + i % 26);
        world.File(source, content, 1'000'000'000'000'000'000LL + (random() % 3) * 1'000);
        bytes += content.size();
        if (chance(40) && destination_folders.contains(folder) && !world.Exists(destination)) {
            const std::string old = "old " + name;
            world.File(destination, old, 1'000'000'000'000'000'000LL + (random() % 3) * 1'000);
            bytes += old.size();
        }
        if (const unsigned fault = random() % 12; fault < 5) {
            const Op operations[] = {Op::kCopyFile, Op::kCommitCopy, Op::kFindFile,
                                     Op::kCheckDeletable, Op::kFindFile};
            world.Fail(operations[fault], fault == 0 || fault == 4 ? source : destination,
                       fault == 1   ? NoSpace()
                       : fault == 4 ? NoSuchFile()
                                    : AccessDenied());
        }
    }
    if (chance(30)) {
        world.Capacity(bytes + random() % bytes);  // what is there, and room for some copies
    }
}

struct Outcome {
    std::vector<std::string> lines;
    Tree source, destination;
    SyncStats stats;
    std::size_t pending_staged = 0;
    int calls = 0;  // in memory only
};

/// A pass from the world's src to its dst. With `staged`, the walk waits at its first file,
/// dst/0/z, until that many copies are staged ahead.
template <typename World>
Outcome RunOnce(const std::function<void(World&, bool ahead)>& build, SyncSettings settings,
                RunConcurrency concurrency, const ExcludeList& exclude_list = {},
                int stop_at_line = -1, std::size_t staged = 0) {
    World world;
    build(world, concurrency.workers > 0);
    settings.source_path = world.Path("src");
    settings.destination_path = world.Path("dst");
    TestRun run(world.fs(), exclude_list, concurrency);
    int line_count = 0;
    run.view.on_line = [&](const ResultLine& line) {
        if (++line_count == stop_at_line)
            run.controller.StopClicked();
        const bool hold = concurrency.workers > 0 && line.text.ends_with("/dst/0/z");
        for (int i = 0; i < 1000 && hold && world.PendingStagedCopies() < staged; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    std::vector<std::string> lines;
    for (const std::string& line : run.Synchronize(settings))
        lines.push_back(world.Display(line));
    Outcome outcome{lines, world.Snapshot("src"), world.Snapshot("dst"), run.controller.Stats(),
                    world.PendingStagedCopies()};
    if constexpr (std::is_same_v<World, MemoryWorld>)
        outcome.calls = world.memory().Calls();
    return outcome;
}

template <typename World>
class ConcurrencyEquivalence : public ::testing::Test {};
using Worlds = ::testing::Types<MemoryWorld, PosixWorld>;
TYPED_TEST_SUITE(ConcurrencyEquivalence, Worlds);

TYPED_TEST(ConcurrencyEquivalence, WorkersChangeNothingTheUserSees) {
    std::mt19937 random(20261207);
    for (int trial = 0; trial < kTrials<TypeParam>; ++trial) {
        const auto seed = static_cast<unsigned>(random());
        SyncSettings settings;
        settings.style = static_cast<SyncStyle>(random() % 3);
        auto one_in = [&](unsigned n) {
            return random() % n == 0 ? CheckState::kChecked : CheckState::kUnchecked;
        };
        settings.preview_only = one_in(4);
        settings.use_exclude_list = one_in(2);
        settings.ignore_hidden = static_cast<CheckState>(random() % 2);
        settings.ignore_system = static_cast<CheckState>(random() % 2);
        settings.log_ignored = static_cast<CheckState>(random() % 2);
        settings.reverse_sync = one_in(3);
        // Each entry starts where the random name of a real temporary folder cannot.
        const ExcludeList exclude_list = {"", "/D3", ".TMP", "/f1"};
        const int stop_at_line = random() % 3 == 0 ? static_cast<int>(random() % 60) : -1;
        SCOPED_TRACE("trial " + std::to_string(trial) + " seed " + std::to_string(seed));
        auto run = [&](RunConcurrency concurrency) {
            return RunOnce<TypeParam>([&](TypeParam& world, bool) { Build(world, seed); }, settings,
                                      concurrency, exclude_list, stop_at_line);
        };
        const Outcome sequential = run({.workers = 0});
        // Few files ahead and copies staged whatever the space left; many files ahead.
        for (const RunConcurrency concurrency :
             {RunConcurrency{.workers = 2, .bounds = {.files = 4, .spare_space = 0}},
              RunConcurrency{.workers = 4, .bounds = {.files = 64}}}) {
            const Outcome concurrent = run(concurrency);
            ASSERT_EQ(concurrent.lines, sequential.lines);
            ASSERT_EQ(concurrent.destination, sequential.destination);
            ASSERT_EQ(concurrent.source, sequential.source);
            ASSERT_EQ(concurrent.stats, sequential.stats);
            ASSERT_EQ(concurrent.pending_staged, 0u);
        }
        ASSERT_EQ(sequential.pending_staged, 0u);
    }
}

TEST(LookAheadInMemory, ShortSpaceAndAThrowOnAWorkerGiveWhatOneFileAtATimeGives) {
    struct Case {
        const char* what;
        SyncStyle style;
        std::size_t staged;  // before the walk goes on
        std::function<void(MemoryWorld&, bool)> build;
    };
    const Case cases[] = {
        // Staged ahead: a/f1, a/f3 (a/f2 found no room) and b/g. When a/f2's own copy finds
        // none either, all three copies give their room back, a/f3's taken by the walk too.
        {"space runs short", SyncStyle::kBackup, 3,
         [](MemoryWorld& w, bool) {
             w.File("src/0/z", "");
             for (const std::string name : {"a/f1", "a/f2", "a/f3", "b/g"}) {
                 const std::string content(name[3] == '2' ? 30 : 1, name[3]);
                 w.File("src/" + name, content);
                 w.File("dst/" + name, std::string(content.size(), '-'));
             }
             w.Capacity(2 * 33 + 30);  // source and destination, and one copy of a/f2
         }},
        // The worker's look-up of a/x throws; the walk makes it again, and it works.
        {"a look-up throws once on the worker", SyncStyle::kSafeMode, 1,
         [](MemoryWorld& w, bool ahead) {
             for (const char* name : {"0/z", "a/x", "a/y"})
                 w.File("src/" + std::string(name), name + 2);
             w.Folder("dst/a");
             if (ahead)
                 w.memory().ThrowOn(Op::kFindFile, w.Path("dst/a/x"), 1, true);
         }},
        // Each file is looked at and copied once, whoever prepares it; none in a new folder.
        {"many files", SyncStyle::kNormal, 0,
         [](MemoryWorld& w, bool) {
             for (int i = 0; i < 200; ++i)
                 w.File("src/" + std::to_string(i % 3) + "/f" + std::to_string(i), "data");
             w.Folder("dst/0");
             w.Folder("dst/1");  // and dst/2 is made by the pass
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Copies are staged ahead whatever the space left.
        auto run = [&](int workers) {
            SyncSettings settings;
            settings.style = c.style;
            return RunOnce<MemoryWorld>(c.build, settings,
                                        {.workers = workers, .bounds = {.spare_space = 0}}, {}, -1,
                                        c.staged);
        };
        const Outcome sequential = run(0);
        // A look-ahead that falls behind the walk (a busy machine) finds a folder the pass has
        // just made and looks in it for nothing: more calls, the same results. So of a few
        // runs, one must make no call the sequential pass does not.
        for (const int workers : {1, 2}) {
            for (int run_number = 1;; ++run_number) {
                const Outcome ahead = run(workers);
                EXPECT_EQ(ahead.lines, sequential.lines);
                EXPECT_EQ(ahead.destination, sequential.destination);
                EXPECT_EQ(ahead.stats, sequential.stats);
                EXPECT_EQ(ahead.pending_staged, 0u);
                if (c.staged != 0 || ahead.calls == sequential.calls)
                    break;
                if (run_number == 5) {
                    ADD_FAILURE() << ahead.calls << " calls against " << sequential.calls;
                    break;
                }
            }
        }
        EXPECT_EQ(sequential.stats.other_errors, 0);
        if (c.staged == 0) {
            // Four listings, a look-up for each file whose folder was there, a copy for each.
            EXPECT_EQ(sequential.calls, 4 + 134 + 200);
        }
    }
}

}  // namespace
}  // namespace tidemark::testing
