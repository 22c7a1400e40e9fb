// The configuration index with damaged content, on real files: nothing crashes, a damaged
// index gives the lines it has, which the next save writes back readable, and special files in
// place of the program's files read as empty. (A damaged configuration file is left unloaded:
// see the window's configuration row tests.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "config/configuration_commands.h"
#include "platform/posix_file_system.h"
#include "tests/config/fake_configuration_form.h"
#include "tests/support/corrupt_text.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

/// What the window shows before a configuration is loaded: its built-in defaults.
SyncSettings Shown() {
    SyncSettings values;
    values.source_path = "/home/ann";
    values.destination_path = "/home/ann";
    return values;
}

class CorruptFiles : public ::testing::Test {
  protected:
    CorruptFiles() {
        testing::MakeFolders(folder / "configurations");
        form.on_change = [this] { commands.MarkSettingsChanged(); };
        form.on_pick = [this] { commands.ConfigurationPicked(); };
    }

    /// The window's load sequence with this name remembered.
    void OpenWindow(const std::string& remembered) {
        form.values = Shown();
        commands.Open(remembered);
        commands.ClearSettingsChanged();
    }

    testing::TemporaryFolder folder;
    PosixFileSystem fs;
    testing::RecordingRunView messages;
    testing::FakeConfigurationForm form;
    ConfigurationStore store{fs, fs, messages, folder.path()};
    ConfigurationCommands commands{store, form, messages};
};

TEST_F(CorruptFiles, ADamagedIndexListsWhatItHoldsAndTheNextSaveWritesItBackReadable) {
    for (const auto& [what, text] : testing::CorruptVersionsOf("\r\nHome\r\nWork\r\nLaptop")) {
        SCOPED_TRACE(what);
        testing::WriteFile(store.IndexPath(), text);
        OpenWindow("");
        const std::vector<std::string> listed = form.entries;
        for (const std::string& name : listed) {
            EXPECT_FALSE(name.empty());
            EXPECT_EQ(name.find('\n'), std::string::npos);
            EXPECT_NE(name.front(), ' ');
        }

        form.Type("Travel");
        ASSERT_TRUE(commands.SaveClicked());
        // The save lists each name once, the new one last.
        std::vector<std::string> expected;
        for (const std::string& name : listed) {
            if (std::find(expected.begin(), expected.end(), name) == expected.end())
                expected.push_back(name);
        }
        if (std::find(expected.begin(), expected.end(), "Travel") == expected.end())
            expected.push_back("Travel");
        EXPECT_EQ(form.entries, expected);
        EXPECT_EQ(ParseIndexText(*fs.ReadTextFile(store.IndexPath())), expected);
        EXPECT_EQ(GetConfigText(*ParseConfigText(*fs.ReadTextFile(store.GetConfigPath("Travel")))),
                  GetConfigText(Shown()));
        EXPECT_TRUE(messages.messages.empty());
    }
}

TEST_F(CorruptFiles, FoldersAndPipesInPlaceOfTheFilesAreReadAsEmpty) {
    ASSERT_EQ(::mkfifo(store.IndexPath().c_str(), 0600), 0);
    testing::MakeFolders(store.GetConfigPath("Home"));

    OpenWindow("Home");  // must not wait for a writer to the pipe

    EXPECT_TRUE(form.entries.empty());
    EXPECT_EQ(GetConfigText(form.values), GetConfigText(Shown()));
    EXPECT_FALSE(commands.SettingsChanged());
}

}  // namespace
}  // namespace tidemark
