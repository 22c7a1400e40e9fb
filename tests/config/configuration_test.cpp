// Named configurations: their file and index texts, the store in memory, and the commands of
// the main window's configuration row against a form in memory.
#include <gtest/gtest.h>

#include "tests/config/fake_configuration_form.h"
#include "tests/support/corrupt_text.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::Settings;
using Strings = std::vector<std::string>;

const std::string kFolder = "/opt/tidemark/configurations/";
const std::string kIndex = "/opt/tidemark/Config.txt";

TEST(ConfigurationText, NineCrLfTerminatedValuesReadBackAndAnythingElseIsIgnored) {
    const std::string text = GetConfigText(Settings(1, "/home/ann/Work"));
    EXPECT_EQ(text, "1\r\n/home/ann/Work\r\n/backup\r\n0\r\n1\r\n1\r\n0\r\n0\r\n0\r\n");
    SyncSettings unusual = Settings(-1, "  spaced  ");
    unusual.ignore_hidden = CheckState::kGreyed;
    EXPECT_EQ(ParseConfigText(GetConfigText(unusual)), unusual);
    // Hand-edited files with LF line breaks read the same.
    EXPECT_EQ(
        GetConfigText(ParseConfigText("1\n/home/ann/Work\n/backup\n0\n1\n1\n0\n0\n0").value()),
        text);
    EXPECT_FALSE(ParseConfigText("1\r\n/a\r\n/b\r\n1\r\n1\r\n1\r\n0\r\n0\r\n"));  // eight lines
    // One bad number spoils the whole file, whichever line it is on.
    for (const std::string bad : {"x", "3", "-2", "1.0", "+1", "", "99999999999"}) {
        EXPECT_FALSE(ParseConfigText(bad + text.substr(text.find("\r\n")))) << bad;
        EXPECT_FALSE(ParseConfigText(text.substr(0, text.rfind("0\r\n")) + bad + "\r\n")) << bad;
    }
    // Names that differ only by removed characters share one file inside the folder.
    InMemoryFileSystem fs;
    testing::RecordingRunView messages;
    const ConfigurationStore store{fs, fs, messages, "/opt/tidemark"};
    for (const std::string name : {"My Work", "MyWork", "My.Work"})
        EXPECT_EQ(store.GetConfigPath(name), kFolder + "MyWork.txt");
    EXPECT_EQ(store.GetConfigPath(" `~!@#$%^&*()+={[}]<>|\\:;\"',.?/"), kFolder + ".txt");
    EXPECT_EQ(store.GetConfigPath("../../etc/passwd"), kFolder + "etcpasswd.txt");
    EXPECT_EQ(FileStem("Büro_2-a\tß Ω"), "Büro_2-a\tßΩ");
}

class Configurations : public ::testing::Test {
  protected:
    Configurations() {
        fs.AddFolder(kFolder);
        form.commands = &commands;
    }

