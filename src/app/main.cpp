// Tidemark: wires the real ports together and runs the start-up routine.
#include <QApplication>
#include <QDir>

#include "app/mod_main.h"
#include "app/reminders.h"
#include "platform/posix_file_system.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_program_folder.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_shell.h"
#include "platform/system_clock.h"
#include "ui/browse_for_folder.h"
#include "ui/frm_synchronize.h"
#include "ui/qt_message_box.h"

int main(int argc, char* argv[]) {
    using namespace tidemark;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));

    PosixFileSystem fs;
    SystemClock clock;
    QtLocaleText locale_text;
    QtSettingsStore settings;
    QtShell shell;
    ui::QtMessageBox messages;
    ui::QtFolderPicker picker;

    const std::string program_folder = LocateProgramFolder();
    StartUpResult start = StartUp(program_folder, fs, settings, locale_text);
    ApplicationState& state = start.state;
    if (start.exclude_list_failure) {
        messages.ShowMessage(
            ExcludeListUnreadableText(state.exclude_list_path, *start.exclude_list_failure),
            MessageButtons::kOk, MessageIcon::kCritical);
    }

    ui::MainWindowHooks hooks;
    hooks.exit_reminder = [&] {
        RunExitReminder(settings, locale_text, shell, state.last_reminder_date,
                        state.donation_address);
    };
    ui::FrmSynchronize window(
        ui::MainWindowPorts{fs, clock, locale_text, settings, shell, messages, picker, state,
                            program_folder, QDir::homePath().toStdString()},
        std::move(hooks));
    window.Load();
    window.show();
    return application.exec();
}
