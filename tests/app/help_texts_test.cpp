#include "app/help_texts.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/app/app_doubles.h"

namespace tidemark {
namespace {

const testing::TestNumberFormat kEnglish;

TEST(HelpText, TheUsageFiguresAreFilledIn) {
    const std::pair<double, const char*> figures[] = {
        {0, "0 files.\r\nSuggested Donation: $0.00."},
        {123456, "123,456 files.\r\nSuggested Donation: $1.23."},
        {1234567, "1,234,567 files.\r\nSuggested Donation: $12.35."},
        {123456789012, "123,456,789,012 files.\r\nSuggested Donation: $1,234,567.89."},
    };
    for (const auto& [files, shown] : figures) {
        // The figures close the donation section at the top, before the banner.
        const std::string text = ComposeHelpText(BuildHelpTexts(), files, kEnglish);
        const std::size_t at = text.find(std::string("Total Files Processed: ") + shown + "\r\n");
        EXPECT_LT(at, text.find("Tidemark HELP")) << shown;
        EXPECT_EQ(text.find("NUM_FILES_PROCESSED"), std::string::npos);
        EXPECT_EQ(text.find("DONATION_RECOMMENDATION"), std::string::npos);
    }
}

TEST(HelpText, HalvesRoundAwayFromZero) {
    // Half a cent each; rounding half to even would give $0.00, $0.02 and $0.02.
    EXPECT_EQ(FormatSuggestedDonation(500, kEnglish), "$0.01");
    EXPECT_EQ(FormatSuggestedDonation(1500, kEnglish), "$0.02");
    EXPECT_EQ(FormatSuggestedDonation(2500, kEnglish), "$0.03");
    EXPECT_EQ(FormatSuggestedDonation(99999500, kEnglish), "$1,000.00");
    EXPECT_EQ(FormatFileCount(2.5, kEnglish), "3");
    EXPECT_EQ(FormatFileCount(999999.5, kEnglish), "1,000,000");
    EXPECT_EQ(FormatFileCount(std::numeric_limits<double>::infinity(), kEnglish), "0");
}

TEST(HelpText, LocaleSeparatorsButAlwaysTheDollarSign) {
    EXPECT_EQ(FormatFileCount(1234567, testing::TestNumberFormat(".", ",")), "1.234.567");
    EXPECT_EQ(FormatSuggestedDonation(123456789012, testing::TestNumberFormat(".", ",")),
              "$1.234.567,89");
    EXPECT_EQ(FormatFileCount(1234567, testing::TestNumberFormat("\u202f", ",")),
              "1\u202f234\u202f567");
    EXPECT_EQ(FormatSuggestedDonation(1234567, testing::TestNumberFormat("", ".")), "$12.35");
}

}  // namespace
}  // namespace tidemark
