// Settings store values damaged in every way a store file can be: start-up, the window
// geometry, the reminders and the help text fall back to their defaults and nothing crashes.
#include <gtest/gtest.h>

#include "app/help_texts.h"
#include "app/mod_main.h"
#include "app/window_geometry.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"

namespace tidemark {
namespace {

TEST(CorruptSettings, EveryKeyFallsBackToItsDefault) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131 + 7) & 0xff);
    const std::string damaged[] = {
        binary,
        std::string(64, '\0'),
        std::string(1 << 20, '9'),  // a number far beyond any double
        "1e999",
        "nan",
        "-inf",
        "12\r\n34",
        "0x1A",
        "2026-02-30T10:00:00",
        "2026-13-01T00:00:00",
        "2026-06-01T24:00:00",
        "2026-06-",
        std::string("\xff\xfe"
                    "2\0"
                    "0\0",
                    6),
        "",
    };
    for (const std::string& value : damaged) {
        SCOPED_TRACE(::testing::PrintToString(value.substr(0, 40)));
        testing::MemorySettingsStore store;
        for (const char* key :
             {settings_keys::kConfiguration, settings_keys::kFirstRun, settings_keys::kScreenWidth,
              settings_keys::kScreenHeight, settings_keys::kScreenTop, settings_keys::kScreenLeft,
              settings_keys::kFilesProcessed, settings_keys::kLastDonationDisplayDate}) {
            store.values[key] = value;
        }
        testing::InMemoryFileSystem fs;
        fs.AddFolder("/p");
        testing::TestCalendar calendar;

        const ApplicationState state = StartUp("/p", fs, store, calendar).state;
        EXPECT_EQ(state.usage_counter, 0.0);
        EXPECT_EQ(state.last_reminder_date, kZeroDate);
        const StoredGeometry geometry = ReadWindowGeometry(store);
        EXPECT_FALSE(geometry.width || geometry.height || geometry.top || geometry.left);
        EXPECT_TRUE(StartupReminderDue(store, calendar, state.last_reminder_date));
        EXPECT_EQ(store.values[settings_keys::kFirstRun], "YES");
        EXPECT_NE(
            ComposeHelpText(state.help_texts, state.usage_counter, testing::TestNumberFormat())
                .find("Total Files Processed: 0 files."),
            std::string::npos);

        // What the program writes back reads back.
        ASSERT_TRUE(StoreUsageCounter(store, UsageCounterAfterRun(state.usage_counter, 12)));
        EXPECT_EQ(ReadUsageCounter(store), 12.0);
    }
}

}  // namespace
}  // namespace tidemark
