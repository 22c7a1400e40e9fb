// Start-up, the stored window geometry, the run log, the command line, and a saved
// configuration run without the window, in memory; without Qt.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/command_line.h"
#include "app/mod_main.h"
#include "app/run_log.h"
#include "app/saved_run.h"
#include "app/window_geometry.h"
#include "platform/posix_file_system.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::MemorySettingsStore;

// The stored values it reads: see the Qt settings store.
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
    MemorySettingsStore store;
    for (const auto& [text, number] : std::vector<std::pair<std::string, float>>{
             {"14700", 14700.0f}, {" 9000.5 ", 9000.5f}, {"-1.5e3", -1500.0f}}) {
        store.values["ScreenTop"] = text;
        EXPECT_EQ(ReadWindowGeometry(store).top, number) << text;
    }
    for (const std::string text : {"abc", "1e300", "12px", "nan", "", "0x1A", "12\r\n34"}) {
        store.values["ScreenTop"] = text;
        EXPECT_EQ(ReadWindowGeometry(store).top, std::nullopt) << text;
    }
    store.values["ScreenTop"] = std::string(64, '\0');
    EXPECT_EQ(ReadWindowGeometry(store).top, std::nullopt);
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

using Kind = CommandLine::Kind;

TEST(CommandLine, EachArgumentListMeansOneThing) {
    struct Case {
        std::vector<std::string> arguments;
        Kind kind;
        std::string configuration;
        bool preview;
    };
    const Case cases[] = {
        {{}, Kind::kWindow, "", false},
        {{"--run", "Nightly"}, Kind::kRun, "Nightly", false},
        {{"--run=My Work", "--preview"}, Kind::kRun, "My Work", true},
        {{"--preview", "--run", "--help"}, Kind::kRun, "--help", true},  // a name, not an option
        {{"--help"}, Kind::kHelp, "", false},
        {{"--run", "x", "-h"}, Kind::kHelp, "", false},
        {{"--version"}, Kind::kVersion, "", false},
        {{"--run"}, Kind::kUsageError, "", false},
        {{"--preview"}, Kind::kUsageError, "", true},
        {{"--run", "a", "--run", "b"}, Kind::kUsageError, "a", false},
        {{"--bogus"}, Kind::kUsageError, "", false},
        {{"-style", "fusion"}, Kind::kUsageError, "", false},  // the toolkit's, for the window
        {{"-run", "Nightly"}, Kind::kUsageError, "", false},
        {{"Nightly"}, Kind::kUsageError, "", false},
    };
    for (const Case& c : cases) {
        const CommandLine command = ParseCommandLine(c.arguments);
        const std::string shown = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(command.kind, c.kind) << shown;
        EXPECT_EQ(command.kind == Kind::kUsageError, !command.error.empty()) << shown;
        EXPECT_EQ(command.toolkit_option, c.arguments.size() == 2 && c.arguments[0] == "-style")
            << shown;
        if (c.kind == Kind::kRun) {
            EXPECT_EQ(command.configuration, c.configuration) << shown;
            EXPECT_EQ(command.force_preview, c.preview) << shown;
        }
    }
}

constexpr const char* kConfiguration = "/p/configurations/Nightly.txt";

std::string ConfigText(const std::string& source, const std::string& destination) {
    return "0\r\n" + source + "\r\n" + destination + "\r\n1\r\n1\r\n1\r\n0\r\n0\r\n0\r\n";
}

// A source tree, the configuration "Nightly" from /src to a missing /dst, and what a run
// without the window works with.
struct SavedRunWorld {
    SavedRunWorld() {
        fs.AddFile("/src/a.txt", "a");
        fs.AddFile("/src/sub/b.txt", "b");
        fs.AddFile(kConfiguration, ConfigText("/src", "/dst"));
        state.usage_counter = 10;
        state.exclude_list_path = "/p/ExcludeList.txt";
    }