    /// A program folder holding these configurations, listed in the index in this order, opened
    /// as the window's load sequence does (the configuration, then the marker cleared last).
    void Open(const std::vector<std::pair<std::string, SyncSettings>>& configurations,
              const std::string& remembered = "") {
        std::string index;
        for (const auto& [name, values] : configurations) {
            fs.AddFile(store.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        fs.AddFile(kIndex, index);
        commands.Open(remembered);
        commands.ClearSettingsChanged();
    }
    std::string Index() { return fs.ContentOf(kIndex).value_or("<none>"); }
    Strings ChangesSince(std::size_t before) {
        return Strings(fs.Changes().begin() + static_cast<long>(before), fs.Changes().end());
    }
    const testing::ShownMessage& LastMessage() { return messages.messages.back(); }

    InMemoryFileSystem fs;
    testing::RecordingRunView messages;
    ConfigurationStore store{fs, fs, messages, "/opt/tidemark"};
    testing::FakeConfigurationForm form;
    ConfigurationCommands commands{store, form, messages};
};

TEST_F(Configurations, SavingKeepsTheListOrderAndListsEachNameOnce) {
    fs.AddFile(kIndex, "\r\nWork\r\n\r\n  Home  \r\n   \r\nLaptop\n");
    EXPECT_EQ(store.LoadConfigurationList().value(), (Strings{"Work", "Home", "Laptop"}));
    // A listed name rewrites only its own file and keeps its place.
    std::size_t before = fs.Changes().size();
    ASSERT_TRUE(store.SaveConfigurations({"Work", "Home", "Laptop"}, "Home", SyncSettings{}).ok());
    EXPECT_EQ(ChangesSince(before), (Strings{"write " + kFolder + "Home.txt", "write " + kIndex}));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome\r\nLaptop");
    // A new name goes last; "Work" and "Work Laptop" stay two entries; duplicates (a name
    // restored twice) and spaces around the typed name make no second entry.
    ASSERT_TRUE(store.SaveConfigurations({"Work Laptop", "A", "", "A"}, " Work ", {}).ok());
    EXPECT_EQ(Index(), "\r\nWork Laptop\r\nA\r\nWork");
    // With an empty name only the index is written.
    before = fs.Changes().size();
    ASSERT_TRUE(store.SaveConfigurations({"Work", "Home"}, "   ", SyncSettings{}).ok());
    EXPECT_EQ(ChangesSince(before), (Strings{"write " + kIndex}));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome");
    // A configuration that cannot be written is reported and is not listed.
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kFolder + "Laptop.txt",
              testing::NoSpace());
    ASSERT_FALSE(store.SaveConfigurations({"Work"}, "Laptop", SyncSettings{}).ok());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, "The file " + kFolder + "Laptop.txt could not be saved:\r\n\r\n" +
                                      testing::NoSpace().description);
    EXPECT_EQ(LastMessage().icon, MessageIcon::kCritical);
    EXPECT_EQ(Index(), "\r\nWork\r\nHome");
}

TEST_F(Configurations, TheRememberedOrPickedConfigurationLoadsUnmarkedAndEverySettingMarksIt) {
    Open({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}}, "Home");
    EXPECT_EQ(form.name, "Home");
    EXPECT_EQ(form.values, Settings(2, "/home"));
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    form.Pick(0);
    EXPECT_EQ(form.values.source_path, "/work");
    EXPECT_FALSE(commands.SettingsChanged() || form.marker_shown);
    // A load puts the run and its list back, each time.
    EXPECT_EQ(std::pair(form.run_resets, form.results_clears), std::pair(2, 2));
    form.values.preview_only = CheckState::kChecked;  // any change through the form
    form.SetConfigurationValues(form.values);
    EXPECT_TRUE(commands.SettingsChanged() && form.marker_shown);
    // A configuration without a usable file keeps the settings, unreported.
    fs.Remove(store.GetConfigPath("Work"));
    fs.AddFile(store.GetConfigPath("Home"), "7\r\n/a\r\n/b\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    form.values = Settings(0, "/current");
    for (int position : {0, 1}) {
        form.Pick(position);
        EXPECT_EQ(form.values.source_path, "/current");
        EXPECT_FALSE(form.marker_shown);
    }
    EXPECT_TRUE(messages.messages.empty());
}

