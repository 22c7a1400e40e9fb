// The run log: a file per day, appended per run, old days removed, failures said once.
#include "app/run_log.h"

#include <gtest/gtest.h>

#include "tests/app/app_doubles.h"

namespace tidemark {
namespace {

using testing::MemoryLogFiles;
using testing::TestCalendar;

TEST(RunLog, EachRunIsAppendedToTheFileOfTheDayItStarted) {
    MemoryLogFiles files;
    TestCalendar calendar;
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
    MemoryLogFiles files;
    files.failure = Failure{kAccessDenied, "Permission denied"};
    TestCalendar calendar;
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
    MemoryLogFiles files;
    TestCalendar calendar;  // 1 June 2026
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
