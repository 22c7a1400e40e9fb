#include "app/reminders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/run_controller.h"
#include "tests/app/memory_settings_store.h"
#include "tests/app/test_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using namespace std::chrono;
using testing::MemorySettingsStore;
using testing::RecordingShell;

LocalDateTime At(year_month_day date, int hour, int minute = 0) {
    return LocalDateTime{date, hour, minute, 0};
}

// A calendar whose "now" the test sets, and whose locale writes "DD.MM.YYYY HH:MM".
class FakeCalendar final : public LocalCalendar {
  public:
    LocalDateTime now = At(2024y / March / 15, 12);

    LocalDateTime Now() override { return now; }
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string& text) override {
        unsigned day = 0, month = 0;
        int year = 0, hour = 0, minute = 0;
        char extra = 0;
        if (std::sscanf(text.c_str(), "%2u.%2u.%4d %2d:%2d%c", &day, &month, &year, &hour, &minute,
                        &extra) != 5) {
            return std::nullopt;
        }
        return At(std::chrono::year{year} / month / day, hour, minute);
    }
};

// One program run: start-up reads the store and may show Help; closing stores the counter and
// may open the donation page.
class ReminderPatternTest : public ::testing::Test {
  protected:
    struct Session {
        bool help_shown;
        bool page_opened;
    };

    Session Run() {
        const LocalDateTime last = ReadLastReminderDate(store, calendar);
        const bool help = StartupReminderDue(store, calendar, last);
        EXPECT_TRUE(StoreUsageCounter(store, ReadUsageCounter(store)));
        const std::size_t opened = shell.opened.size();
        const bool page = RunExitReminder(store, calendar, shell, last, "https://example.org/d");
        EXPECT_EQ(shell.opened.size() - opened, page ? 1u : 0u);
        return {help, page};
    }

    MemorySettingsStore store;
    FakeCalendar calendar;
    RecordingShell shell;
};

TEST_F(ReminderPatternTest, FreshInstallThenQuietForThirtyDaysThenAgain) {
    const Session first = Run();
    EXPECT_TRUE(first.help_shown && first.page_opened);
    EXPECT_EQ(store.values["FirstRun"], "YES");
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-03-15T12:00:00");
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/d"});

    calendar.now = At(2024y / April / 14, 23, 59);  // day 30, a minute before midnight
    const Session day_30 = Run();
    EXPECT_FALSE(day_30.help_shown || day_30.page_opened);

    calendar.now = At(2024y / April / 15, 0, 1);  // day 31, early in the day
    const Session day_31 = Run();
    EXPECT_TRUE(day_31.help_shown && day_31.page_opened);
    EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-04-15T00:01:00");

    const Session after = Run();
    EXPECT_FALSE(after.help_shown || after.page_opened);
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
    EXPECT_FALSE(session.help_shown || session.page_opened);
}

TEST_F(ReminderPatternTest, UnreadableDateMakesBothDue) {
    shell.accept = false;  // and the date is recorded even when no browser opened the page
    for (const char* unreadable :
         {"soon", "2024-02-30T10:00:00", "2024-03-10T25:00", "31.02.2024 10:00"}) {
        store.values["FirstRun"] = "YES";
        store.values["LastDonationDisplayDate"] = unreadable;
        const Session session = Run();
        EXPECT_TRUE(session.help_shown && session.page_opened) << unreadable;
        EXPECT_EQ(store.values["LastDonationDisplayDate"], "2024-03-15T12:00:00");
    }
}

TEST(StoredValuesTest, DatesAndCountersReadBackWhatIsWritten) {
    FakeCalendar calendar;
    EXPECT_EQ(ParseStoredDate(" 2024-03-01 07:08 ", calendar), At(2024y / March / 1, 7, 8));
    EXPECT_EQ(ParseStoredDate("2024-03-01", calendar), At(2024y / March / 1, 0));
    EXPECT_EQ(ParseStoredDate("01.03.2024 07:08", calendar), At(2024y / March / 1, 7, 8));
    EXPECT_EQ(ParseStoredDate("2024-03-01T07:08:09Z", calendar), std::nullopt);
    for (const LocalDateTime& date :
         {kZeroDate, LocalDateTime{2099y / December / 31, 23, 59, 58}}) {
        EXPECT_EQ(ParseStoredDate(StoredDateText(date), calendar), date);
    }

    MemorySettingsStore store;
    EXPECT_EQ(ReadUsageCounter(store), 0.0);
    for (const char* bad : {"abc", "12abc", "inf", "nan", "1e400", "1,5", "+-3"}) {
        store.values["FilesProcessed"] = bad;
        EXPECT_EQ(ReadUsageCounter(store), 0.0) << bad;
    }
    for (const double counter : {250.0, 9007199254740993.0, 0.1 + 0.2}) {
        ASSERT_TRUE(StoreUsageCounter(store, counter));
        EXPECT_EQ(ReadUsageCounter(store), counter);
    }
    ASSERT_TRUE(StoreUsageCounter(store, 1234567));
    EXPECT_EQ(store.values["FilesProcessed"], "1234567");
}

// The counter grows by what the run controller answers for one press of Synchronize Now!.
TEST(UsageGrowthTest, AutoReverseAddsTheReversePassOnly) {
    testing::InMemoryFileSystem fs{PathSyntax::Windows()};
    for (int i = 0; i < 10; ++i)
        fs.AddFile("C:\\Data\\f" + std::to_string(i) + ".txt", "x");
    for (int i = 0; i < 4; ++i)
        fs.AddFile("E:\\Copy\\g" + std::to_string(i) + ".txt", "y");
    testing::RecordingRunView view;
    testing::FakeClock clock;
    testing::FakeTextFormat format;
    const ExcludeList exclude_list;
    RunController controller{fs, view, clock, format, exclude_list};
    SyncSettings settings;
    settings.source_path = "C:\\Data";
    settings.destination_path = "E:\\Copy";
    settings.reverse_sync = 1;
    // 10 files forward; the reverse pass then sees the 10 copies and its own 4 files.
    EXPECT_EQ(UsageCounterAfterRun(100, controller.SynchronizeNow(settings)), 114);
}

}  // namespace
}  // namespace tidemark
