// Normal onto destinations that keep times coarsely (FAT, exFAT, network file systems): a file
// copied once with its time kept is not copied again, and a real change is still copied.
#include <gtest/gtest.h>

#include <tuple>

#include "engine/file_preparation.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {
namespace {

constexpr FileTime kSecond = 1'000'000'000;
// 2020-09-13 12:26:41.123456789: an odd second with every sub-second digit set.
constexpr FileTime kEdited = 1'600'000'001'123'456'789;

TEST(SourceIsNewer, ComparesAtTheStepTheDestinationKeepsTimesIn) {
    struct Case {
        FileTime source, destination, step;
        bool newer;
    };
    const Case cases[] = {
        // Fine destinations compare to the nanosecond, whole seconds included: a source half a
        // second newer than a destination on a whole second is newer.
        {kEdited + 1, kEdited, 1, true},
        {kEdited, kEdited, 1, false},
        {kEdited - 1, kEdited, 1, false},
        {1'700'000'001'500'000'000, 1'700'000'001 * kSecond, 1, true},
        // FAT cuts to two seconds: the copy of kEdited is stored as ...00.000.
        {kEdited, 1'600'000'000 * kSecond, 2 * kSecond, false},
        {kEdited + kSecond, 1'600'000'000 * kSecond, 2 * kSecond, true},
        // A file system that rounds up to two seconds stores ...02.000.
        {kEdited, 1'600'000'002 * kSecond, 2 * kSecond, false},
        // One second (coarse network shares), 100 ns (NTFS).
        {kEdited, 1'600'000'001 * kSecond, kSecond, false},
        {kEdited + kSecond, 1'600'000'001 * kSecond, kSecond, true},
        {kEdited, 1'600'000'001'123'456'700, 100, false},
        {kEdited + 100, 1'600'000'001'123'456'700, 100, true},
        // Before 1970 the cut still goes towards the past.
        {-3 * kSecond + 500, -4 * kSecond, 2 * kSecond, false},
        {-1 * kSecond, -4 * kSecond, 2 * kSecond, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SourceIsNewer(c.source, c.destination, c.step), c.newer)
            << c.source << " against " << c.destination << " in steps of " << c.step;
        EXPECT_EQ(ActionFor(true, SyncStyle::kNormal, c.source, c.destination, c.step),
                  c.newer ? FileAction::kUpdate : FileAction::kKeep);
    }
}

/// Normal passes from a fine source onto a destination that keeps times in coarse steps.
struct CoarseDestination {
    CoarseDestination(FileTime step, bool round_up) {
        fs.SetTimePrecision("/media/stick", step, round_up);
        fs.AddFolder("/home/me");
        fs.AddFolder("/media/stick");
        settings.style = SyncStyle::kNormal;
    }
    /// Runs one pass and answers its walk lines.
    std::vector<std::string> Pass() {
        TestRun run(fs);
        const std::vector<std::string> texts = run.Synchronize(settings);
        stats = run.controller.Stats();
        return WalkLines(texts);
    }

    InMemoryFileSystem fs;
    SyncSettings settings = Between("/home/me", "/media/stick");
    SyncStats stats;
};

TEST(CoarseDestination, ACopiedFileIsNotCopiedAgainButAChangeIs) {
    const std::tuple<const char*, FileTime, bool> precisions[] = {
        {"FAT", 2 * kSecond, false},    {"FAT written elsewhere", 2 * kSecond, true},
        {"one second", kSecond, false}, {"exFAT", 10'000'000, false},
        {"NTFS", 100, false},           {"fine", 1, false},
    };
    for (const auto& [what, step, round_up] : precisions) {
        SCOPED_TRACE(what);
        CoarseDestination d(step, round_up);
        d.fs.AddFile("/home/me/notes.txt", "first", kEdited);
        d.fs.AddFile("/home/me/sub/photo.jpg", "photo", kEdited + 7);
        EXPECT_EQ(d.Pass(), (std::vector<std::string>{"Creating Folder /media/stick/sub",
                                                      "Creating file /media/stick/sub/photo.jpg",
                                                      "Creating file /media/stick/notes.txt"}));
        EXPECT_EQ(d.fs.ModifiedOf("/media/stick/notes.txt") == kEdited, step == 1);  // cut

        EXPECT_EQ(d.Pass(), std::vector<std::string>{});
        EXPECT_EQ(d.stats.existing_files, 2);
        EXPECT_EQ(d.stats.updated_files, 0);
        EXPECT_EQ(d.fs.Changes().size(), 3u);  // one folder and two copies, nothing since

        // A real edit, three seconds later, is copied on the next pass and on that one only.
        d.fs.AddFile("/home/me/notes.txt", "second", kEdited + 3 * kSecond);
        const std::vector<std::string> walk = d.Pass();
        ASSERT_EQ(walk.size(), 1u);
        EXPECT_TRUE(walk[0].starts_with("Updating file /media/stick/notes.txt - orig: @"));
        EXPECT_EQ(d.stats.updated_files, 1);
        EXPECT_EQ(d.fs.ContentOf("/media/stick/notes.txt"), "second");
        EXPECT_EQ(d.Pass(), std::vector<std::string>{});
    }
}

TEST(CoarseDestination, ReversePassDoesNotBounceCutTimesBack) {
    CoarseDestination d(2 * kSecond, false);
    d.fs.AddFile("/home/me/notes.txt", "mine", kEdited);
    d.fs.AddFile("/media/stick/camera.jpg", "theirs", 1'600'000'010 * kSecond);
    d.settings.reverse_sync = CheckState::kChecked;
    d.Pass();
    const auto source_after_first = d.fs.Snapshot("/home/me");
    const auto destination_after_first = d.fs.Snapshot("/media/stick");
    EXPECT_EQ(d.fs.ContentOf("/home/me/camera.jpg"), "theirs");
    EXPECT_EQ(d.fs.ContentOf("/media/stick/notes.txt"), "mine");
    const std::size_t changes = d.fs.Changes().size();
    d.Pass();
    EXPECT_EQ(d.fs.Changes().size(), changes);
    EXPECT_EQ(d.fs.Snapshot("/home/me"), source_after_first);
    EXPECT_EQ(d.fs.Snapshot("/media/stick"), destination_after_first);
}

}  // namespace
}  // namespace tidemark::testing
