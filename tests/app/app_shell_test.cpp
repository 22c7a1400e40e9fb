// Start-up, the stored window geometry and the run log, without Qt.
#include <gtest/gtest.h>

#include "app/mod_main.h"
#include "app/run_log.h"
#include "app/window_geometry.h"
#include "platform/posix_file_system.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::MemorySettingsStore;

TEST(StartUp, ReadsTheStoreAndTheExcludeListAndWritesNothing) {
    InMemoryFileSystem fs;
    fs.AddFolder("/p");
    MemorySettingsStore store;
    testing::TestCalendar calendar;
    StartUpResult start = StartUp("/p", fs, store, calendar);
    EXPECT_EQ(start.state.usage_counter, 0.0);
    EXPECT_EQ(start.state.last_reminder_date, kZeroDate);
    EXPECT_EQ(start.state.exclude_list_path, "/p/ExcludeList.txt");
    EXPECT_TRUE(start.state.exclude_list.empty());
    EXPECT_FALSE(start.exclude_list_failure);
    EXPECT_TRUE(fs.Changes().empty());
    EXPECT_TRUE(store.values.empty());

    store.values = {{"FilesProcessed", "250"}, {"LastDonationDisplayDate", "2024-03-05T17:04:09"}};
    start = StartUp("/p", fs, store, calendar);
    EXPECT_EQ(start.state.usage_counter, 250.0);
    EXPECT_EQ(start.state.last_reminder_date.date, std::chrono::year{2024} / 3 / 5);
    EXPECT_EQ(start.state.last_reminder_date.hour, 17);

    // Cut at line breaks exactly: blank entries stay (they never match anything).
    testing::TemporaryFolder folder;
    testing::WriteFile(folder / "ExcludeList.txt", "temp\r\n.bak\r\n  \r\n");
    PosixFileSystem posix;
    EXPECT_EQ(StartUp(folder.path(), posix, store, calendar).state.exclude_list,
              (ExcludeList{"temp", ".bak", "  ", ""}));

    fs.AddFile("/p/ExcludeList.txt", "temp\r\n");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, "/p/ExcludeList.txt",
              testing::AccessDenied());
    start = StartUp("/p", fs, store, calendar);
    EXPECT_TRUE(start.state.exclude_list.empty());
    ASSERT_TRUE(start.exclude_list_failure);
    EXPECT_EQ(ExcludeListUnreadableText("/p/ExcludeList.txt", *start.exclude_list_failure),
              "The exclude list /p/ExcludeList.txt could not be read, so nothing will be "
              "excluded.  Permission denied");
}

TEST(WindowGeometry, EachValueIsTakenOnlyWhenItIsANumberAndWhatIsWrittenReadsBack) {
    const std::pair<const char*, std::optional<float>> values[] = {
        {"14700", 14700.0f}, {" 9000.5 ", 9000.5f}, {"-1.5e3", -1500.0f}, {"abc", {}},
        {"1e300", {}},       {"12px", {}},          {"nan", {}},          {"", {}},
        {"0x1A", {}},        {"12\r\n34", {}}};
    MemorySettingsStore store;
    for (const auto& [text, number] : values) {
        store.values["ScreenTop"] = text;
        EXPECT_EQ(ReadWindowGeometry(store).top, number) << '"' << text << '"';
    }
    store.values["ScreenTop"] = std::string(64, '\0');
    EXPECT_FALSE(ReadWindowGeometry(store).top);
    WriteWindowGeometry(store, 9800.0f, 7395.0f, 1234.5f, 0.1f);
    EXPECT_EQ(store.values.at("ScreenWidth"), "9800");
    const StoredGeometry geometry = ReadWindowGeometry(store);
    EXPECT_EQ(geometry.width, 9800.0f);
    EXPECT_EQ(geometry.height, 7395.0f);
    EXPECT_EQ(geometry.top, 1234.5f);
    EXPECT_EQ(geometry.left, 0.1f);
}

