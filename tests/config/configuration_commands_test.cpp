#include "config/configuration_commands.h"

#include <gtest/gtest.h>

#include "tests/config/fake_configuration_form.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::Settings;
using Strings = std::vector<std::string>;

const std::string kIndex = "/opt/tidemark/Config.txt";

class Commands : public ::testing::Test {
  protected:
    Commands() {
        fs.AddFolder("/opt/tidemark");
        form.on_change = [this] { commands.MarkSettingsChanged(); };
        form.on_pick = [this] { commands.ConfigurationPicked(); };
    }

    /// A program folder holding these configurations, all listed in the index, opened as the
    /// window's load sequence does: the configuration steps, then the marker cleared last.
    void Open(const std::vector<std::pair<std::string, SyncSettings>>& configurations) {
        std::string index;
        for (const auto& [name, values] : configurations) {
            fs.AddFile(store.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        fs.AddFile(kIndex, index);
        commands.Open("");
        commands.ClearSettingsChanged();
    }

    std::string Index() { return fs.ContentOf(kIndex).value_or("<none>"); }
    const testing::ShownMessage& LastMessage() { return messages.messages.back(); }

    InMemoryFileSystem fs;
    testing::RecordingRunView messages;
    testing::FakeConfigurationForm form;
    ConfigurationStore store{fs, fs, messages, "/opt/tidemark"};
    ConfigurationCommands commands{store, form, messages};
};

TEST_F(Commands, TheRememberedOrPickedConfigurationLoadsUnmarkedAndEverySettingMarksIt) {
    const SyncSettings home = Settings(2, "/home");
    fs.AddFile(store.GetConfigPath("Home"), GetConfigText(home));
    fs.AddFile(store.GetConfigPath("Work"), GetConfigText(Settings(1, "/work")));
    fs.AddFile(kIndex, "\r\nWork\r\nHome");
    commands.Open("Home");
    commands.ClearSettingsChanged();
    EXPECT_EQ(form.name, "Home");
    EXPECT_EQ(form.values, home);
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    form.Pick(0);
    EXPECT_EQ(form.values.source_path, "/work");
    EXPECT_FALSE(commands.SettingsChanged() || form.marker_shown);
    EXPECT_EQ(form.run_resets, 2);  // a load puts the run and its list back, each time
    EXPECT_EQ(form.results_clears, 2);
    for (const auto& change : std::vector<std::function<void(SyncSettings&)>>{
             [](SyncSettings& s) { s.style = SyncStyle::kBackup; },
             [](SyncSettings& s) { s.source_path += "x"; },
             [](SyncSettings& s) { s.destination_path += "x"; },
             [](SyncSettings& s) { s.use_exclude_list = CheckState::kChecked; },
             [](SyncSettings& s) { s.ignore_hidden = CheckState::kUnchecked; },
             [](SyncSettings& s) { s.ignore_system = CheckState::kUnchecked; },
             [](SyncSettings& s) { s.log_ignored = CheckState::kChecked; },
             [](SyncSettings& s) { s.reverse_sync = CheckState::kChecked; },
             [](SyncSettings& s) { s.preview_only = CheckState::kChecked; }}) {
        commands.ClearSettingsChanged();
        form.Edit(change);
        EXPECT_TRUE(commands.SettingsChanged() && form.marker_shown);
    }
}

TEST_F(Commands, PickingAConfigurationWithoutAUsableFileKeepsTheSettings) {
    Open({{"Gone", Settings(1, "/gone")}, {"Broken", Settings(1, "/broken")}});
    fs.Remove(store.GetConfigPath("Gone"));
    fs.AddFile(store.GetConfigPath("Broken"), "7\r\n/a\r\n/b\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    form.values = Settings(0, "/current");
    for (int position : {0, 1}) {
        form.Pick(position);
        EXPECT_EQ(form.values.source_path, "/current");
        EXPECT_FALSE(form.marker_shown);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Commands, AFailedSaveOrDeleteIsReportedAndKeepsTheList) {
    Open({{"Work", Settings(1, "/work")}});
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kIndex, testing::NoSpace());
    form.Type("Home");
    EXPECT_FALSE(commands.SaveClicked());
    EXPECT_EQ(LastMessage().text, "The file " + kIndex + " could not be saved:\r\n\r\n" +
                                      testing::NoSpace().description);
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_TRUE(form.marker_shown);
    EXPECT_EQ(Index(), "\r\nWork");

    form.Pick(0);
    commands.DeleteClicked();
    EXPECT_EQ(form.entries, (Strings{"Work"}));
    EXPECT_EQ(messages.messages.size(), 3u);  // the question, then the failure
    EXPECT_EQ(LastMessage().icon, MessageIcon::kCritical);
}

TEST_F(Commands, AnIndexThatCannotBeReadBackKeepsTheListShown) {
    Open({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kIndex, testing::AccessDenied());
    form.Type("Laptop");
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(LastMessage().text, "The file " + kIndex + " could not be read:\r\n\r\n" +
                                      testing::AccessDenied().description);
    // An emptied list would drop every name from the index at the next save.
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
}

TEST_F(Commands, DeleteAsksForTheEntryAndRestoreBringsItsStemBackOnce) {
    Open({{"My Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    commands.DeleteClicked();
    EXPECT_EQ(LastMessage().text, "Please select a specific configuration!");

    // Edited after picking: the question names the entry that would go. No changes nothing.
    form.Pick(0);
    form.Type("Something else");
    messages.answers = {MessageAnswer::kNo};
    commands.DeleteClicked();
    EXPECT_EQ(LastMessage().text,
              "This will remove the configuration from the drop down list.\r\n\r\n"
              "Are you sure you want to remove configuration 'My Work'?");
    EXPECT_EQ(form.entries, (Strings{"My Work", "Home"}));
    commands.DeleteClicked();  // answered Yes
    EXPECT_EQ(form.entries, (Strings{"Home"}));

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
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(Index(), "\r\nHome\r\nMyWork");
    EXPECT_EQ(form.entries, (Strings{"Home", "MyWork"}));
}

}  // namespace
}  // namespace tidemark
