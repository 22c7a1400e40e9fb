// Shows the Help and the About window side by side until it is ended, for screenshots:
//   xvfb-run -s "-screen 0 1280x900x24 -dpi 96" build/tests/help_about_preview
#include <QApplication>

#include "app/help_texts.h"
#include "platform/posix_program_launcher.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_shell.h"
#include "platform/system_clock.h"
#include "ui/frm_about.h"
#include "ui/frm_help.h"
#include "ui/qt_message_box.h"

int main(int argc, char** argv) {
    using namespace tidemark;
    QApplication app(argc, argv);
    const HelpTexts texts = BuildHelpTexts();
    QtLocaleText english(QLocale(QLocale::English, QLocale::UnitedStates));
    QtShell shell;
    ui::QtMessageBox messages;
    PosixProgramLauncher launcher = PosixProgramLauncher::FromEnvironment();
    SystemClock clock;

    ui::HelpWindow help(texts, english, shell, "https://tidemark.example.org/donate");
    ui::FrmHelp& help_window = help.Show(1234567);
    help_window.move(10, 10);

    ui::AboutWindow about(ui::AboutInfo{HelpIntroText()},
                          ui::AboutPorts{shell, messages, launcher, clock, {}});
    ui::FrmAbout& about_window = about.Show();
    about_window.move(help_window.frameGeometry().right() + 20, 10);
    return app.exec();
}
