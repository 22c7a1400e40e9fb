// The command line, and a saved configuration run without the window, in memory.
#include "app/saved_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/command_line.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
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

    RunExitStatus RunSaved(bool preview = false) {
        SavedRunPorts ports{fs, fs, store, clock, format, state, log, lines, messages, "/p"};
        return RunSavedConfiguration(ports, "Nightly", preview, exclude_list_failure);
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

class SavedRunTest : public ::testing::Test, public SavedRunWorld {};

TEST_F(SavedRunTest, ACleanRunCreatesTheDestinationAnswersYesLogsAndStoresTheCounter) {
    EXPECT_EQ(RunSaved(), RunExitStatus::kFinished);
    // The lines themselves are the engine's.
    EXPECT_TRUE(lines.str().starts_with("Synchronizing /src --> /dst\n")) << lines.str();
    EXPECT_TRUE(lines.str().ends_with(" --> Total files copied: 2\nDone!\n")) << lines.str();
    EXPECT_EQ(messages.str(),
              "/dst does not exist.  Would you like to create it now? [Yes]\n"
              "/src --> /dst Are you sure you want to synchronize 2 files now? [Yes]\n");
    EXPECT_EQ(fs.ContentOf("/dst/sub/b.txt"), "b");
    EXPECT_EQ(store.values.at("FilesProcessed"), "12");
    EXPECT_EQ(log_files.files.at("/p/logs/2026-06-01.log"),
              "--- 2026-06-01 02:00:05 Nightly ---\n" + lines.str());

    // Preview is forced over the configuration, and counts what it would process.
    SavedRunWorld preview;
    EXPECT_EQ(preview.RunSaved(true), RunExitStatus::kFinished);
    EXPECT_FALSE(preview.fs.Exists("/dst"));
    EXPECT_TRUE(preview.lines.str().starts_with("********** WARNING:  Synchronization is set"));
    EXPECT_EQ(preview.store.values.at("FilesProcessed"), "12");
}

TEST_F(SavedRunTest, EachOutcomeGivesItsExitStatusAndReason) {
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
        const bool ran = i < 5;
        EXPECT_EQ(t.store.values.contains("FilesProcessed"), ran) << i;
        EXPECT_TRUE(ran || (t.log_files.files.empty() && t.lines.str().empty())) << i;
    }
}

}  // namespace
}  // namespace tidemark
