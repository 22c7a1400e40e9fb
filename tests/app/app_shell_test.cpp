// Start-up, the program folder and the stored window geometry, without Qt.
#include <gtest/gtest.h>

#include "app/help_texts.h"
#include "app/mod_main.h"
#include "app/program_folder.h"
#include "app/window_geometry.h"
#include "platform/posix_file_system.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::MemorySettingsStore;

TEST(StartUp, AnEmptyStoreGivesTheDefaultsWithoutWritingAndStoredValuesAreRead) {
    InMemoryFileSystem fs;
    fs.AddFolder("/opt/tidemark");
    MemorySettingsStore store;
    testing::TestCalendar calendar;

    const StartUpResult start = StartUp("/opt/tidemark", fs, store, calendar);
    EXPECT_EQ(start.state.usage_counter, 0.0);
    EXPECT_EQ(start.state.last_reminder_date, kZeroDate);
    EXPECT_EQ(start.state.exclude_list_path, "/opt/tidemark/ExcludeList.txt");
    EXPECT_TRUE(start.state.exclude_list.empty());
    EXPECT_FALSE(start.exclude_list_failure);
    // Reading changes nothing: no exclude list file, no key.
    EXPECT_TRUE(fs.Changes().empty());
    EXPECT_TRUE(store.values.empty());

    store.values = {{"FilesProcessed", "250"}, {"LastDonationDisplayDate", "2024-03-05T17:04:09"}};
    const ApplicationState state = StartUp("/opt/tidemark", fs, store, calendar).state;
    EXPECT_EQ(state.usage_counter, 250.0);
    EXPECT_EQ(state.last_reminder_date.date, std::chrono::year{2024} / 3 / 5);
    EXPECT_EQ(state.last_reminder_date.hour, 17);
}

TEST(StartUp, TheExcludeListIsCutAtLineBreaksOnARealFolderOrStartsEmptyWhenUnreadable) {
    testing::TemporaryFolder folder;
    testing::WriteFile(folder / "ExcludeList.txt", "temp\r\n.bak\r\n  \r\n");
    PosixFileSystem posix;
    MemorySettingsStore store;
    testing::TestCalendar calendar;
    // Kept exactly as cut: the blank entry and the empty one after the last line break stay
    // (they never match anything).
    EXPECT_EQ(StartUp(folder.path(), posix, store, calendar).state.exclude_list,
              (ExcludeList{"temp", ".bak", "  ", ""}));

    InMemoryFileSystem fs;
    fs.AddFile("/p/ExcludeList.txt", "temp\r\n");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, "/p/ExcludeList.txt",
              testing::AccessDenied());
    const StartUpResult start = StartUp("/p", fs, store, calendar);
    EXPECT_TRUE(start.state.exclude_list.empty());
    ASSERT_TRUE(start.exclude_list_failure);
    EXPECT_TRUE(start.exclude_list_failure->IsAccessDenied());
    EXPECT_NE(ExcludeListUnreadableText("/p/ExcludeList.txt", *start.exclude_list_failure)
                  .find("/p/ExcludeList.txt"),
              std::string::npos);
}

TEST(ProgramFolder, TheExecutableFolderOnlyWhenWritable) {
    EXPECT_EQ(ChooseProgramFolder("/opt/tidemark", true, "/home/u/.local/share/Tidemark"),
              "/opt/tidemark");
    EXPECT_EQ(ChooseProgramFolder("/usr/bin", false, "/home/u/.local/share/Tidemark"),
              "/home/u/.local/share/Tidemark");
}

TEST(WindowGeometry, EachValueIsTakenOnlyWhenItIsANumberAndWhatIsWrittenReadsBack) {
    const std::pair<const char*, std::optional<float>> values[] = {
        {"14700", 14700.0f}, {" 9000.5 ", 9000.5f}, {"-1.5e3", -1500.0f}, {"abc", {}},
        {"1e300", {}},       {"12px", {}},          {"nan", {}},          {"", {}},
    };
    MemorySettingsStore store;
    for (const auto& [text, number] : values) {
        store.values["ScreenTop"] = text;
        EXPECT_EQ(ReadWindowGeometry(store).top, number) << '"' << text << '"';
    }

    WriteWindowGeometry(store, 9800.0f, 7395.0f, 1234.5f, 0.1f);
    EXPECT_EQ(store.values.at("ScreenWidth"), "9800");
    const StoredGeometry geometry = ReadWindowGeometry(store);
    EXPECT_EQ(geometry.width, 9800.0f);
    EXPECT_EQ(geometry.height, 7395.0f);
    EXPECT_EQ(geometry.top, 1234.5f);
    EXPECT_EQ(geometry.left, 0.1f);
}

// Settings store values damaged in every way a store file can be: start-up, the window
// geometry, the reminders and the help text fall back to their defaults and nothing crashes.
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
