// Start-up, the stored window geometry and values, the reminders, the help text, the system
// information viewer, the run log, the command line, and a saved configuration run without the
// window, in memory; without Qt.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <sstream>

#include "app/command_line.h"
#include "app/help_texts.h"
#include "app/mod_main.h"
#include "app/reminders.h"
#include "app/run_log.h"
#include "app/saved_run.h"
#include "app/sys_info.h"
#include "app/window_geometry.h"
#include "platform/posix_file_system.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using namespace std::chrono;
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
    for (const std::string& text : std::vector<std::string>{
             "abc", "1e300", "12px", "nan", "", "0x1A", "12\r\n34", std::string(64, '\0')}) {
        store.values["ScreenTop"] = text;
        EXPECT_EQ(ReadWindowGeometry(store).top, std::nullopt) << text;
    }
    WriteWindowGeometry(store, 9800.0f, 7395.0f, 1234.5f, 0.1f);
    EXPECT_EQ(store.values.at("ScreenWidth"), "9800");
    const StoredGeometry geometry = ReadWindowGeometry(store);
    EXPECT_EQ((std::vector{geometry.width, geometry.height, geometry.top, geometry.left}),
              (std::vector<std::optional<float>>{9800.0f, 7395.0f, 1234.5f, 0.1f}));
}

// The run log: a file per day, appended per run, old days removed, failures said once.
TEST(RunLog, EachRunIsAppendedToTheFileOfTheDayItStartedAndAFailureIsReportedOnce) {
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
    EXPECT_EQ(log.EndRun(), std::nullopt);

    // A failed write is reported once and the rest of that run is not tried; the next run
    // writes again.
    files.failure = Failure{kAccessDenied, "Permission denied"};
    const int appends = files.appends;
    log.BeginRun("Nightly");
    log.AddLine(std::string(70 * 1024, 'x'));
    log.AddLine(std::string(70 * 1024, 'x'));
    EXPECT_EQ(log.EndRun(),
              "The log /p/logs/2026-06-01.log could not be written.  Permission denied");
    EXPECT_EQ(files.appends, appends + 1);
    files.failure.reset();
    log.BeginRun("Nightly");
    log.AddLine("Done!");
    EXPECT_EQ(log.EndRun(), std::nullopt);
    EXPECT_TRUE(day.ends_with(" Nightly ---\nDone!\n"));
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
        {2500, kEnglish, "2,500", "$0.03"},
        {2.5, kEnglish, "3", "$0.00"},
        {999999.5, kEnglish, "1,000,000", "$10.00"},
        {99999500, kEnglish, "99,999,500", "$1,000.00"},
        {123456789012, kEnglish, "123,456,789,012", "$1,234,567.89"},
        {std::numeric_limits<double>::infinity(), kEnglish, "0", "$0.00"},
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

    launcher.start_fails = true;
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    launcher.installed.clear();
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started.size(), 2u);  // the lesser viewer was not tried
    ASSERT_EQ(messages.messages.size(), 2u);
    for (const testing::ShownMessage& shown : messages.messages) {
        EXPECT_EQ(shown.text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(shown.buttons, MessageButtons::kOk);
    }
}

}  // namespace
}  // namespace tidemark