// The run log: a file per day, appended per run, old days removed, failures said once.
TEST(RunLog, EachRunIsAppendedToTheFileOfTheDayItStarted) {
    testing::MemoryLogFiles files;
    testing::TestCalendar calendar;
    RunLog log(files, calendar, "/p/logs");
    log.BeginRun("Nightly");
    log.AddLine("Synchronizing /a --> /b");
    log.AddLine("Done!");
    calendar.now.date = std::chrono::year{2026} / 6 / 2;  // past midnight: same file
    EXPECT_EQ(log.EndRun(), std::nullopt);
    log.BeginRun("");
    EXPECT_EQ(log.EndRun(), std::nullopt);  // a run without a line writes nothing
    calendar.now.date = std::chrono::year{2026} / 6 / 1;
    calendar.now.hour = 14;
    log.BeginRun("");
    log.AddLine("The Source and Destination cannot be the same!");
    EXPECT_EQ(log.EndRun(), std::nullopt);
    EXPECT_EQ(
        files.files,
        (std::map<std::string, std::string>{{"/p/logs/2026-06-01.log",
                                             "--- 2026-06-01 02:00:05 Nightly ---\n"
                                             "Synchronizing /a --> /b\nDone!\n"
                                             "--- 2026-06-01 14:00:05 ---\n"
                                             "The Source and Destination cannot be the same!\n"}}));

    // A long run is in the file while it goes on.
    std::string& day = files.files["/p/logs/2026-06-01.log"];
    const std::size_t before = day.size();
    log.BeginRun("Big");
    const std::string line(999, 'x');
    for (int i = 0; i < 100; ++i)
        log.AddLine(line);
    EXPECT_GT(day.size(), before + 64 * 1024);
    log.Flush();  // as when the window closes in the middle of a run
    EXPECT_EQ(day.size(),
              before + std::string("--- 2026-06-01 14:00:05 Big ---\n").size() + 100 * 1000);
}

TEST(RunLog, AFailedWriteIsReportedOnceAndTheRestOfTheRunIsNotTried) {
    testing::MemoryLogFiles files;
    files.failure = Failure{kAccessDenied, "Permission denied"};
    testing::TestCalendar calendar;
    RunLog log(files, calendar, "/p/logs");
    log.BeginRun("Nightly");
    const std::string line(70 * 1024, 'x');
    log.AddLine(line);
    log.AddLine(line);
    EXPECT_EQ(log.EndRun(),
              "The log /p/logs/2026-06-01.log could not be written.  Permission denied");
    EXPECT_EQ(files.appends, 1);

    files.failure.reset();
    log.BeginRun("Nightly");
    log.AddLine("Done!");
    EXPECT_EQ(log.EndRun(), std::nullopt);
    EXPECT_EQ(files.files.size(), 1u);
}

TEST(RunLog, DayFilesMoreThanThirtyDaysOldAreRemovedAndNothingElse) {
    testing::MemoryLogFiles files;
    testing::TestCalendar calendar;  // 1 June 2026
    const std::pair<const char*, bool> names[] = {
        {"2026-05-01.log", false},                            // 31 days
        {"2019-09-29.log", false}, {"2026-05-02.log", true},  // 30 days
        {"2026-06-01.log", true},  {"2026-07-01.log", true},  // the clock was set back
        {"2026-02-30.log", true},  {"2026-05-01.log.1", true}, {"2026-05-01.txt", true},
        {"2026-05-011.log", true}, {"2026-05-0:.log", true},   {"notes.txt", true},
    };
    for (const auto& [name, kept] : names)
        files.files["/p/logs/" + std::string(name)] = "x";
    files.files["/p/other/2020-01-01.log"] = "x";
    RunLog(files, calendar, "/p/logs").RemoveOldFiles();
    for (const auto& [name, kept] : names)
        EXPECT_EQ(files.files.contains("/p/logs/" + std::string(name)), kept) << name;
    EXPECT_TRUE(files.files.contains("/p/other/2020-01-01.log"));
}

}  // namespace
}  // namespace tidemark
