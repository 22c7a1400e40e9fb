#include "app/help_texts.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace tidemark {
namespace {

class FixedNumberFormat final : public LocaleNumberFormat {
  public:
    FixedNumberFormat(std::string group, std::string decimal)
        : group_(std::move(group)), decimal_(std::move(decimal)) {}
    std::string GroupSeparator() const override { return group_; }
    std::string DecimalSeparator() const override { return decimal_; }

  private:
    std::string group_;
    std::string decimal_;
};

const FixedNumberFormat kEnglish{",", "."};

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
        lines.push_back(text.substr(start, at - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

TEST(HelpTextTest, FixedOrderAndSeparators) {
    const HelpTexts texts = BuildHelpTexts();
    const std::vector<std::string> lines = SplitCrLf(ComposeHelpText(texts, 0, kEnglish));
    ASSERT_EQ(lines.size(), 15u + 2 * 11 + 1);

    // Three paragraphs, the two figure lines side by side, then the reminder paragraph.
    EXPECT_TRUE(lines[0].starts_with("Tidemark is entirely supported by donations"));
    EXPECT_NE(lines[0].find("Kestrelwick"), std::string::npos);
    EXPECT_EQ(lines[4],
              "Our suggested donation is a penny for every 1,000 files processed.  Here is your "
              "usage info (to date):");
    EXPECT_EQ(lines[6], "Total Files Processed: 0 files.");
    EXPECT_EQ(lines[7], "Suggested Donation: $0.00.");
    EXPECT_NE(lines[9].find("$20"), std::string::npos);
    // The banner follows the donation section after one empty line, then the intro.
    EXPECT_EQ(lines[11],
              "------------------------------ Tidemark HELP ------------------------------");
    EXPECT_EQ(lines[13],
              "Tidemark is a complete file and folder synchronization software application that "
              "can be used to quickly and easily get the latest files from the source location "
              "copied to the destination location, without going through a timely file backup "
              "process.");
    for (const std::size_t empty : {1, 3, 5, 8, 10, 12, 14}) {
        EXPECT_EQ(lines[empty], "") << "line " << empty;
    }
    // Eleven topics, each followed by an empty line: the text ends with two line breaks.
    for (std::size_t topic = 0; topic < 11; ++topic) {
        EXPECT_FALSE(lines[15 + 2 * topic].empty()) << "topic " << topic + 1;
        EXPECT_EQ(lines[16 + 2 * topic], "") << "after topic " << topic + 1;
    }
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(texts.intro, HelpIntroText());
}

struct Figures {
    double files;
    const char* files_text;
    const char* donation_text;
};

class UsageFiguresTest : public ::testing::TestWithParam<Figures> {};

TEST_P(UsageFiguresTest, FilledIntoTheDonationSection) {
    const Figures& figures = GetParam();
    const std::string text = ComposeHelpText(BuildHelpTexts(), figures.files, kEnglish);
    EXPECT_NE(text.find(std::string("Total Files Processed: ") + figures.files_text +
                        " files.\r\nSuggested Donation: " + figures.donation_text + ".\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("NUM_FILES_PROCESSED"), std::string::npos);
    EXPECT_EQ(text.find("DONATION_RECOMMENDATION"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, UsageFiguresTest,
    ::testing::Values(Figures{0, "0", "$0.00"}, Figures{123456, "123,456", "$1.23"},
                      Figures{250000, "250,000", "$2.50"}, Figures{1234567, "1,234,567", "$12.35"},
                      Figures{123456789012, "123,456,789,012", "$1,234,567.89"}));

TEST(UsageFormatTest, HalvesRoundAwayFromZero) {
    // Half a cent each; rounding half to even would give $0.00, $0.02 and $0.02.
    EXPECT_EQ(FormatSuggestedDonation(500, kEnglish), "$0.01");
    EXPECT_EQ(FormatSuggestedDonation(1500, kEnglish), "$0.02");
    EXPECT_EQ(FormatSuggestedDonation(2500, kEnglish), "$0.03");
    EXPECT_EQ(FormatSuggestedDonation(99999500, kEnglish), "$1,000.00");
    EXPECT_EQ(FormatFileCount(2.5, kEnglish), "3");
    EXPECT_EQ(FormatFileCount(999999.5, kEnglish), "1,000,000");
    EXPECT_EQ(FormatFileCount(std::numeric_limits<double>::infinity(), kEnglish), "0");
}

TEST(UsageFormatTest, LocaleSeparatorsButAlwaysTheDollarSign) {
    const FixedNumberFormat german{".", ","};
    EXPECT_EQ(FormatFileCount(1234567, german), "1.234.567");
    EXPECT_EQ(FormatSuggestedDonation(123456789012, german), "$1.234.567,89");
    const FixedNumberFormat narrow_space{"\u202f", ","};
    EXPECT_EQ(FormatFileCount(1234567, narrow_space), "1\u202f234\u202f567");
    const FixedNumberFormat no_grouping{"", "."};
    EXPECT_EQ(FormatSuggestedDonation(1234567, no_grouping), "$12.35");
}

}  // namespace
}  // namespace tidemark
