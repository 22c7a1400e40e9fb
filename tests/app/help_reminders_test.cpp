// The help text's figures, the system information viewer, the reminders and stored values.
#include <gtest/gtest.h>

#include <limits>

#include "app/help_texts.h"
#include "app/reminders.h"
#include "app/sys_info.h"
#include "tests/app/app_doubles.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using namespace std::chrono;

LocalDateTime At(year_month_day date, int hour, int minute = 0) {
    return LocalDateTime{date, hour, minute, 0};
}

// One program run: start-up reads the store and may show Help; closing stores the counter and
// may open the donation page.
class Reminders : public ::testing::Test {
  protected:
    struct Session {
        bool help_shown;
        bool page_opened;
        bool operator==(const Session&) const = default;
    };

    Reminders() { calendar.now = At(2024y / March / 15, 12); }

    Session Run() {
        const LocalDateTime last = ReadLastReminderDate(store, calendar);
        const bool help = StartupReminderDue(store, calendar, last);
        EXPECT_TRUE(StoreUsageCounter(store, ReadUsageCounter(store)));
        const std::size_t opened = shell.opened.size();
        const bool page = RunExitReminder(store, calendar, shell, last, "https://example.org/d");
        EXPECT_EQ(shell.opened.size() - opened, page ? 1u : 0u);
        return {help, page};
    }

    testing::MemorySettingsStore store;
    testing::TestCalendar calendar;
    testing::RecordingShell shell;
};

TEST_F(Reminders, AFreshInstallRemindsThenStaysQuietForThirtyDays) {
    EXPECT_EQ(Run(), (Session{true, true}));
    EXPECT_EQ(store.values["FirstRun"], "YES");
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-03-15T12:00:00");
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/d"});

    calendar.now = At(2024y / April / 14, 23, 59);  // day 30, a minute before midnight
    EXPECT_EQ(Run(), (Session{false, false}));
    calendar.now = At(2024y / April / 15, 0, 1);  // day 31, early in the day
    EXPECT_EQ(Run(), (Session{true, true}));
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-04-15T00:01:00");
    EXPECT_EQ(Run(), (Session{false, false}));
}

TEST_F(Reminders, FirstRunMustBeExactlyYesAndAnUnreadableDateMakesBothDue) {
    shell.accept = false;  // the date is recorded even when no browser opened the page
    const struct {
        const char* first_run;
        const char* date;
        Session due;
    } cases[] = {
        {"yes", "2024-03-10T08:00:00", {true, false}},  // FirstRun plays no part at exit
        {"YES ", "2024-03-10T08:00:00", {true, false}},
        {"", "2024-03-10T08:00:00", {true, false}},
        {"YES", "2030-01-01T00:00:00", {false, false}},  // a date in the future
        {"YES", "soon", {true, true}},
        {"YES", "2024-02-30T10:00:00", {true, true}},
        {"YES", "31.02.2024 10:00", {true, true}},
    };
    for (const auto& [first_run, date, due] : cases) {
        store.values["FirstRun"] = first_run;
        store.values["LastDonationDisplayDate"] = date;
        EXPECT_EQ(Run(), due) << '"' << first_run << "\", " << date;
        EXPECT_EQ(store.values["FirstRun"], "YES");
        EXPECT_EQ(store.values["LastDonationDisplayDate"],
                  due.page_opened ? "2024-03-15T12:00:00" : std::string(date));
    }
}

