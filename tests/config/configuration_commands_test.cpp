#include "config/configuration_commands.h"

#include <gtest/gtest.h>

#include "tests/config/fake_configuration_form.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::FakeConfigurationForm;
using testing::InMemoryFileSystem;
using testing::RecordingRunView;
using Strings = std::vector<std::string>;

const std::string kProgram = "/opt/tidemark";
const std::string kIndex = "/opt/tidemark/Config.txt";

SyncSettings Settings(int style, const std::string& source) {
    SyncSettings values;
    values.style = style;
    values.source_path = source;
    values.destination_path = "/backup";
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
    void OpenWindow(const std::string& remembered_name = "") {
        commands.Open(remembered_name);
        commands.ClearSettingsChanged();
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
    const testing::ShownMessage& LastMessage() { return messages.messages.back(); }

    InMemoryFileSystem fs;
    RecordingRunView messages;
    FakeConfigurationForm form;
    ConfigurationStore store{fs, fs, messages, kProgram};
    ConfigurationCommands commands{store, form, messages};
};

TEST_F(Commands, OpeningFillsTheListAndLoadsTheRememberedName) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home/ann")}});
    EXPECT_TRUE(commands.Open("Home"));
    EXPECT_TRUE(fs.FolderExists("/opt/tidemark/configurations"));
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    EXPECT_EQ(form.name, "Home");
    EXPECT_EQ(GetConfigText(form.values), GetConfigText(Settings(2, "/home/ann")));
    EXPECT_FALSE(form.marker_shown);
    EXPECT_EQ(form.run_resets, 1);
    EXPECT_EQ(form.results_clears, 1);
}

TEST_F(Commands, TheMarkerFollowsEveryChangeAndClearsOnLoadAndSave) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWindow();
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
        EXPECT_TRUE(form.marker_shown);
    }

    // Loading sets every control, and still leaves the window unmarked.
    form.Pick(0);
    EXPECT_EQ(form.values.source_path, "/work");
    EXPECT_FALSE(form.marker_shown);

    // Typing a name marks; saving adds it last, keeps it in the name field and unmarks.
    form.Type("Laptop");
    EXPECT_TRUE(form.marker_shown);
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_FALSE(form.marker_shown);
    EXPECT_EQ(form.name, "Laptop");
    EXPECT_EQ(form.entries, (Strings{"Work", "Laptop"}));
    EXPECT_EQ(fs.ContentOf(store.GetConfigPath("Laptop")), GetConfigText(form.values));

    // Delete and Restore leave the marker as it is.
    form.Edit([](SyncSettings& s) { s.log_ignored = 0; });
    form.selected = 0;
    commands.DeleteClicked();
    commands.RestoreClicked();
    EXPECT_TRUE(form.marker_shown);
    EXPECT_TRUE(commands.SettingsChanged());
}

TEST_F(Commands, PickingAConfigurationWithoutAUsableFileKeepsTheSettings) {
    Stored({{"Gone", Settings(1, "/gone")}, {"Broken", Settings(1, "/broken")}});
    fs.Remove(store.GetConfigPath("Gone"));
    fs.AddFile(store.GetConfigPath("Broken"), "7\r\n/a\r\n/b\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    OpenWindow();
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

TEST_F(Commands, AFailedSaveIsReportedAndChangesNothingElse) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWindow();
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kIndex, testing::NoSpace());
    form.Type("Home");
    EXPECT_FALSE(commands.SaveClicked());
    EXPECT_EQ(LastMessage().text, "The file " + kIndex + " could not be saved:\r\n\r\n" +
                                      testing::NoSpace().description);
    EXPECT_EQ(LastMessage().icon, MessageIcon::kCritical);
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_EQ(form.name, "Home");
    EXPECT_TRUE(form.marker_shown);
    EXPECT_EQ(Index(), "\r\nWork");

    // A failed delete keeps the entry too.
    form.Pick(0);
    commands.DeleteClicked();
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_EQ(LastMessage().icon, MessageIcon::kCritical);
}

