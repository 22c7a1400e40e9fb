#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/folder_picker_port.h"
#include "app/shell_port.h"
#include "config/configuration_commands.h"
#include "engine/clock.h"
#include "engine/messages.h"
#include "platform/posix_file_system.h"
#include "platform/posix_log_files.h"
#include "tests/app/app_doubles.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "tests/ui/find_control.h"
#include "ui/frm_synchronize.h"
#include "ui/main_window_configuration_form.h"

namespace tidemark::ui::testing {

using tidemark::testing::FakeTextFormat;
using tidemark::testing::MemorySettingsStore;
using tidemark::testing::RecordingShell;
using tidemark::testing::TemporaryFolder;

QApplication& App();

/// Message boxes answered from a script: the answers given in order, then Yes or OK. Each
/// question is recorded with the number of results lines the window showed at that moment.
class ScriptedMessages final : public MessagePort {
  public:
    struct Shown {
        std::string text;
        MessageButtons buttons;
        MessageIcon icon;
        int lines_shown;
    };
    std::deque<MessageAnswer> answers;
    std::vector<Shown> shown;
    /// Called as each box shows, before it is answered.
    std::function<void(const std::string&)> on_show;
    std::function<int()> count_lines;

    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon icon) override;
};

class ScriptedPicker final : public FolderPickerPort {
  public:
    std::vector<std::string> starts;
    std::string answer;
    std::string BrowseForFolder(const std::string& start_folder, const std::string&) override {
        starts.push_back(start_folder);
        return answer;
    }
};

/// A clock that moves a millisecond at every reading, so the window refreshes every few files
/// in a way that does not depend on the machine's speed.
class SteppingClock final : public Clock {
  public:
    double seconds = 1000.0;
    double step = 0.001;
    double Seconds() override { return seconds += step; }
    FileTime Now() override { return 1'600'000'000'000'000'000; }
};

/// A fresh main window over real temporary folders and a fresh settings store.
class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest();

    /// Creates and loads the window; the hooks record what they are asked for. With
    /// `with_commands` the configuration commands are connected as the program connects them.
    FrmSynchronize& Open(bool with_commands = false, bool show = true);
    /// Source and destination folders in the temporary folder, set into the window.
    void UseFolders(const std::string& source, const std::string& destination);
    void Click(const char* button);
    std::vector<std::string> Lines() const;

    template <typename T>
    T& Child(const char* name) {
        return tidemark::testing::FindControl<T>(*window, name);
    }

    TemporaryFolder temp;
    PosixFileSystem fs;
    SteppingClock clock;
    FakeTextFormat format;
    MemorySettingsStore store;
    RecordingShell shell;
    ScriptedMessages messages;
    ScriptedPicker picker;
    ApplicationState state;
    std::string program_folder;
    std::string home_folder;
    /// Hook calls in order: "reminder", "exit", "farewell", "end", "save", "help"...
    std::vector<std::string> calls;
    bool visible_at_reminder = true;
    ConfigurationStore config{fs, fs, messages, program_folder};
    /// Runs are logged in the program folder, on 1 June 2026.
    PosixLogFiles log_files;
    tidemark::testing::TestCalendar calendar;
    RunLog run_log{log_files, calendar, program_folder + "/logs"};
    std::unique_ptr<MainWindowConfigurationForm> form;
    std::unique_ptr<ConfigurationCommands> commands;
    // Last, so that it goes first: while it is torn down its controls still raise events.
    std::unique_ptr<FrmSynchronize> window;
};

}  // namespace tidemark::ui::testing