// Nine whole values load, whatever damage follows them; any other damage loads nothing and
// says nothing. An index with an 8 MiB line still lists its names.
TEST_F(Configurations, ADamagedRememberedConfigurationLeavesTheSettingsUnreported) {
    const SyncSettings home = Settings(2, "/home/ann/Docs");
    std::vector<testing::CorruptText> versions = testing::CorruptVersionsOf(GetConfigText(home));
    versions.insert(versions.begin(), {"intact", GetConfigText(home)});
    for (const auto& [what, text] : versions) {
        SCOPED_TRACE(what);
        Open({{"Work", Settings(1, "/work")}, {"Home", home}});
        fs.AddFile(store.GetConfigPath("Home"), text);
        if (what == "an 8 MiB line first")
            fs.AddFile(kIndex, text + "\r\nWork\r\nHome");
        form.values = {};
        commands.Open("Home");
        const bool whole = what == "intact" || what == "binary bytes after the text";
        EXPECT_EQ(form.values, whole ? home : SyncSettings{});
        EXPECT_EQ(form.name, "Home");
        ASSERT_GE(form.entries.size(), 2u);
        EXPECT_EQ(Strings(form.entries.end() - 2, form.entries.end()), (Strings{"Work", "Home"}));
        EXPECT_FALSE(form.marker_shown);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Configurations, FailedReadsWritesAndDeletesAreReportedAndKeepTheList) {
    Open({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    // An index that cannot be read back keeps the list shown: an emptied list would drop every
    // name from the index at the next save.
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kIndex, testing::AccessDenied());
    form.Type("Laptop");
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(LastMessage().text, "The file " + kIndex + " could not be read:\r\n\r\n" +
                                      testing::AccessDenied().description);
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    // A save or a delete that cannot write the index changes neither the index nor the list.
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kIndex, testing::NoSpace());
    form.Type("Desk");
    EXPECT_FALSE(commands.SaveClicked());
    EXPECT_EQ(LastMessage().text, "The file " + kIndex + " could not be saved:\r\n\r\n" +
                                      testing::NoSpace().description);
    EXPECT_TRUE(form.marker_shown);
    form.Pick(0);
    commands.DeleteClicked();
    EXPECT_EQ(form.entries, (Strings{"Work", "Home"}));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome\r\nLaptop");
    EXPECT_EQ(messages.messages.size(), 4u);  // the two failures, the question, the failure
    EXPECT_EQ(LastMessage().icon, MessageIcon::kCritical);
}

TEST_F(Configurations, DeleteAsksForTheEntryAndRestoreBringsUnindexedFilesBackOnce) {
    Open({{"My Work", Settings(1, "/work")}, {"Home Laptop", Settings(2, "/home")}});
    commands.DeleteClicked();
    EXPECT_EQ(LastMessage().text, "Please select a specific configuration!");
    // Edited after picking: the question names the entry that would go. No changes nothing.
    form.Pick(0);
    form.Type("Something else");
    messages.answers = {MessageAnswer::kNo};
    commands.DeleteClicked();
    EXPECT_TRUE(LastMessage().text.ends_with("remove configuration 'My Work'?"));
    EXPECT_EQ(form.entries, (Strings{"My Work", "Home Laptop"}));
    commands.DeleteClicked();  // answered Yes
    EXPECT_EQ(form.entries, (Strings{"Home Laptop"}));

    messages.answers = {MessageAnswer::kNo};
    commands.RestoreClicked();
    EXPECT_TRUE(LastMessage().text.ends_with("restore previously removed configurations?"));
    EXPECT_EQ(form.entries, (Strings{"Home Laptop"}));
    // Restore offers the files of no listed name by their names without .txt, changing nothing.
    for (const std::string file : {"Home.txt", "notes.doc", "A.TXT", "a.txt.txt", ".txt"})
        fs.AddFile(kFolder + file);
    const Strings restored = {"MyWork", "Home", "notes.doc", "A.TXT", "a"};
    const std::size_t before = fs.Changes().size();
    EXPECT_EQ(store.RestoreConfigurations().value(), restored);
    EXPECT_EQ(fs.Changes().size(), before);
    // Twice before saving lists them twice; the save writes each once.
    commands.RestoreClicked();
    commands.RestoreClicked();
    EXPECT_EQ(form.entries.size(), 11u);
    form.Pick(1);
    ASSERT_TRUE(commands.SaveClicked());
    EXPECT_EQ(Index(), "\r\nHome Laptop\r\nMyWork\r\nHome\r\nnotes.doc\r\nA.TXT\r\na");
    EXPECT_EQ(form.entries, (Strings{"Home Laptop", "MyWork", "Home", "notes.doc", "A.TXT", "a"}));
}

}  // namespace
}  // namespace tidemark
