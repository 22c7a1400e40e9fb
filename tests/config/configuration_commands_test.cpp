#include "config/configuration_commands.h"

#include <gtest/gtest.h>

#include "platform/posix_file_system.h"
#include "tests/config/fake_configuration_form.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::FakeConfigurationForm;
using testing::InMemoryFileSystem;
using testing::RecordingRunView;
using Strings = std::vector<std::string>;

const std::string kProgram = "/opt/tidemark";
const std::string kFolder = "/opt/tidemark/configurations/";
const std::string kIndex = "/opt/tidemark/Config.txt";

SyncSettings Settings(int style, const std::string& source, int preview = 0) {
    SyncSettings values;
    values.style = style;
    values.source_path = source;
    values.destination_path = "/backup";
    values.preview_only = preview;
    return values;
}

class Commands : public ::testing::Test {
  protected:
    Commands() {
        fs.AddFolder(kProgram);
        form.on_change = [this] { commands.MarkSettingsChanged(); };
        form.on_pick = [this] { commands.ConfigurationPicked(); };
    }

    /// The window's load sequence: the configuration steps, then the marker cleared last.
    bool OpenWindow(const std::string& remembered_name) {
        const bool loaded = commands.Open(remembered_name);
        commands.ClearSettingsChanged();
        return loaded;
    }

    /// A program folder holding these configurations, all listed in the index.
    void Stored(const std::vector<std::pair<std::string, SyncSettings>>& configurations) {
        std::string index;
        for (const auto& [name, values] : configurations) {
            fs.AddFile(store.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        fs.AddFile(kIndex, index);
    }

    std::string Index() { return fs.ContentOf(kIndex).value_or("<none>"); }

    InMemoryFileSystem fs;
    RecordingRunView messages;
    FakeConfigurationForm form;
    ConfigurationStore store{fs, fs, messages, kProgram};
    ConfigurationCommands commands{store, form, messages};
};

TEST_F(Commands, OpeningFillsTheListAndLoadsTheRememberedName) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home/ann")}});
    form.values = Settings(0, "/default");
    EXPECT_TRUE(commands.Open("Home"));
    EXPECT_TRUE(fs.FolderExists("/opt/tidemark/configurations"));
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    EXPECT_EQ(form.name, "Home");
    EXPECT_EQ(GetConfigText(form.values), GetConfigText(Settings(2, "/home/ann")));
    EXPECT_FALSE(commands.SettingsChanged());
    EXPECT_FALSE(form.marker_shown);
    EXPECT_EQ(form.run_resets, 1);
    EXPECT_EQ(form.results_clears, 1);
}

TEST_F(Commands, OpeningWithoutARememberedNameLeavesTheDefaultsToTheWindow) {
    EXPECT_FALSE(commands.Open(""));
    EXPECT_TRUE(form.entries.empty());
    EXPECT_EQ(form.name, "");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Commands, OpeningGoesOnWhenTheFolderCannotBeCreated) {
    fs.FailOn(InMemoryFileSystem::Operation::kCreateFolder, "/opt/tidemark/configurations",
              testing::AccessDenied());
    fs.AddFile(kIndex, "\r\nWork");
    EXPECT_TRUE(commands.Open("Work"));
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Commands, TheMarkerFollowsEveryChangeAndClearsOnLoadAndSave) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWindow("");
    EXPECT_FALSE(form.marker_shown);

    for (const auto& change : std::vector<std::function<void(SyncSettings&)>>{
             [](SyncSettings& s) { s.style = 2; }, [](SyncSettings& s) { s.source_path += "x"; },
             [](SyncSettings& s) { s.destination_path += "x"; },
             [](SyncSettings& s) { s.use_exclude_list = 1; },
             [](SyncSettings& s) { s.ignore_hidden = 0; },
             [](SyncSettings& s) { s.ignore_system = 0; },
             [](SyncSettings& s) { s.log_ignored = 1; },
             [](SyncSettings& s) { s.reverse_sync = 1; },
             [](SyncSettings& s) { s.preview_only = 1; }}) {
        commands.ClearSettingsChanged();
        form.Edit(change);
        EXPECT_TRUE(commands.SettingsChanged());
        EXPECT_TRUE(form.marker_shown);
    }

    // Picking loads and leaves the window unchanged, although loading set every control.
    form.Pick(0);
    EXPECT_EQ(form.values.source_path, "/work");
    EXPECT_FALSE(form.marker_shown);

    // Typing a name marks; saving clears and keeps the name in the name field.
    form.Type("Laptop");
    EXPECT_TRUE(form.marker_shown);
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_FALSE(form.marker_shown);
    EXPECT_EQ(form.name, "Laptop");
    EXPECT_EQ(form.entries, (Strings{"Work", "Laptop"}));