    RunExitStatus RunSaved() {
        SavedRunPorts ports{fs, fs, store, clock, format, state, log, lines, messages, "/p"};
        return RunSavedConfiguration(ports, "Nightly", false, exclude_list_failure);
    }

    InMemoryFileSystem fs;
    testing::MemorySettingsStore store;
    testing::FakeClock clock;
    testing::FakeTextFormat format;
    ApplicationState state;
    testing::MemoryLogFiles log_files;
    testing::TestCalendar calendar;
    RunLog log{log_files, calendar, "/p/logs"};
    std::ostringstream lines;
    std::ostringstream messages;
    std::optional<Failure> exclude_list_failure;
};

// The whole of a clean run, counted and logged, in the real program: see the headless run.
TEST(SavedRun, EachOutcomeGivesItsExitStatusAndReason) {
    using Op = InMemoryFileSystem::Operation;
    struct Case {
        std::function<void(SavedRunWorld&)> arrange;
        RunExitStatus status;
        std::string message;  // a line of standard error
    };
    auto config = [](const std::string& text) {
        return [text](SavedRunWorld& t) { t.fs.AddFile(kConfiguration, text); };
    };
    auto fail = [](Op op, const char* path) {
        return [op, path](SavedRunWorld& t) { t.fs.FailOn(op, path, testing::AccessDenied()); };
    };
    const std::string unusable = "The configuration \"Nightly\" in " + std::string(kConfiguration);
    const Case cases[] = {
        {[](SavedRunWorld&) {}, RunExitStatus::kFinished,
         "/src --> /dst Are you sure you want to synchronize 2 files now? [Yes]"},
        {fail(Op::kCopyFile, "/src/a.txt"), RunExitStatus::kFinishedWithFailures, ""},
        {fail(Op::kListFolder, "/src/sub"), RunExitStatus::kFinishedWithFailures, ""},
        {[](SavedRunWorld& t) { t.log_files.failure = testing::AccessDenied(); },
         RunExitStatus::kFinished,
         "The log /p/logs/2026-06-01.log could not be written.  Permission denied"},
        {config(ConfigText("/none", "/dst")), RunExitStatus::kCouldNotRun,
         "/none is not a valid location!"},
        {config(ConfigText("/src", "/src")), RunExitStatus::kCouldNotRun,
         "The Source and Destination cannot be the same!"},
        // A configuration that cannot be used changes nothing: no line, no log, no counter.
        {[](SavedRunWorld& t) { t.fs.Remove(kConfiguration); }, RunExitStatus::kCouldNotRun,
         "There is no configuration named \"Nightly\" (no file /p/configurations/Nightly.txt)."},
        {config("0\r\n/src\r\n/dst\r\n"), RunExitStatus::kCouldNotRun,
         unusable + " does not hold the nine settings of a configuration."},
        {fail(Op::kReadTextFile, kConfiguration), RunExitStatus::kCouldNotRun,
         "The file /p/configurations/Nightly.txt could not be read: Permission denied"},
        {[](SavedRunWorld& t) { t.exclude_list_failure = testing::AccessDenied(); },
         RunExitStatus::kCouldNotRun,
         "The exclude list /p/ExcludeList.txt could not be read, and the configuration uses "
         "it.  Permission denied"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SavedRunWorld t;
        c.arrange(t);
        EXPECT_EQ(t.RunSaved(), c.status) << i;
        EXPECT_NE(t.messages.str().find(c.message + "\n"), std::string::npos)
            << i << ": " << t.messages.str();
        const bool ran = i < 6;
        EXPECT_EQ(t.store.values.contains("FilesProcessed"), ran) << i;
        EXPECT_TRUE(ran || (t.log_files.files.empty() && t.lines.str().empty())) << i;
        for (const auto& [path, text] : t.log_files.files)
            EXPECT_EQ(text, "--- 2026-06-01 02:00:05 Nightly ---\n" + t.lines.str()) << path;
    }
}

}  // namespace
}  // namespace tidemark
