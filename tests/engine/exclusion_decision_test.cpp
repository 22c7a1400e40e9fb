#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "engine/failure.h"
#include "engine/file_preparation.h"
#include "engine/path_syntax.h"

namespace tidemark {
namespace {

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

}  // namespace
}  // namespace tidemark
