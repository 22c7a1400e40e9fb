// tidemark-window-bench: one pass through the real main window (offscreen unless a display is
// asked for), with every question answered Yes, so that `tidemark-bench compare` can measure
// what the window adds to a run. With --hold it keeps the window on screen after the run, for
// a screenshot; --pause-after holds the run paused that many seconds after the click, and
// --size sets the window's size, for screenshots too.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "platform/background_thread.h"
#include "platform/posix_file_system.h"
#include "platform/process_setup.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_shell.h"
#include "platform/system_clock.h"
#include "ui/frm_synchronize.h"

namespace {

using namespace tidemark;

class MemoryStore final : public SettingsStore {
  public:
    std::string Read(const std::string& key, const std::string& fallback) override {
        const auto found = values_.find(key);
        return found == values_.end() ? fallback : found->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
        values_[key] = value;
        return true;
    }

  private:
    std::map<std::string, std::string> values_;
};

/// Answers every question Yes, as the headless driver does.
class YesMessages final : public MessagePort {
  public:
    MessageAnswer ShowMessage(const std::string&, MessageButtons buttons, MessageIcon) override {
        return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kYes;
    }
};

class NoPicker final : public FolderPickerPort {
  public:
    std::string BrowseForFolder(const std::string&, const std::string&) override { return {}; }
};

int Usage() {
    std::fprintf(stderr,
                 "usage: tidemark-window-bench [--style safe|normal|backup] [--hold SECONDS]\n"
                 "                             [--preview] [--reverse] [--pause-after SECONDS]\n"
                 "                             [--size WIDTHxHEIGHT] SOURCE DESTINATION\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    SyncStyle style = SyncStyle::kSafeMode;
    double hold = -1;
    bool preview = false;
    bool reverse = false;
    double pause_after = -1;
    int width = 900;
    int height = 600;
    std::vector<std::string> locations;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--style" && i + 1 < argc) {
            const std::string name = argv[++i];
            if (name == "safe")
                style = SyncStyle::kSafeMode;
            else if (name == "normal")
                style = SyncStyle::kNormal;
            else if (name == "backup")
                style = SyncStyle::kBackup;
            else
                return Usage();
        } else if (argument == "--hold" && i + 1 < argc) {
            hold = std::atof(argv[++i]);
        } else if (argument == "--preview") {
            preview = true;
        } else if (argument == "--reverse") {
            reverse = true;
        } else if (argument == "--pause-after" && i + 1 < argc) {
            pause_after = std::atof(argv[++i]);
        } else if (argument == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2)
                return Usage();
        } else if (argument.starts_with("--")) {
            return Usage();
        } else {
            locations.push_back(argument);
        }
    }
    if (locations.size() != 2) {
        return Usage();
    }
    if (hold < 0 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qt_argc = 1;  // Qt has a -style option of its own: it must not see ours
    QApplication application(qt_argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidemark"));

    const std::string work = std::filesystem::temp_directory_path().string();
    SystemClock clock;
    QtLocaleText locale_text;
    MemoryStore store;
    QtShell shell;
    YesMessages messages;
    NoPicker picker;
    ApplicationState state;
    ui::MainWindowHooks hooks;
    hooks.end_program = [] {};
    PrepareProcess();
    Executor executor(Executor::DefaultThreads(), MarkThreadAsBackground);
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    ui::FrmSynchronize window(ui::MainWindowPorts{fs,
                                                  clock,
                                                  locale_text,
                                                  store,
                                                  shell,
                                                  messages,
                                                  picker,
                                                  state,
                                                  work,
                                                  work,
                                                  {.executor = &executor}},
                              std::move(hooks));
    window.Load();
    window.show();
    if (hold >= 0) {
        window.move(0, 0);
        window.resize(width, height);
    }
    SyncSettings settings = window.CurrentSettings();
    settings.source_path = locations[0];
    settings.destination_path = locations[1];
    settings.style = style;
    settings.ignore_hidden = CheckState::kUnchecked;  // everything is copied, as rsync and cp do
    settings.ignore_system = CheckState::kUnchecked;
    settings.preview_only = preview ? CheckState::kChecked : CheckState::kUnchecked;
    settings.reverse_sync = reverse ? CheckState::kChecked : CheckState::kUnchecked;
    window.ApplySettings(settings);
    window.ClearSettingsChanged();
    QApplication::processEvents();

    // When the button was pressed and when the run was over, on the clock every process
    // shares, for the caller to time the run without the window's start-up and shut-down.
    auto print_time = [](const char* what) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("%s %lld\n", what,
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stdout);
    };
    if (pause_after >= 0) {
        // Paused, the run waits in its pause loop until the process is ended.
        QTimer::singleShot(static_cast<int>(pause_after * 1000), &window,
                           &ui::FrmSynchronize::PauseClicked);
    }
    print_time("clicked");
    window.SynchronizeNowClicked();
    fs.ReleaseReplaced();  // as the headless driver does before it ends
    print_time("finished");
    if (hold >= 0) {
        QTimer::singleShot(static_cast<int>(hold * 1000), &application, &QApplication::quit);
        return application.exec();
    }
    return 0;
}
