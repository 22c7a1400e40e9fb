#include "app/help_texts.h"

#include <gtest/gtest.h>

#include <string>
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
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

TEST(HelpTextTest, LinesFollowTheFixedOrderAndSeparators) {
    const HelpTexts texts = BuildHelpTexts();
    const std::vector<std::string> lines = SplitCrLf(ComposeHelpText(texts, 0, kEnglish));

    // Donation section: D1, D2 and D3 as paragraphs, D4 and D5 on adjacent lines, then D6.
    ASSERT_GE(lines.size(), 16u);
    EXPECT_TRUE(lines[0].starts_with("Tidemark is entirely supported by donations"));
    EXPECT_NE(lines[0].find("Kestrelwick"), std::string::npos);
    EXPECT_EQ(lines[1], "");
    EXPECT_NE(lines[2].find("donation"), std::string::npos);
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4],
              "Our suggested donation is a penny for every 1,000 files processed.  Here is your "
              "usage info (to date):");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "Total Files Processed: 0 files.");
    EXPECT_EQ(lines[7], "Suggested Donation: $0.00.");
    EXPECT_EQ(lines[8], "");
    EXPECT_NE(lines[9].find("30 days"), std::string::npos);
    EXPECT_NE(lines[9].find("$20"), std::string::npos);
    // The banner follows the donation section after one empty line.
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11],
              "------------------------------ Tidemark HELP ------------------------------");
    EXPECT_EQ(lines[12], "");
    EXPECT_EQ(lines[13], HelpIntroText());
    EXPECT_EQ(lines[14], "");

    // Eleven topic paragraphs, each followed by an empty line, so the text ends with two line
    // breaks after the last one.
    const std::vector<std::string> rest(lines.begin() + 15, lines.end());
    ASSERT_EQ(rest.size(), 11u * 2 + 1);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_FALSE(rest[2 * i].empty()) << "topic " << i + 1;
        EXPECT_EQ(rest[2 * i + 1], "") << "after topic " << i + 1;
    }
    EXPECT_EQ(rest.back(), "");
    EXPECT_TRUE(texts.topics.ends_with("\r\n\r\n"));
    EXPECT_FALSE(texts.topics.ends_with("\r\n\r\n\r\n"));
}

TEST(HelpTextTest, IntroAndTopicsSayWhatTheProgramReallyDoes) {
    EXPECT_EQ(HelpIntroText(),
              "Tidemark is a complete file and folder synchronization software application that "
              "can be used to quickly and easily get the latest files from the source location "
              "copied to the destination location, without going through a timely file backup "
              "process.");
    const std::vector<std::string> topics = SplitCrLf(BuildHelpTexts().topics);
    // Order: configurations, the three styles, locations, exclude list, hidden and system
    // files, auto reverse, preview, pause and stop, time remaining.
    const std::vector<std::string> openings = {"Configurations:",
                                               "Safe Mode:",
                                               "Normal:",
                                               "Backup:",
                                               "Locations:",
                                               "Exclude List:",
                                               "Hidden and System Files:",
                                               "Auto Reverse Synchronize:",
                                               "Preview Only Mode:",
                                               "Pause and Stop:",
                                               "Time Remaining:"};
    for (std::size_t i = 0; i < openings.size(); ++i) {
        EXPECT_TRUE(topics[2 * i].starts_with(openings[i])) << topics[2 * i];
    }
    EXPECT_NE(topics[10].find("[exclude list]"), std::string::npos);
    // On Linux a hidden file is one whose name starts with a dot.
    EXPECT_NE(topics[12].find("starts with a dot"), std::string::npos);
}

TEST(HelpTextTest, PlainTextHasNoStrayLineBreaks) {
    const std::string text = ComposeHelpText(BuildHelpTexts(), 42, kEnglish);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], '\r') << "bare line feed at " << i;
        }
        if (text[i] == '\r') {
            ASSERT_LT(i + 1, text.size());
            EXPECT_EQ(text[i + 1], '\n') << "bare carriage return at " << i;
        }
    }
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
                        " files.\r\n"
                        "Suggested Donation: " +
                        figures.donation_text + ".\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("NUM_FILES_PROCESSED"), std::string::npos);
    EXPECT_EQ(text.find("DONATION_RECOMMENDATION"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    CountsFromTheField, UsageFiguresTest,
    ::testing::Values(Figures{0, "0", "$0.00"}, Figures{123456, "123,456", "$1.23"},
                      Figures{250000, "250,000", "$2.50"}, Figures{1234567, "1,234,567", "$12.35"},
                      Figures{999, "999", "$0.01"}, Figures{1000, "1,000", "$0.01"},
                      Figures{123456789012, "123,456,789,012", "$1,234,567.89"},
                      Figures{100000000, "100,000,000", "$1,000.00"}));

TEST(UsageFormatTest, HalvesRoundAwayFromZero) {
    // Half a cent: 500, 1500 and 2500 files. Rounding half to even would give 0, 2 and 2 cents.
    EXPECT_EQ(FormatSuggestedDonation(500, kEnglish), "$0.01");
    EXPECT_EQ(FormatSuggestedDonation(1500, kEnglish), "$0.02");
    EXPECT_EQ(FormatSuggestedDonation(2500, kEnglish), "$0.03");
    EXPECT_EQ(FormatSuggestedDonation(499, kEnglish), "$0.00");
    EXPECT_EQ(FormatSuggestedDonation(99999500, kEnglish), "$1,000.00");
    EXPECT_EQ(FormatFileCount(0.5, kEnglish), "1");
    EXPECT_EQ(FormatFileCount(2.5, kEnglish), "3");
    EXPECT_EQ(FormatFileCount(999.4, kEnglish), "999");
    EXPECT_EQ(FormatFileCount(999999.5, kEnglish), "1,000,000");
}

TEST(UsageFormatTest, UsesTheLocaleSeparatorsButAlwaysTheDollarSign) {
    const FixedNumberFormat german{".", ","};
    EXPECT_EQ(FormatFileCount(1234567, german), "1.234.567");
    EXPECT_EQ(FormatSuggestedDonation(1234567, german), "$12,35");
    EXPECT_EQ(FormatSuggestedDonation(123456789012, german), "$1.234.567,89");

    const FixedNumberFormat narrow_space{"\u202f", ","};
    EXPECT_EQ(FormatFileCount(1234567, narrow_space), "1\u202f234\u202f567");

    const FixedNumberFormat no_grouping{"", "."};
    EXPECT_EQ(FormatFileCount(1234567, no_grouping), "1234567");
    EXPECT_EQ(FormatSuggestedDonation(1234567, no_grouping), "$12.35");
}

TEST(UsageFormatTest, CorruptCountersStayReadable) {
    EXPECT_EQ(FormatFileCount(-1234, kEnglish), "-1,234");
    EXPECT_EQ(FormatSuggestedDonation(-1234567, kEnglish), "-$12.35");
    EXPECT_EQ(FormatFileCount(1e300, kEnglish).size(), 301u + 100u);  // every digit, grouped
    EXPECT_EQ(FormatFileCount(std::numeric_limits<double>::infinity(), kEnglish), "0");
    EXPECT_EQ(FormatSuggestedDonation(std::numeric_limits<double>::quiet_NaN(), kEnglish), "$0.00");
}

}  // namespace
}  // namespace tidemark
