// The executor's threads, and counting a tree on them: that gives what counting it depth
// first on one thread gives.
#include "engine/tree_count.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

#include "engine/executor.h"
#include "tests/support/in_memory_file_system.h"

namespace tidemark::testing {
namespace {

std::atomic<int> threads_started{0};
void CountThread() {
    ++threads_started;
}

/// Posts `tasks` tasks one after another, each once the one before is running; like the
/// look-ahead's loops, each runs until all of them are running. Answers how many saw that.
int MeetingTasks(Executor& executor, int tasks) {
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    int met = 0;
    TaskGroup group(executor);
    for (int i = 0; i < tasks; ++i) {
        group.Post([&] {
            std::unique_lock lock(mutex);
            ++started;
            changed.notify_all();
            if (changed.wait_for(lock, std::chrono::seconds(5), [&] { return started == tasks; }))
                ++met;
        });
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return started == i + 1; });
    }
    group.Wait();
    return met;
}

TEST(Executor, ThreadsStartWhenTasksFindNoneIdleAndEveryQueuedTaskRunsBeforeTheEnd) {
    threads_started = 0;
    std::atomic<int> quick_tasks_run{0};
    {
        Executor executor(8, CountThread);
        EXPECT_EQ(MeetingTasks(executor, 4), 4);
        EXPECT_EQ(threads_started, 4);
        EXPECT_EQ(MeetingTasks(executor, 8), 8);  // the four idle threads and four more
        EXPECT_EQ(threads_started, 8);
        // Beyond the bound, tasks wait for a thread to come free.
        std::promise<void> gate;
        const std::shared_future<void> open = gate.get_future().share();
        for (int i = 0; i < 12; ++i)
            executor.Post([open, &quick_tasks_run] {
                open.wait();
                ++quick_tasks_run;
            });
        gate.set_value();
    }
    EXPECT_EQ(quick_tasks_run, 12);
    EXPECT_EQ(threads_started, 8);
}

struct Counted {
    std::int64_t files = 0;
    int steps = 0;
    std::vector<std::string> unreadable;
    std::string thrown;
};

Counted CountWith(FileSystemPort& fs, int helpers, const std::string& guarded) {
    Counted counted;
    const SyncSettings settings;
    const ExcludeList exclude_list;
    const Pass pass{fs, settings, exclude_list, "/src", "/dst", guarded, std::nullopt, 1};
    Executor executor(3);
    TreeCount count(pass, nullptr, &executor, helpers);
    try {
        counted.files = count.Count(
            "/src", [&] { ++counted.steps; },
            [&](const std::string& folder, const Failure& failure) {
                counted.unreadable.push_back(folder + ": " + failure.description);
            });
    } catch (const std::exception& error) {
        counted.thrown = error.what();
    }
    return counted;
}

/// /src/a0 .. /src/a5, each with b0 .. b4, each with three files; one file in each a folder.
void MakeTree(InMemoryFileSystem& fs) {
    for (int a = 0; a < 6; ++a) {
        const std::string top = "/src/a" + std::to_string(a);
        fs.AddFile(top + "/top.txt");
        for (int b = 0; b < 5 * 3; ++b)
            fs.AddFile(top + "/b" + std::to_string(b / 3) + "/f" + std::to_string(b % 3) + ".txt");
    }
    fs.AddFile("/src/root.txt");
}

TEST(TreeCount, SameTotalStepsAndUnreadableFoldersInDepthFirstOrderWhateverTheHelpers) {
    using Op = InMemoryFileSystem::Operation;
    for (const bool throws : {false, true}) {
        InMemoryFileSystem fs;
        MakeTree(fs);
        // Failures added out of depth-first order, at both levels.
        for (const char* folder : {"/src/a4/b1", "/src/a1", "/src/a3/b4", "/src/a3/b0"})
            fs.FailOn(Op::kListFolder, folder, folder[6] == '1' ? NoSuchFile() : AccessDenied());
        std::vector<std::string> in_order = {
            "/src/a1: No such file or directory", "/src/a3/b0: Permission denied",
            "/src/a3/b4: Permission denied", "/src/a4/b1: Permission denied"};
        if (throws) {  // those met before the throw, no more
            fs.ThrowOn(Op::kListFolder, "/src/a3/b2");
            in_order.resize(2);
        }
        for (int round = 0; round < 3 * 20; ++round) {
            const int helpers = std::vector{0, 1, 3}[round % 3];
            SCOPED_TRACE("helpers " + std::to_string(helpers));
            const Counted counted = CountWith(fs, helpers, "/src/a5");
            EXPECT_EQ(counted.unreadable, in_order);
            EXPECT_EQ(counted.thrown, throws ? "std::bad_alloc" : "");
            if (!throws) {
                // 1 root file, 4 readable top folders with 1 file, 17 readable b of 3.
                EXPECT_EQ(counted.files, 1 + 4 + 17 * 3);
                // Every sub-folder reached is a step, unreadable ones too; not a5's.
                EXPECT_EQ(counted.steps, 5 + 4 * 5);
            }
        }
    }
}

TEST(TreeSurvey, KeepsListingsUpToItsBoundAndGivesEachBackOnceWhileTheFolderIsUnchanged) {
    InMemoryFileSystem fs;
    for (const char* file : {"/a/1", "/a/2", "/b/1", "/b/2", "/c/1", "/d/1", "/d/2"})
        fs.AddFile(file, "x", 5);
    TreeSurvey survey(5);
    for (const char* folder : {"/a", "/b", "/c", "/d"})
        survey.Keep(folder, *fs.ListFolder(folder));  // /d goes past the bound
    fs.AddFile("/b/3");
    const int calls = fs.Calls();
    for (const char* folder : {"/a", "/c"}) {
        const Result<FolderListing> listing = survey.List(fs, folder);
        ASSERT_TRUE(listing.ok());
        EXPECT_EQ(listing->files.front().path, std::string(folder) + "/1");
        EXPECT_EQ(listing->files.front().kind, EntryKind::kFile);
    }
    EXPECT_EQ(fs.Calls(), calls);                        // kept
    EXPECT_EQ(survey.List(fs, "/b")->files.size(), 3u);  // changed since: listed again
    EXPECT_EQ(survey.List(fs, "/d")->files.size(), 2u);  // never kept
    EXPECT_EQ(survey.List(fs, "/a")->files.size(), 2u);  // used up
    EXPECT_EQ(fs.Calls(), calls + 3);
}

}  // namespace
}  // namespace tidemark::testing
