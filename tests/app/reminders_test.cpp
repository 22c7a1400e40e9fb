#include "app/reminders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/run_controller.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using namespace std::chrono;

class MemorySettingsStore final : public SettingsStore {
  public:
    std::map<std::string, std::string> values;
    bool fail_writes = false;

    std::string Read(const std::string& key, const std::string& fallback) override {
        const auto found = values.find(key);
        return found == values.end() ? fallback : found->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
        if (fail_writes) {
            return false;
        }
        values[key] = value;
        return true;
    }
    bool Has(const std::string& key) const { return values.contains(key); }
};

// A calendar whose "now" the test sets, and whose locale writes "DD.MM.YYYY HH:MM".
class FakeCalendar final : public LocalCalendar {
  public:
    LocalDateTime now = At(2024y / March / 15, 12, 0);

    LocalDateTime Now() override { return now; }
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string& text) override {
        unsigned day = 0, month = 0;
        int year = 0, hour = 0, minute = 0;
        char end = 0;
        if (std::sscanf(text.c_str(), "%2u.%2u.%4d %2d:%2d%c", &day, &month, &year, &hour, &minute,
                        &end) != 5) {
            return std::nullopt;
        }
        return At(std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}, hour,
                  minute);
    }

    static LocalDateTime At(year_month_day date, int hour, int minute) {
        LocalDateTime at;
        at.date = date;
        at.hour = hour;
        at.minute = minute;
        return at;
    }
    void AdvanceDays(int days) { now.date = sys_days{now.date} + std::chrono::days{days}; }
};

class RecordingShell final : public ShellPort {
  public:
    std::vector<std::string> opened;
    bool accept = true;
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return accept;
    }
};

TEST(CalendarDaysTest, CountsMidnightsNotHours) {
    using C = FakeCalendar;
    EXPECT_EQ(CalendarDaysBetween(C::At(2024y / May / 1, 23, 59), C::At(2024y / May / 2, 0, 1)), 1);
    EXPECT_EQ(CalendarDaysBetween(C::At(2024y / May / 1, 0, 0), C::At(2024y / May / 1, 23, 59)), 0);
    EXPECT_EQ(
        CalendarDaysBetween(C::At(2024y / February / 28, 9, 0), C::At(2024y / March / 1, 8, 0)),
        2);  // leap year
    EXPECT_EQ(
        CalendarDaysBetween(C::At(2023y / December / 31, 12, 0), C::At(2024y / January / 1, 12, 0)),
        1);
    EXPECT_EQ(CalendarDaysBetween(C::At(2024y / May / 2, 0, 1), C::At(2024y / May / 1, 23, 59)),
              -1);
    EXPECT_EQ(CalendarDaysBetween(kZeroDate, C::At(1900y / January / 1, 0, 0)), 2);
}

// One program run as the user lives it: start-up reads the stored values and may show Help,
// closing stores the counter and may open the donation page.
struct Session {
    bool help_shown = false;
    bool page_opened = false;
};

class ReminderPatternTest : public ::testing::Test {
  protected:
    Session Run() {
        Session session;
        const LocalDateTime last = ReadLastReminderDate(store, calendar);
        session.help_shown = StartupReminderDue(store, calendar, last);
        const std::size_t opened_before = shell.opened.size();
        EXPECT_TRUE(StoreUsageCounter(store, ReadUsageCounter(store)));
        RunExitReminder(store, calendar, shell, last, "https://example.org/donate");
        session.page_opened = shell.opened.size() > opened_before;
        return session;
    }

    MemorySettingsStore store;
    FakeCalendar calendar;
    RecordingShell shell;
};

