#include "tests/ui/main_window_fixture.h"

#include <QAbstractItemView>
#include <QPushButton>
#include <QTest>

#include "ui/results_model.h"

namespace tidemark::ui::testing {

QApplication& App() {
    static int argc = 1;
    static char name[] = "tidemark-ui-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may be gone by the time static objects are.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

MessageAnswer ScriptedMessages::ShowMessage(const std::string& text, MessageButtons buttons,
                                            MessageIcon icon) {
    shown.push_back(Shown{text, buttons, icon, count_lines ? count_lines() : -1});
    if (on_show)
        on_show(text);
    if (!answers.empty()) {
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kYes;
}

MainWindowTest::MainWindowTest() : program_folder(temp / "program"), home_folder(temp / "home") {
    App();
    tidemark::testing::MakeFolders(program_folder);
    tidemark::testing::MakeFolders(home_folder);
    state.donation_address = kDonationAddress;
}

FrmSynchronize& MainWindowTest::Open(bool with_commands, bool show) {
    MainWindowHooks hooks;
    auto record = [this](const char* what) { return [this, what] { calls.push_back(what); }; };
    hooks.start_up_reminder = [this] {
        calls.push_back("reminder");
        visible_at_reminder = window->isVisible();
    };
    hooks.exit_reminder = record("exit");
    hooks.farewell = record("farewell");
    hooks.end_program = record("end");
    hooks.save_configuration = record("save");
    hooks.show_help = record("help");
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
    messages.count_lines = [this] {
        return window->findChild<QAbstractItemView*>(QStringLiteral("lstResults"))
            ->model()
            ->rowCount();
    };
    window->Load();
    if (show)
        window->show();
    return *window;
}

void MainWindowTest::UseFolders(const std::string& source, const std::string& destination) {
    window->ApplySettings([&] {
        SyncSettings settings = window->CurrentSettings();
        settings.source_path = source;
        settings.destination_path = destination;
        return settings;
    }());
    window->ClearSettingsChanged();
}

void MainWindowTest::Click(const char* button) {
    QTest::mouseClick(&Child<QPushButton>(button), Qt::LeftButton);
}

std::vector<std::string> MainWindowTest::Lines() const {
    auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("lstResults"));
    std::vector<std::string> lines;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        lines.push_back(list->model()->index(row, 0).data().toString().toStdString());
    }
    return lines;
}

}  // namespace tidemark::ui::testing