TEST_F(Commands, AnIndexThatCannotBeReadBackKeepsTheListShown) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    OpenWindow();
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kIndex, testing::AccessDenied());
    form.Type("Laptop");
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(LastMessage().text, "The file " + kIndex + " could not be read:\r\n\r\n" +
                                      testing::AccessDenied().description);
    // An emptied list would drop every name from the index at the next save.
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
}

TEST_F(Commands, DeleteKeepsTheFileAndRestoreBringsTheStemBackAtTheEnd) {
    Stored({{"My Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    OpenWindow();
    commands.DeleteClicked();
    EXPECT_EQ(LastMessage().text, "Please select a specific configuration!");
    EXPECT_EQ(LastMessage().buttons, MessageButtons::kOk);
    EXPECT_EQ(LastMessage().icon, MessageIcon::kNone);

    // Edited after picking: the question names the entry that would go. No changes nothing.
    form.Pick(0);
    form.Type("Something else");
    messages.answers = {MessageAnswer::kNo};
    commands.DeleteClicked();
    EXPECT_EQ(LastMessage().text,
              "This will remove the configuration from the drop down list.\r\n\r\n"
              "Are you sure you want to remove configuration 'My Work'?");
    EXPECT_EQ(LastMessage().buttons, MessageButtons::kYesNo);
    EXPECT_EQ(LastMessage().icon, MessageIcon::kQuestion);
    EXPECT_EQ(form.entries, (Strings{"My Work", "Home"}));

    commands.DeleteClicked();  // answered Yes
    EXPECT_EQ(form.entries, (Strings{"Home"}));
    EXPECT_EQ(Index(), "\r\nHome");
    EXPECT_TRUE(fs.Exists(store.GetConfigPath("My Work")));

    messages.answers = {MessageAnswer::kNo};
    commands.RestoreClicked();
    EXPECT_EQ(LastMessage().text,
              "This will search the default configuration folder and restore any configurations "
              "that were not permanently deleted.\r\n\r\nAre you sure you want to restore "
              "previously removed configurations?");
    EXPECT_EQ(form.entries, (Strings{"Home"}));

    // Twice before saving lists it twice; the save writes it once.
    commands.RestoreClicked();
    commands.RestoreClicked();
    EXPECT_EQ(form.entries, (Strings{"Home", "MyWork", "MyWork"}));
    form.Pick(1);
    EXPECT_EQ(form.values.source_path, "/work");
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(Index(), "\r\nHome\r\nMyWork");
    EXPECT_EQ(form.entries, (Strings{"Home", "MyWork"}));
}

TEST_F(Commands, UnsavedSettingsBeforeARunAndAtExit) {
    OpenWindow();
    EXPECT_TRUE(commands.OfferSaveBeforeRun());
    commands.OfferSaveBeforeExit();
    EXPECT_TRUE(messages.messages.empty());

    form.Type("Work");
    messages.answers = {MessageAnswer::kCancel, MessageAnswer::kNo, MessageAnswer::kNo};
    EXPECT_FALSE(commands.OfferSaveBeforeRun());
    EXPECT_EQ(LastMessage().text,
              "The settings have changed for this configuration.\r\n\r\n"
              "Would you like to save them now?");
    EXPECT_EQ(LastMessage().buttons, MessageButtons::kYesNoCancel);
    EXPECT_EQ(LastMessage().icon, MessageIcon::kQuestion);
    EXPECT_TRUE(commands.OfferSaveBeforeRun());
    commands.OfferSaveBeforeExit();
    EXPECT_EQ(LastMessage().text,
              "The settings have changed for this configuration.\r\n\r\n"
              "Would you like to save them before you exit the application?");
    EXPECT_EQ(LastMessage().buttons, MessageButtons::kYesNo);
    EXPECT_FALSE(fs.Exists(kIndex));
    EXPECT_TRUE(form.marker_shown);

    messages.answers = {MessageAnswer::kYes};
    EXPECT_TRUE(commands.OfferSaveBeforeRun());
    EXPECT_EQ(Index(), "\r\nWork");
    EXPECT_FALSE(form.marker_shown);
}

}  // namespace
}  // namespace tidemark