TEST_F(ReminderPatternTest, FreshInstallThenQuietForThirtyDaysThenAgain) {
    const Session first = Run();
    EXPECT_TRUE(first.help_shown);
    EXPECT_TRUE(first.page_opened);
    EXPECT_EQ(store.values["FirstRun"], "YES");
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-03-15T12:00:00");
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/donate"});

    const Session same_day = Run();
    EXPECT_FALSE(same_day.help_shown);
    EXPECT_FALSE(same_day.page_opened);

    calendar.AdvanceDays(30);
    calendar.now.hour = 23;  // the time of day plays no part
    const Session day_30 = Run();
    EXPECT_FALSE(day_30.help_shown);
    EXPECT_FALSE(day_30.page_opened);

    calendar.AdvanceDays(1);
    calendar.now.hour = 0;
    const Session day_31 = Run();
    EXPECT_TRUE(day_31.help_shown);
    EXPECT_TRUE(day_31.page_opened);
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-04-15T00:00:00");

    const Session after = Run();
    EXPECT_FALSE(after.help_shown);
    EXPECT_FALSE(after.page_opened);
    EXPECT_EQ(shell.opened.size(), 2u);
}

TEST_F(ReminderPatternTest, FirstRunMustBeExactlyCapitalYes) {
    store.values["LastDonationDisplayDate"] = "2024-03-10T08:00:00";
    for (const char* pending : {"yes", "Yes", "YES ", ""}) {
        store.values["FirstRun"] = pending;
        const Session session = Run();
        EXPECT_TRUE(session.help_shown) << '"' << pending << '"';
        EXPECT_FALSE(session.page_opened) << "FirstRun plays no part at exit";
        EXPECT_EQ(store.values["FirstRun"], "YES");
    }
}

TEST_F(ReminderPatternTest, DateInTheFutureFiresNeither) {
    store.values["FirstRun"] = "YES";
    store.values["LastDonationDisplayDate"] = "2030-01-01T00:00:00";
    const Session session = Run();
    EXPECT_FALSE(session.help_shown);
    EXPECT_FALSE(session.page_opened);
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2030-01-01T00:00:00");
}

TEST_F(ReminderPatternTest, UnreadableDateMakesBothDue) {
    for (const char* unreadable :
         {"soon", "2024-02-30T10:00:00", "2024-03-10T25:00:00", "2024-3-10", "31.02.2024 10:00"}) {
        store.values["FirstRun"] = "YES";
        store.values["LastDonationDisplayDate"] = unreadable;
        EXPECT_EQ(ReadLastReminderDate(store, calendar), kZeroDate) << unreadable;
        const Session session = Run();
        EXPECT_TRUE(session.help_shown) << unreadable;
        EXPECT_TRUE(session.page_opened) << unreadable;
        EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-03-15T12:00:00");
    }
}

TEST_F(ReminderPatternTest, PageNotOpenedStillRecordsTheDate) {
    shell.accept = false;
    store.values["FirstRun"] = "YES";
    EXPECT_TRUE(Run().page_opened);
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-03-15T12:00:00");
}

TEST(StoredDateTest, ReadsIsoFormsAndTheLocaleForm) {
    FakeCalendar calendar;
    const auto read = [&](const char* text) { return ParseStoredDate(text, calendar); };
    LocalDateTime expected = FakeCalendar::At(2024y / March / 1, 7, 8);
    expected.second = 9;
    EXPECT_EQ(read("2024-03-01T07:08:09"), expected);
    EXPECT_EQ(read(" 2024-03-01 07:08:09 "), expected);
    expected.second = 0;
    EXPECT_EQ(read("2024-03-01T07:08"), expected);
    EXPECT_EQ(read("2024-03-01"), FakeCalendar::At(2024y / March / 1, 0, 0));
    EXPECT_EQ(read("01.03.2024 07:08"), expected);
    EXPECT_EQ(read(""), std::nullopt);
    EXPECT_EQ(read("2024-03-01T07:08:09Z"), std::nullopt);
    // What the program writes reads back, the zero date included.
    for (const LocalDateTime& date : {kZeroDate, FakeCalendar::At(2099y / December / 31, 23, 59)}) {
        EXPECT_EQ(read(StoredDateText(date).c_str()), date);
    }
}

