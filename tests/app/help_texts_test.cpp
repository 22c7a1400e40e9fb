#include "app/help_texts.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/sys_info.h"
#include "tests/app/app_doubles.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

// Numbers as an English locale writes them, or with the separators given.
class TestNumberFormat final : public LocaleNumberFormat {
  public:
    explicit TestNumberFormat(std::string group = ",", std::string decimal = ".")
        : group_(std::move(group)), decimal_(std::move(decimal)) {}
    std::string GroupSeparator() const override { return group_; }
    std::string DecimalSeparator() const override { return decimal_; }

  private:
    std::string group_, decimal_;
};

const TestNumberFormat kEnglish;

TEST(HelpText, TheUsageFiguresAreFilledIn) {
    const std::pair<double, const char*> figures[] = {
        {0, "0 files.\r\nSuggested Donation: $0.00."},
        {123456, "123,456 files.\r\nSuggested Donation: $1.23."},
        {1234567, "1,234,567 files.\r\nSuggested Donation: $12.35."},
        {123456789012, "123,456,789,012 files.\r\nSuggested Donation: $1,234,567.89."},
    };
    for (const auto& [files, shown] : figures) {
        // The figures close the donation section at the top, after the suggestion, before the
        // banner.
        const std::string text = ComposeHelpText(BuildHelpTexts(), files, kEnglish);
        const std::size_t at = text.find(
            std::string("usage info (to date):\r\n\r\nTotal Files Processed: ") + shown + "\r\n");
        EXPECT_LT(at, text.find("Tidemark HELP")) << shown;
        EXPECT_EQ(text.find("NUM_FILES_PROCESSED"), std::string::npos);
        EXPECT_EQ(text.find("DONATION_RECOMMENDATION"), std::string::npos);
    }
}

// Half a cent each rounds away from zero (half to even would give $0.00, $0.02 and $0.02);
// separators follow the locale, the dollar sign stays.
TEST(HelpText, HalvesRoundAwayFromZeroWithTheLocalesSeparators) {
    EXPECT_EQ(FormatSuggestedDonation(500, kEnglish), "$0.01");
    EXPECT_EQ(FormatSuggestedDonation(1500, kEnglish), "$0.02");
    EXPECT_EQ(FormatSuggestedDonation(2500, kEnglish), "$0.03");
    EXPECT_EQ(FormatSuggestedDonation(99999500, kEnglish), "$1,000.00");
    EXPECT_EQ(FormatFileCount(2.5, kEnglish), "3");
    EXPECT_EQ(FormatFileCount(999999.5, kEnglish), "1,000,000");
    EXPECT_EQ(FormatFileCount(std::numeric_limits<double>::infinity(), kEnglish), "0");
    EXPECT_EQ(FormatFileCount(1234567, TestNumberFormat(".", ",")), "1.234.567");
    EXPECT_EQ(FormatSuggestedDonation(123456789012, TestNumberFormat(".", ",")), "$1.234.567,89");
    EXPECT_EQ(FormatFileCount(1234567, TestNumberFormat("\u202f", ",")), "1\u202f234\u202f567");
    EXPECT_EQ(FormatSuggestedDonation(1234567, TestNumberFormat("", ".")), "$12.35");
}

TEST(StartSysInfo, StartsTheBestViewerFoundOrReportsThatNoneCouldStart) {
    testing::FakeLauncher launcher;
    testing::RecordingRunView messages;
    launcher.installed = {{"kinfocenter", "/usr/bin/kinfocenter"},
                          {"gnome-system-monitor", "/usr/bin/gnome-system-monitor"}};
    EXPECT_TRUE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/usr/bin/kinfocenter"});
    EXPECT_TRUE(messages.messages.empty());

    launcher.start_fails = true;
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    launcher.installed.clear();
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started.size(), 2u);
    ASSERT_EQ(messages.messages.size(), 2u);
    for (const testing::ShownMessage& shown : messages.messages) {
        EXPECT_EQ(shown.text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(shown.buttons, MessageButtons::kOk);
    }
}

}  // namespace
}  // namespace tidemark
