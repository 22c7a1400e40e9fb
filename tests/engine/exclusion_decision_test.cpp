#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "engine/exclusion.h"
#include "engine/failure.h"
#include "engine/file_decision.h"

namespace tidemark {
namespace {

TEST(IsExcluded, EntriesArePlainCaseInsensitiveSubstrings) {
    const ExcludeList temp = {"temp"};
    EXPECT_TRUE(IsExcluded("C:\\Data\\Temp\\a.txt", temp));
    EXPECT_TRUE(IsExcluded("C:\\Data\\attempt.doc", temp));
    EXPECT_TRUE(IsExcluded("C:\\TEMPLATES\\x", temp));
    EXPECT_FALSE(IsExcluded("C:\\Data\\tmp", temp));

    const ExcludeList cache = {"\\cache\\"};
    EXPECT_TRUE(IsExcluded("C:\\x\\Cache\\y.txt", cache));
    EXPECT_FALSE(IsExcluded("C:\\x\\Cache", cache));

    const ExcludeList wildcard = {"*.txt"};
    EXPECT_FALSE(IsExcluded("C:\\a.txt", wildcard));
    EXPECT_TRUE(IsExcluded("C:\\*.txt", wildcard));
}

TEST(IsExcluded, SpacesArePartOfAnEntryButBlankEntriesMatchNothing) {
    const ExcludeList trailing_blank = {"temp "};
    EXPECT_TRUE(IsExcluded("C:\\temp files\\a.txt", trailing_blank));
    EXPECT_FALSE(IsExcluded("C:\\temp\\a.txt", trailing_blank));

    EXPECT_FALSE(IsExcluded("C:\\a b\\c", ExcludeList{}));
    EXPECT_FALSE(IsExcluded("C:\\a b\\c", ExcludeList{"", "  ", " "}));
    EXPECT_TRUE(IsExcluded("C:\\a\tb", ExcludeList{"\t"}));  // only spaces count as blank
}

TEST(IsExcluded, FoldsCaseBeyondAsciiAndPassesOverEntriesLongerThanThePath) {
    EXPECT_TRUE(IsExcluded("/home/me/Ärger/x", ExcludeList{"ärger"}));
    EXPECT_TRUE(IsExcluded("/home/me/ФОТО/x", ExcludeList{"фото"}));
    const std::string path = "/home/ann/Photos/2019/IMG_0001.JPG";
    EXPECT_TRUE(IsExcluded(path, {std::string(8 << 20, 'x'), "img_0001"}));
    EXPECT_FALSE(IsExcluded(path, {std::string(8 << 20, 'x')}));
    EXPECT_TRUE(IsExcluded(path, {"/HOME/ANN/photos/2019/img_0001.jpg"}));
    EXPECT_FALSE(IsExcluded(path, {"/home/ann/Photos/2019/IMG_0001.JPG/"}));
}

TEST(SkipReasonFor, ExclusionBeforeHiddenBeforeSystem) {
    SyncSettings settings;
    settings.use_exclude_list = CheckState::kChecked;
    const int both = kHiddenAttribute | kSystemAttribute;
    EXPECT_EQ(SkipReasonFor(true, both, settings), SkipReason::kExcluded);
    EXPECT_EQ(SkipReasonFor(false, both, settings), SkipReason::kHidden);
    settings.ignore_hidden = CheckState::kUnchecked;
    EXPECT_EQ(SkipReasonFor(false, both, settings), SkipReason::kSystem);
    settings.ignore_system = CheckState::kUnchecked;
    EXPECT_EQ(SkipReasonFor(false, both, settings), std::nullopt);
}

TEST(SkipReasonFor, GreyedBoxesCountAsOnForIgnoringAndOffForExcluding) {
    SyncSettings settings;
    settings.use_exclude_list = CheckState::kGreyed;
    settings.ignore_hidden = CheckState::kGreyed;
    settings.ignore_system = CheckState::kGreyed;
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
    EXPECT_EQ(ActionFor(true, SyncStyle::kNormal, 2, 1, 1), FileAction::kUpdate);
    EXPECT_EQ(ActionFor(true, SyncStyle::kNormal, 1, 1, 1), FileAction::kKeep);
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
