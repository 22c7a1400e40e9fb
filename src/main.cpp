// Tidemark: wires the real ports together and runs the start-up routine.
#include <QApplication>
#include <QDir>
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/mod_main.h"
#include "app/program_folder.h"
#include "app/reminders.h"
#include "config/configuration_commands.h"
#include "config/configuration_store.h"
#include "headless_main.h"
#include "platform/background_thread.h"
#include "platform/posix_file_system.h"
#include "platform/posix_log_files.h"
#include "platform/posix_program_launcher.h"
#include "platform/process_setup.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_program_folder.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_shell.h"
#include "platform/system_clock.h"
#include "ui/browse_for_folder.h"
#include "ui/frm_about.h"
#include "ui/frm_exclude_list.h"
#include "ui/frm_help.h"
#include "ui/frm_synchronize.h"
#include "ui/main_window_configuration_form.h"
#include "ui/qt_message_box.h"
#include "ui/tidemark_icon.h"

namespace {

std::vector<std::string> Arguments(int argc, char* argv[]) {
    return {argv + std::min(argc, 1), argv + argc};
}

int UsageError(const tidemark::CommandLine& command) {
    std::cerr << "tidemark: " << command.error << "\n\n" << tidemark::UsageText();
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace tidemark;
    PrepareProcess();
    const CommandLine command = ParseCommandLine(Arguments(argc, argv));
    const bool toolkit_options =
        command.kind == CommandLine::Kind::kUsageError && command.toolkit_option;
    switch (toolkit_options ? CommandLine::Kind::kWindow : command.kind) {
        case CommandLine::Kind::kHelp:
            std::cout << UsageText();
            return 0;
        case CommandLine::Kind::kVersion:
            std::cout << kApplicationTitle << " " << TIDEMARK_VERSION << "\n";
            return 0;
        case CommandLine::Kind::kUsageError:
            return UsageError(command);
        case CommandLine::Kind::kRun:
            return RunWithoutWindow(argc, argv, command);
        case CommandLine::Kind::kWindow:
            break;
    }

    QApplication application(argc, argv);
    if (toolkit_options) {
        // The toolkit has taken out the options it knows; anything left is not for the window.
        if (const CommandLine rest = ParseCommandLine(Arguments(argc, argv));
            rest.kind != CommandLine::Kind::kWindow) {
            return UsageError(rest.kind == CommandLine::Kind::kUsageError ? rest : command);
        }
    }
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setWindowIcon(ui::TidemarkIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Tidemark"));

    Executor executor(Executor::DefaultThreads(), MarkThreadAsBackground);
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    SystemClock clock;
    QtLocaleText locale_text;
    QtSettingsStore settings;
    QtShell shell;
    PosixLogFiles log_files;
    ui::QtMessageBox messages;
    ui::QtFolderPicker picker;
    PosixProgramLauncher launcher = PosixProgramLauncher::FromEnvironment();

    const std::string program_folder = LocateProgramFolder();
    StartUpResult start = StartUp(program_folder, fs, settings, locale_text);
    ApplicationState& state = start.state;
    if (start.exclude_list_failure) {
        messages.ShowMessage(
            ExcludeListUnreadableText(state.exclude_list_path, *start.exclude_list_failure),
            MessageButtons::kOk, MessageIcon::kCritical);
    }

    RunLog run_log(log_files, locale_text, LogFolderIn(program_folder));
    run_log.RemoveOldFiles();

    ConfigurationStore configurations(fs, fs, messages, program_folder);
    ui::HelpWindow help(state.help_texts, locale_text, shell, state.donation_address);
    ui::AboutWindow about(ui::AboutInfo{state.help_texts.intro},
                          ui::AboutPorts{shell, messages, launcher, clock, {}});

    ui::MainWindowHooks hooks;
    hooks.exit_reminder = [&] {
        RunExitReminder(settings, locale_text, shell, state.last_reminder_date,
                        state.donation_address);
    };
    // The window is destroyed before the commands it calls: its controls still raise events
    // while it is torn down.
    auto window =
        std::make_unique<ui::FrmSynchronize>(ui::MainWindowPorts{fs,
                                                                 clock,
                                                                 locale_text,
                                                                 settings,
                                                                 shell,
                                                                 messages,
                                                                 picker,
                                                                 state,
                                                                 program_folder,
                                                                 QDir::homePath().toStdString(),
                                                                 {.executor = &executor},
                                                                 &fs,
                                                                 &run_log},
                                             std::move(hooks));
    ui::MainWindowConfigurationForm configuration_form(*window);
    ConfigurationCommands configuration_commands(configurations, configuration_form, messages);
    ui::ConnectConfigurationCommands(*window, configuration_commands);

    ui::MainWindowHooks& window_hooks = window->Hooks();
    window_hooks.show_exclude_list = [&] {
        ui::ShowExcludeListEditor(fs, messages, state.exclude_list_path, state.exclude_list,
                                  window.get());
    };
    window_hooks.show_help = [&] { help.Show(state.usage_counter, window.get()); };
    window_hooks.show_about = [&] { about.Show(window.get()); };
    bool reminder_due = false;
    window_hooks.start_up_reminder = [&] {
        reminder_due = StartupReminderDue(settings, locale_text, state.last_reminder_date);
    };
    window_hooks.farewell = [&] { about.Farewell(2); };

    window->Load();
    ui::ShowMainWindow(*window, help, state.usage_counter, reminder_due);
    const int exit_code = application.exec();
    window.reset();
    return exit_code;
}
