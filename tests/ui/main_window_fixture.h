#pragma once
// The window tests' shared ground: the widgets and windows they all use, a fresh main window over
// real temporary folders, and the message boxes and folder picker it talks to.

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <memory>

#include "app/folder_picker_port.h"
#include "app/help_texts.h"
#include "config/configuration_commands.h"
#include "engine/clock.h"
#include "platform/posix_file_system.h"
#include "platform/posix_log_files.h"
#include "platform/qt/qt_locale_text.h"
#include "tests/app/app_doubles.h"
#include "tests/support/corrupt_text.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "ui/frm_help.h"
#include "ui/frm_synchronize.h"
#include "ui/main_window_configuration_form.h"
#include "ui/main_window_layout.h"
#include "ui/qt_message_box.h"

namespace tidemark::ui::testing {

using tidemark::testing::FakeTextFormat;
using tidemark::testing::MemorySettingsStore;
using tidemark::testing::RecordingShell;
using tidemark::testing::TemporaryFolder;

/// The control of `window` with this object name; a missing control fails the test at once.
template <typename T>
T& FindControl(QWidget& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) {
        ADD_FAILURE() << "no control " << name;
        std::abort();
    }
    return *control;
}

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "tidemark-ui-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may be gone by the time static objects are.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

/// Message boxes answered from a script as the recording view answers them: the answers given
/// in order, then Yes or OK. `on_show` is called as each box shows, before it is answered.
class ScriptedMessages final : public MessagePort {
  public:
    tidemark::testing::RecordingRunView script;
    std::deque<MessageAnswer>& answers = script.answers;
    std::vector<tidemark::testing::ShownMessage>& shown = script.messages;
    std::function<void(const std::string&)> on_show;

    MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons,
                              MessageIcon icon) override {
        if (on_show)
            on_show(text);
        return script.ShowMessage(text, buttons, icon);
    }
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
    MainWindowTest() {
        App();
        tidemark::testing::MakeFolders(program_folder);
        tidemark::testing::MakeFolders(home_folder);
        state.donation_address = kDonationAddress;
    }

    /// Creates and loads the window; the hooks record what they are asked for ("reminder",
    /// "exit", ...). With `with_commands` the configuration commands are connected as the
    /// program connects them.
    FrmSynchronize& Open(bool with_commands = false, bool show = true) {
        MainWindowHooks hooks;
        for (const auto& [hook, name] : {std::pair{&MainWindowHooks::exit_reminder, "exit"},
                                         {&MainWindowHooks::farewell, "farewell"},
                                         {&MainWindowHooks::end_program, "end"},
                                         {&MainWindowHooks::save_configuration, "save"}})
            hooks.*hook = [this, name = name] { calls.push_back(name); };
        hooks.start_up_reminder = [this] {
            calls.push_back("reminder");
            visible_at_reminder = window->isVisible();
        };
        MainWindowPorts ports{fs,       clock,  format, store,          shell,
                              messages, picker, state,  program_folder, home_folder};
        ports.files = &fs;
        ports.run_log = &run_log;
        window = std::make_unique<FrmSynchronize>(std::move(ports), std::move(hooks));
        if (with_commands) {
            form = std::make_unique<MainWindowConfigurationForm>(*window);
            commands = std::make_unique<ConfigurationCommands>(config, *form, messages);
            ConnectConfigurationCommands(*window, *commands);
        }
        window->Load();
        if (show)
            window->show();
        return *window;
    }
    /// Source and destination folders set into the window, which stays unmarked.
    void UseFolders(const std::string& source, const std::string& destination) {
        SyncSettings settings = window->CurrentSettings();
        settings.source_path = source;
        settings.destination_path = destination;
        window->ApplySettings(settings);
        window->ClearSettingsChanged();
    }
    void Click(const char* button) {
        QTest::mouseClick(&Child<QPushButton>(button), Qt::LeftButton);
    }
    /// Which of the run's buttons and captions show: visible, and a caption not empty.
    std::vector<std::string> RunControlsShown() {
        std::vector<std::string> shown;
        for (const char* name : {"cmdSynchronize", "cmdPause", "cmdStop", "lblApprox",
                                 "lblTimeRemaining", "lblCalculatedTimeMsg"}) {
            auto* label = qobject_cast<QLabel*>(&Child<QWidget>(name));
            if (Child<QWidget>(name).isVisible() && (label == nullptr || !label->text().isEmpty()))
                shown.emplace_back(name);
        }
        return shown;
    }
    std::vector<std::string> Lines() {
        QAbstractItemModel& model = *Child<QAbstractItemView>("lstResults").model();
        std::vector<std::string> lines;
        for (int row = 0; row < model.rowCount(); ++row)
            lines.push_back(model.index(row, 0).data().toString().toStdString());
        return lines;
    }
    template <typename T>
    T& Child(const char* name) {
        return FindControl<T>(*window, name);
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
    std::string program_folder = temp / "program";
    std::string home_folder = temp / "home";
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
