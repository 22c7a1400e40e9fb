// Configuration files and their index with damaged content, on real files: nothing crashes, a
// damaged configuration is not loaded (the settings stay as they were), and a damaged index
// gives the lines it has, which the next save writes back readable.
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

using testing::CorruptVersionsOf;
using testing::FakeConfigurationForm;
using testing::RecordingRunView;
using testing::TemporaryFolder;
using testing::WriteFile;

SyncSettings Stored() {
    SyncSettings values;
    values.style = 2;
    values.source_path = "/home/ann/Photos";
    values.destination_path = "/media/ann/backup";
    values.use_exclude_list = 1;
    values.log_ignored = 1;
    return values;
}

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
        testing::MakeFolders(program + "/configurations");
        form.values = Shown();
        form.on_change = [this] { commands.MarkSettingsChanged(); };
        form.on_pick = [this] { commands.ConfigurationPicked(); };
    }

    /// The window's load sequence with this name remembered.
    void OpenWindow(const std::string& remembered) {
        commands.Open(remembered);
        commands.ClearSettingsChanged();
    }

    TemporaryFolder folder;
    std::string program = folder / "program";
    PosixFileSystem fs;
    RecordingRunView messages;
    FakeConfigurationForm form;
    ConfigurationStore store{fs, fs, messages, program};
    ConfigurationCommands commands{store, form, messages};
};

TEST_F(CorruptFiles, ADamagedConfigurationIsNotLoadedAndTheSettingsStay) {
    const SyncSettings intact = Stored();
    for (const auto& [what, text] : CorruptVersionsOf(GetConfigText(intact))) {
        SCOPED_TRACE(what);
        WriteFile(store.IndexPath(), "\r\nHome");
        WriteFile(store.GetConfigPath("Home"), text);
        form.values = Shown();

        OpenWindow("Home");

        // Either the nine values came through whole (damage after them is ignored) or
        // nothing was loaded; never a mixture, never a value its control cannot hold.
        const bool loaded = GetConfigText(form.values) == GetConfigText(intact);
        EXPECT_TRUE(loaded || GetConfigText(form.values) == GetConfigText(Shown()))
            << GetConfigText(form.values);
        EXPECT_EQ(loaded, what == "binary bytes after the text");
        EXPECT_EQ(form.entries, std::vector<std::string>{"Home"});
        EXPECT_FALSE(commands.SettingsChanged());
        EXPECT_TRUE(messages.messages.empty());
    }
}

TEST_F(CorruptFiles, ADamagedIndexListsWhatItHoldsAndTheNextSaveWritesItBackReadable) {
    for (const auto& [what, text] : CorruptVersionsOf("\r\nHome\r\nWork\r\nLaptop")) {
        SCOPED_TRACE(what);
        WriteFile(store.IndexPath(), text);
        form.values = Shown();
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
            if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
                expected.push_back(name);
            }
        }
        if (std::find(expected.begin(), expected.end(), "Travel") == expected.end()) {
            expected.push_back("Travel");
        }
        EXPECT_EQ(form.entries, expected);
        const Result<std::string> rewritten = fs.ReadTextFile(store.IndexPath());
        ASSERT_TRUE(rewritten.ok());
        EXPECT_EQ(ParseIndexText(*rewritten), expected);
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
