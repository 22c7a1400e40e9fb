// What the engine decides for each path and file: the path syntax, exclusion, skipping, the
// action for each style, and comparing times with destinations that keep them coarsely (FAT,
// exFAT, network file systems), where a file copied once must not be copied again.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <tuple>

#include "engine/failure.h"
#include "engine/file_preparation.h"
#include "engine/pass.h"
#include "engine/path_syntax.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {
namespace {

TEST(PathSyntax, SlashesCollapseAndTheSourceRootMakesWayForTheDestinationRoot) {
    const PathSyntax windows = PathSyntax::Windows();
    const PathSyntax posix = PathSyntax::Posix();
    EXPECT_EQ(FixBackslash("C:/a//b\\\\\\c/", windows), "C:\\a\\b\\c\\");
    EXPECT_EQ(FixBackslash("\\\\server\\share", windows), "\\server\\share");
    EXPECT_EQ(FixBackslash("//home//me///x/", posix), "/home/me/x/");
    EXPECT_EQ(FixBackslash("/a\\\\b", posix), "/a\\\\b");
    struct Case {
        const char *path, *source, *destination;
        const PathSyntax& syntax;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Data\\Photos\\2019", "C:\\Data", "E:\\Copy", windows, "E:\\Copy\\Photos\\2019"},
        {"c:\\data\\x.txt", "C:\\Data\\", "E:\\Copy\\", windows, "E:\\Copy\\x.txt"},
        {"C:\\DATA", "C:\\Data", "E:\\Copy", windows, "E:\\Copy\\"},
        {"C:\\Dat", "C:\\Data", "E:\\Copy", windows, "E:\\Copy\\C:\\Dat"},  // too short
        {"/s/a/s/b", "/s", "/d", posix, "/d/a/s/b"},
        {"/S/a", "/s", "/d", posix, "/d/S/a"},  // another case is another folder
        {"/s/a", "/s/", "/d/", posix, "/d/a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DestinationPathOf(c.path, c.source, c.destination, c.syntax), c.expected);
}

TEST(UpperCase, FoldsLatinGreekAndCyrillicAndKeepsInvalidBytes) {
    EXPECT_EQ(UpperCase("temp"), "TEMP");
    EXPECT_EQ(UpperCase("größe.txt"), "GRÖßE.TXT");  // sharp s has no single upper case
    EXPECT_EQ(UpperCase("éèà ÿ"), "ÉÈÀ Ÿ");
    EXPECT_EQ(UpperCase("łódź"), "ŁÓDŹ");
    EXPECT_EQ(UpperCase("αβγ σς"), "ΑΒΓ ΣΣ");
    EXPECT_EQ(UpperCase("файл"), "ФАЙЛ");
    EXPECT_EQ(UpperCase("a\xff\xc3z"), "A\xff\xc3Z");
    // The ends of each range, the letters beside them, and three-byte characters kept whole.
    EXPECT_EQ(UpperCase("àþ÷ āķĸĺňŉŋŷźžſ"), "ÀÞ÷ ĀĶĸĹŇŉŊŶŹŽſ");
    EXPECT_EQ(UpperCase("αω аяѐџ ѠӀ"), "ΑΩ АЯЀЏ ѠӀ");
    EXPECT_EQ(UpperCase("x€ḁ日z"), "X€ḁ日Z");
}

TEST(NamesFoldTogether, OnlyNamesThatAreOneInUpperCase) {
    auto fold = [](std::vector<std::string> names) {
        std::vector<FileEntry> entries;
        for (std::string& name : names)
            entries.push_back(FileEntry{"/src/" + name, std::move(name)});
        return NamesFoldTogether(entries);
    };
    EXPECT_TRUE(fold({"x", "a.txt", "A.TXT"}));
    EXPECT_TRUE(fold({"z", "Z"}));
    EXPECT_TRUE(fold({"éte", "ÉTE"}));
    EXPECT_FALSE(fold({"`", "@", "{", "[", "a", "b", "éte", "ete"}));
}

TEST(IsExcluded, EntriesArePlainCaseInsensitiveSubstringsWithTheirSpaces) {
    const std::string long_entry(8 << 20, 'x');
    const std::string photo = "/home/ann/Photos/2019/IMG_0001.JPG";
    const struct {
        std::string path;
        ExcludeList list;
        bool excluded;
    } cases[] = {
        {"C:\\Data\\Temp\\a.txt", {"temp"}, true},
        {"C:\\Data\\attempt.doc", {"temp"}, true},
        {"C:\\Data\\tmp", {"temp"}, false},
        {"C:\\x\\Cache\\y.txt", {"\\cache\\"}, true},
        {"C:\\x\\Cache", {"\\cache\\"}, false},
        {"C:\\a.txt", {"*.txt"}, false},
        {"C:\\*.txt", {"*.txt"}, true},
        {"C:\\temp files\\a.txt", {"temp "}, true},
        {"C:\\temp\\a.txt", {"temp "}, false},
        {"C:\\a b\\c", {}, false},
        {"C:\\a b\\c", {"", "  ", " "}, false},  // blank entries match nothing
        {"C:\\a\tb", {"\t"}, true},              // only spaces count as blank
        {"/home/me/Ärger/x", {"ärger"}, true},
        {"/home/me/ФОТО/x", {"фото"}, true},
        {photo, {long_entry, "img_0001"}, true},
        {photo, {long_entry}, false},
        {photo, {"/HOME/ANN/photos/2019/img_0001.jpg"}, true},
        {photo, {photo + "/"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsExcluded(c.path, c.list), c.excluded) << c.path.substr(0, 40);
}

TEST(SkipReasonFor, ExclusionBeforeHiddenBeforeSystemAndGreyedIgnoresButDoesNotExclude) {
    SyncSettings settings;
    settings.use_exclude_list = CheckState::kChecked;
    const int both = kHiddenAttribute | kSystemAttribute;
    EXPECT_EQ(SkipReasonFor(true, both, settings), SkipReason::kExcluded);
    EXPECT_EQ(SkipReasonFor(false, both, settings), SkipReason::kHidden);
    settings.ignore_hidden = CheckState::kUnchecked;
    EXPECT_EQ(SkipReasonFor(false, both, settings), SkipReason::kSystem);
    settings.ignore_system = CheckState::kUnchecked;
    EXPECT_EQ(SkipReasonFor(false, both, settings), std::nullopt);
    settings.use_exclude_list = settings.ignore_hidden = settings.ignore_system =
        CheckState::kGreyed;
    EXPECT_EQ(SkipReasonFor(true, 0, settings), std::nullopt);
    EXPECT_EQ(SkipReasonFor(false, kHiddenAttribute, settings), SkipReason::kHidden);
    EXPECT_EQ(SkipReasonFor(false, kSystemAttribute, settings), SkipReason::kSystem);
}

TEST(ActionFor, UnknownStylesActAsSafeMode) {
    SyncSettings settings;
    settings.style = SyncStyle::kNone;
    EXPECT_EQ(settings.EffectiveStyle(), SyncStyle::kSafeMode);
    settings.style = static_cast<SyncStyle>(7);
    EXPECT_EQ(ActionFor(true, settings.EffectiveStyle(), 2, 1, 1), FileAction::kKeep);
    EXPECT_EQ(ActionFor(false, settings.EffectiveStyle(), 2, 1, 1), FileAction::kCreate);
}

TEST(FailureFromErrno, OnlyAccessDeniedCarriesSeventyAndEveryNumberItsOwnDescription) {
    for (const int denied : {EACCES, EPERM, EROFS})
        EXPECT_TRUE(FailureFromErrno(denied).IsAccessDenied()) << denied;
    for (const int other : {ENOENT, EIO, 70, ENOSPC}) {
        EXPECT_FALSE(FailureFromErrno(other).IsAccessDenied()) << other;
        EXPECT_EQ(FailureFromErrno(other).description, std::strerror(other));
    }
    EXPECT_NE(FailureFromErrno(ENOENT).number, FailureFromErrno(EIO).number);
    EXPECT_TRUE(FailureFromErrno(ENOSPC).IsNoSpace() && FailureFromErrno(EDQUOT).IsNoSpace());
    EXPECT_FALSE(FailureFromErrno(EIO).IsNoSpace());
}

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
        {1'600'000'002 * kSecond, 1'600'000'000 * kSecond, 2 * kSecond, true},  // on a step
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

// Normal passes both ways between a fine source and a destination that keeps times in coarse
// steps: nothing is copied twice, nor bounced back by the reverse pass, and a real edit, three
// seconds later, is copied on the next pass and on that one only.
TEST(CoarseDestination, ACopiedFileIsNotCopiedAgainNorBackButAChangeIs) {
    const std::tuple<const char*, FileTime, bool> precisions[] = {
        {"FAT", 2 * kSecond, false},    {"FAT written elsewhere", 2 * kSecond, true},
        {"one second", kSecond, false}, {"exFAT", 10'000'000, false},
        {"NTFS", 100, false},           {"fine", 1, false},
    };
    for (const auto& [what, step, round_up] : precisions) {
        SCOPED_TRACE(what);
        InMemoryFileSystem fs;
        fs.SetTimePrecision("/media/stick", step, round_up);
        fs.AddFile("/home/me/notes.txt", "first", kEdited);
        fs.AddFile("/home/me/sub/photo.jpg", "photo", kEdited + 7);
        fs.AddFile("/media/stick/camera.jpg", "theirs", 1'600'000'010 * kSecond);
        SyncSettings settings = Between("/home/me", "/media/stick");
        settings.style = SyncStyle::kNormal;
        settings.reverse_sync = CheckState::kChecked;
        SyncStats stats;
        auto pass = [&] {
            TestRun run(fs);
            const std::vector<std::string> walk = WalkLines(run.Synchronize(settings));
            stats = run.controller.Stats();  // of the reverse pass
            return walk;
        };
        EXPECT_EQ(pass(), (std::vector<std::string>{"Creating Folder /media/stick/sub",
                                                    "Creating file /media/stick/sub/photo.jpg",
                                                    "Creating file /media/stick/notes.txt"}));
        EXPECT_EQ(fs.ModifiedOf("/media/stick/notes.txt") == kEdited, step == 1);  // cut
        EXPECT_EQ(fs.ContentOf("/home/me/camera.jpg"), "theirs");
        const std::vector<std::string> changes = fs.Changes();
        EXPECT_EQ(pass(), std::vector<std::string>{});
        EXPECT_EQ(stats.existing_files, 3);
        EXPECT_EQ(fs.Changes(), changes);

        fs.AddFile("/home/me/notes.txt", "second", kEdited + 3 * kSecond);
        const std::vector<std::string> walk = pass();
        ASSERT_EQ(walk.size(), 1u);
        EXPECT_TRUE(walk[0].starts_with("Updating file /media/stick/notes.txt - orig: @"));
        EXPECT_EQ(fs.ContentOf("/media/stick/notes.txt"), "second");
        const std::size_t edited = fs.Changes().size();
        EXPECT_EQ(pass(), std::vector<std::string>{});
        EXPECT_EQ(fs.Changes().size(), edited);
    }
}

}  // namespace
}  // namespace tidemark::testing