TEST(UsageCounterTest, StoredTextReadsBackAndBadTextCountsAsZero) {
    MemorySettingsStore store;
    EXPECT_EQ(ReadUsageCounter(store), 0.0);

    for (const char* text : {"abc", "", "12abc", "inf", "nan", "1e400", "1,5", "+-3"}) {
        store.values["FilesProcessed"] = text;
        EXPECT_EQ(ReadUsageCounter(store), 0.0) << text;
    }
    store.values["FilesProcessed"] = " 250 ";
    EXPECT_EQ(ReadUsageCounter(store), 250.0);
    store.values["FilesProcessed"] = "1.5E3";
    EXPECT_EQ(ReadUsageCounter(store), 1500.0);

    for (const double counter : {0.0, 250.0, 1234567.0, 9007199254740993.0, 0.1 + 0.2}) {
        ASSERT_TRUE(StoreUsageCounter(store, counter));
        EXPECT_EQ(ReadUsageCounter(store), counter);
    }
    ASSERT_TRUE(StoreUsageCounter(store, 1234567));
    EXPECT_EQ(store.values["FilesProcessed"], "1234567");

    store.fail_writes = true;
    EXPECT_FALSE(StoreUsageCounter(store, 5));
}

// The counter grows by what the run controller answers for one press of Synchronize Now!.
class UsageGrowthTest : public ::testing::Test {
  protected:
    UsageGrowthTest() {
        settings.source_path = "C:\\Data";
        settings.destination_path = "E:\\Copy";
        fs.AddFolder("C:\\Data");
        fs.AddFolder("E:\\Copy");
        for (int i = 0; i < 10; ++i) {
            fs.AddFile("C:\\Data\\f" + std::to_string(i) + ".txt", "x");
        }
        for (int i = 0; i < 4; ++i) {
            fs.AddFile("E:\\Copy\\g" + std::to_string(i) + ".txt", "y");
        }
    }

    double Press(double counter) {
        return UsageCounterAfterRun(counter, controller.SynchronizeNow(settings));
    }

    std::vector<std::string> ProcessedSummaries() const {
        std::vector<std::string> found;
        for (const std::string& text : view.Texts()) {
            if (text.starts_with(" --> Total files processed")) {
                found.push_back(text);
            }
        }
        return found;
    }

    testing::InMemoryFileSystem fs{PathSyntax::Windows()};
    testing::RecordingRunView view;
    testing::FakeClock clock;
    testing::FakeTextFormat format;
    ExcludeList exclude_list;
    RunController controller{fs, view, clock, format, exclude_list};
    SyncSettings settings;
};

TEST_F(UsageGrowthTest, AutoReverseAddsTheReversePassOnly) {
    settings.reverse_sync = 1;
    EXPECT_EQ(Press(100), 114);  // the reverse pass saw 10 copied + 4 own files
    EXPECT_EQ(ProcessedSummaries(),
              (std::vector<std::string>{" --> Total files processed during synchronization: 10",
                                        " --> Total files processed during synchronization: 14"}));
}

TEST_F(UsageGrowthTest, StoppedRunAddsWhatWasDone) {
    int copied = 0;
    view.on_line = [&](const ResultLine& line) {
        if (line.text.starts_with("Creating file ") && ++copied == 7) {
            controller.StopClicked();
        }
    };
    EXPECT_EQ(Press(0), 7);
}

TEST_F(UsageGrowthTest, DeclinedOrRefusedRunAddsNothing) {
    view.answers.push_back(MessageAnswer::kNo);  // "Continue?" answered No
    EXPECT_EQ(Press(5), 5);
    settings.destination_path = "c:\\data";
    EXPECT_EQ(Press(5), 5);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "The Source and Destination cannot be the same!");
}

}  // namespace
}  // namespace tidemark