    // Delete and Restore leave the marker as it is.
    form.Edit([](SyncSettings& s) { s.preview_only = 0; });
    form.Pick(0);
    form.Edit([](SyncSettings& s) { s.log_ignored = 1; });
    commands.DeleteClicked();
    commands.RestoreClicked();
    EXPECT_TRUE(form.marker_shown);
    EXPECT_TRUE(commands.SettingsChanged());
}

TEST_F(Commands, PickingAConfigurationWithoutAUsableFileKeepsTheSettings) {
    Stored({{"Work", Settings(1, "/work")}, {"Broken", Settings(1, "/broken")}});
    fs.Remove(store.GetConfigPath("Work"));
    fs.AddFile(store.GetConfigPath("Broken"), "7\r\n/a\r\n/b\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    OpenWindow("");
    form.values = Settings(0, "/current");
    for (int position : {0, 1}) {
        form.results_clears = 0;
        form.Pick(position);
        EXPECT_EQ(form.values.source_path, "/current");
        EXPECT_FALSE(form.marker_shown);
        EXPECT_EQ(form.results_clears, 1);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Commands, SavingWritesTheFileAndTheIndexAndRefillsTheList) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWindow("");
    form.Type("Home");
    form.Edit([](SyncSettings& s) { s = Settings(2, "/home/ann", 1); });
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(fs.ContentOf(kFolder + "Home.txt"), GetConfigText(Settings(2, "/home/ann", 1)));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome");
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    EXPECT_EQ(form.name, "Home");

    // An empty name saves no configuration but still rewrites the index and clears the marker.
    form.Type("");
    const std::size_t before = fs.Changes().size();
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(Strings(fs.Changes().begin() + before, fs.Changes().end()),
              (Strings{"write " + kIndex}));
    EXPECT_FALSE(form.marker_shown);
}

TEST_F(Commands, AFailedSaveIsReportedAndChangesNothingElse) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWindow("");
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kIndex, testing::NoSpace());
    form.Type("Home");
    EXPECT_FALSE(commands.SaveClicked());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The file " + kIndex + " could not be saved:\r\n\r\n" +
                                             testing::NoSpace().description);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_EQ(form.name, "Home");
    EXPECT_TRUE(form.marker_shown);
    EXPECT_EQ(Index(), "\r\nWork");
}

TEST_F(Commands, AnIndexThatCannotBeReadBackKeepsTheListShown) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    OpenWindow("");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kIndex, testing::AccessDenied());
    form.Type("Laptop");
    ASSERT_TRUE(commands.SaveClicked());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The file " + kIndex + " could not be read:\r\n\r\n" +
                                             testing::AccessDenied().description);
    // The list does not turn empty, which would drop every name from the index at the next save.
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    EXPECT_EQ(form.name, "Laptop");
    EXPECT_EQ(fs.ContentOf(kIndex), "\r\nWork\r\nHome\r\nLaptop");
}

TEST_F(Commands, DeleteAsksAboutTheSelectedEntry) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    OpenWindow("");

    commands.DeleteClicked();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Please select a specific configuration!");
    EXPECT_EQ(messages.messages[0].buttons, MessageButtons::kOk);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kNone);

    form.Pick(1);
    messages.answers = {MessageAnswer::kNo};
    commands.DeleteClicked();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text,
              "This will remove the configuration from the drop down list.\r\n\r\n"
              "Are you sure you want to remove configuration 'Home'?");
    EXPECT_EQ(messages.messages[1].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(messages.messages[1].icon, MessageIcon::kQuestion);
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome");

    // Edited after picking: the question names the entry that would go.
    form.Type("Something else");
    messages.answers = {MessageAnswer::kNo};
    commands.DeleteClicked();
    EXPECT_NE(messages.messages.back().text.find("'Home'"), std::string::npos);
}