// Values damaged as a store file can damage them read as missing.
TEST(StoredValues, DatesAndCountersReadBackWhatIsWrittenAndNothingElse) {
    testing::TestCalendar calendar;
    EXPECT_EQ(ParseStoredDate(" 2024-03-01 07:08 ", calendar), At(2024y / March / 1, 7, 8));
    EXPECT_EQ(ParseStoredDate("2024-03-01", calendar), At(2024y / March / 1, 0));
    EXPECT_EQ(ParseStoredDate("01.03.2024 07:08", calendar), At(2024y / March / 1, 7, 8));
    for (const LocalDateTime& date : {kZeroDate, LocalDateTime{2099y / December / 31, 23, 59, 58}})
        EXPECT_EQ(ParseStoredDate(StoredDateText(date), calendar), date);
    std::vector<std::string> damaged = {"12abc", "inf", "nan",      "1e999",
                                        "1,5",   "+-3", "2026-06-", "20x4-03-01"};
    for (const char* date : {"2024-03-01T07:08:09Z", "2026-13-01T00:00:00", "2026-06-01T24:00:00"})
        damaged.emplace_back(date);
    damaged.emplace_back(1 << 20, '9');
    damaged.emplace_back("\xff\xfe\x32\0\x30\0", 6);
    damaged.emplace_back();
    for (int i = 0; i < 4096; ++i)
        damaged.back() += static_cast<char>((i * 131 + 7) & 0xff);
    testing::MemorySettingsStore store;
    for (const std::string& bad : damaged) {
        SCOPED_TRACE(::testing::PrintToString(bad.substr(0, 40)));
        EXPECT_EQ(ParseStoredDate(bad, calendar), std::nullopt);
        store.values["FilesProcessed"] = bad;
        EXPECT_EQ(ReadUsageCounter(store), 0.0);
    }
    for (const double counter : {250.0, 9007199254740993.0, 0.1 + 0.2}) {
        ASSERT_TRUE(StoreUsageCounter(store, counter));
        EXPECT_EQ(ReadUsageCounter(store), counter);
    }
    ASSERT_TRUE(StoreUsageCounter(store, 1234567));
    EXPECT_EQ(store.values["FilesProcessed"], "1234567");
}

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

// Half a cent rounds away from zero (half to even would give $0.00, $0.02 and $0.02); the
// separators follow the locale, the dollar sign stays. The figures close the donation section
// at the top, after the suggestion, before the banner.
TEST(HelpText, TheUsageFiguresAreFilledInRoundedHalfAwayFromZeroWithTheLocalesSeparators) {
    const TestNumberFormat dots(".", ","), thin("\u202f", ","), none("", ".");
    const struct {
        double files;
        const TestNumberFormat& format;
        const char* count;
        const char* donation;
    } figures[] = {
        {0, kEnglish, "0", "$0.00"},
        {500, kEnglish, "500", "$0.01"},
        {1500, kEnglish, "1,500", "$0.02"},
        {2500, kEnglish, "2,500", "$0.03"},
        {2.5, kEnglish, "3", "$0.00"},
        {999999.5, kEnglish, "1,000,000", "$10.00"},
        {99999500, kEnglish, "99,999,500", "$1,000.00"},
        {123456789012, kEnglish, "123,456,789,012", "$1,234,567.89"},
        {std::numeric_limits<double>::infinity(), kEnglish, "0", "$0.00"},
        {1234567, dots, "1.234.567", "$12,35"},
        {123456789012, dots, "123.456.789.012", "$1.234.567,89"},
        {1234567, thin, "1\u202f234\u202f567", "$12,35"},
        {1234567, none, "1234567", "$12.35"},
    };
    for (const auto& [files, format, count, donation] : figures) {
        const std::string text = ComposeHelpText(BuildHelpTexts(), files, format);
        const std::string shown =
            std::string("usage info (to date):\r\n\r\nTotal Files Processed: ") + count +
            " files.\r\nSuggested Donation: " + donation + ".\r\n";
        EXPECT_LT(text.find(shown), text.find("Tidemark HELP")) << shown;
    }
    // Then the banner, the introduction and the topics, a paragraph each.
    const std::string text = ComposeHelpText(BuildHelpTexts(), 0, kEnglish);
    const std::size_t intro = text.find("-\r\n\r\n" + HelpIntroText() + "\r\n\r\n");
    EXPECT_NE(intro, std::string::npos);
    EXPECT_NE(text.find("\r\n\r\nPreview Only Mode: the whole process runs", intro),
              std::string::npos);
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