TEST_F(Commands, DeletedConfigurationsKeepTheirFileAndRestoreBringsThemBackAtTheEnd) {
    Stored({{"My Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    OpenWindow("");
    form.Pick(0);
    commands.DeleteClicked();  // answered Yes
    EXPECT_EQ(form.entries, (Strings{"Home"}));
    EXPECT_EQ(Index(), "\r\nHome");
    EXPECT_TRUE(fs.Exists(kFolder + "MyWork.txt"));

    messages.answers = {MessageAnswer::kNo};
    commands.RestoreClicked();
    EXPECT_EQ(form.entries, (Strings{"Home"}));
    EXPECT_EQ(messages.messages.back().text,
              "This will search the default configuration folder and restore any configurations "
              "that were not permanently deleted.\r\n\r\nAre you sure you want to restore "
              "previously removed configurations?");
    EXPECT_EQ(messages.messages.back().buttons, MessageButtons::kYesNo);

    // Restored under its file stem; twice before saving lists it twice, the save writes once.
    commands.RestoreClicked();
    commands.RestoreClicked();
    EXPECT_EQ(form.entries, (Strings{"Home", "MyWork", "MyWork"}));
    EXPECT_EQ(Index(), "\r\nHome");
    form.Pick(1);
    EXPECT_EQ(form.values.source_path, "/work");
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(Index(), "\r\nHome\r\nMyWork");
    EXPECT_EQ(form.entries, (Strings{"Home", "MyWork"}));
}

TEST_F(Commands, AFailedDeleteKeepsTheEntry) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWindow("");
    form.Pick(0);
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kIndex, testing::AccessDenied());
    commands.DeleteClicked();
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_EQ(messages.messages.back().icon, MessageIcon::kCritical);
}

TEST_F(Commands, UnsavedSettingsBeforeARun) {
    OpenWindow("");
    // Nothing changed: no question, the run goes on.
    EXPECT_TRUE(commands.OfferSaveBeforeRun());
    EXPECT_TRUE(messages.messages.empty());

    form.Type("Work");
    messages.answers = {MessageAnswer::kCancel};
    EXPECT_FALSE(commands.OfferSaveBeforeRun());
    EXPECT_EQ(messages.messages.back().text,
              "The settings have changed for this configuration.\r\n\r\n"
              "Would you like to save them now?");
    EXPECT_EQ(messages.messages.back().buttons, MessageButtons::kYesNoCancel);
    EXPECT_EQ(messages.messages.back().icon, MessageIcon::kQuestion);
    EXPECT_FALSE(fs.Exists(kIndex));
    EXPECT_TRUE(form.marker_shown);

    messages.answers = {MessageAnswer::kNo};
    EXPECT_TRUE(commands.OfferSaveBeforeRun());
    EXPECT_FALSE(fs.Exists(kIndex));
    EXPECT_TRUE(form.marker_shown);

    messages.answers = {MessageAnswer::kYes};
    EXPECT_TRUE(commands.OfferSaveBeforeRun());
    EXPECT_EQ(Index(), "\r\nWork");
    EXPECT_FALSE(form.marker_shown);
}

TEST_F(Commands, UnsavedSettingsAtExit) {
    OpenWindow("");
    commands.OfferSaveBeforeExit();
    EXPECT_TRUE(messages.messages.empty());

    form.Type("Work");
    messages.answers = {MessageAnswer::kNo};
    commands.OfferSaveBeforeExit();
    EXPECT_EQ(messages.messages.back().text,
              "The settings have changed for this configuration.\r\n\r\n"
              "Would you like to save them before you exit the application?");
    EXPECT_EQ(messages.messages.back().buttons, MessageButtons::kYesNo);
    EXPECT_FALSE(fs.Exists(kIndex));

    messages.answers = {MessageAnswer::kYes};
    commands.OfferSaveBeforeExit();
    EXPECT_EQ(Index(), "\r\nWork");
}

TEST(CommandsOnDisk, SaveDeleteRestoreAndPickInARealProgramFolder) {
    testing::TemporaryFolder program;
    PosixFileSystem fs;
    RecordingRunView messages;
    FakeConfigurationForm form;
    ConfigurationStore store(fs, fs, messages, program.path());
    ConfigurationCommands commands(store, form, messages);
    form.on_change = [&commands] { commands.MarkSettingsChanged(); };
    form.on_pick = [&commands] { commands.ConfigurationPicked(); };

    commands.Open("");
    form.Type("Photo Backup");
    form.Edit([](SyncSettings& s) { s = Settings(2, "/photos"); });
    ASSERT_TRUE(commands.SaveClicked());
    form.Type("Music");
    form.Edit([](SyncSettings& s) { s = Settings(0, "/music"); });
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(testing::ReadFile(program / "Config.txt"), "\r\nPhoto Backup\r\nMusic");

    form.Pick(0);
    commands.DeleteClicked();
    EXPECT_EQ(testing::ReadFile(program / "Config.txt"), "\r\nMusic");
    commands.RestoreClicked();
    EXPECT_EQ(form.entries, (Strings{"Music", "PhotoBackup"}));
    form.Pick(1);
    EXPECT_EQ(GetConfigText(form.values), GetConfigText(Settings(2, "/photos")));
    EXPECT_FALSE(form.marker_shown);
    EXPECT_TRUE(messages.messages.size() == 2u);  // D2 and R1, both answered Yes
}

}  // namespace
}  // namespace tidemark
