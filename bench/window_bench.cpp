// tidemark-window-bench: the same tree through `tidemark-bench run` and through the real main
// window, to measure what the window adds to a run. With --hold it keeps the window on screen
// after one run, for a screenshot.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "platform/posix_file_system.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_shell.h"
#include "platform/system_clock.h"
#include "ui/frm_synchronize.h"

extern char** environ;

namespace {

using namespace tidemark;
using Stopwatch = std::chrono::steady_clock;

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

int Spawn(std::vector<std::string> arguments, const char* output) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void FreshFolder(const std::string& path) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tidemark-window-bench [--runs N] [--files N] [--work DIR]\n"
                 "       tidemark-window-bench --hold SECONDS [--files N] [--work DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    int files = 20000;
    double hold = -1;
    std::string work;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i + 1 >= argc)
            return Usage();
        if (argument == "--runs")
            runs = std::atoi(argv[++i]);
        else if (argument == "--files")
            files = std::atoi(argv[++i]);
        else if (argument == "--work")
            work = argv[++i];
        else if (argument == "--hold")
            hold = std::atof(argv[++i]);
        else
            return Usage();
    }
    if (runs < 1 || files < 1)
        return Usage();
    if (hold < 0 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidemark"));

    if (work.empty()) {
        work = (std::filesystem::temp_directory_path() / "tidemark-window-bench").string();
    }
    const std::string source = work + "/src";
    const std::string destination = work + "/dst";
    if (!std::filesystem::exists(source)) {
        std::filesystem::create_directories(work);
        if (Spawn({TIDEMARK_BENCH_PATH, "tree", "--files", std::to_string(files), source},
                  "/dev/null") != 0) {
            std::fprintf(stderr, "could not make the tree in %s\n", source.c_str());
            return 1;
        }
    }

    PosixFileSystem fs;
    SystemClock clock;
    QtLocaleText locale_text;
    MemoryStore store;
    QtShell shell;
    YesMessages messages;
    NoPicker picker;
    ApplicationState state;
    ui::MainWindowHooks hooks;
    hooks.end_program = [] {};
    ui::FrmSynchronize window(
        ui::MainWindowPorts{fs, clock, locale_text, store, shell, messages, picker, state, work,
                            QDir::homePath().toStdString()},
        std::move(hooks));
    window.Load();
    window.show();
    auto run_window = [&] {
        FreshFolder(destination);
        SyncSettings settings = window.CurrentSettings();
        settings.source_path = source;
        settings.destination_path = destination;
        window.ApplySettings(settings);
        window.ClearSettingsChanged();
        QApplication::processEvents();
        const auto start = Stopwatch::now();
        window.SynchronizeNowClicked();
        return std::chrono::duration<double>(Stopwatch::now() - start).count();
    };

    if (hold >= 0) {
        window.resize(900, 600);
        run_window();
        QTimer::singleShot(static_cast<int>(hold * 1000), &application, &QApplication::quit);
        return application.exec();
    }

    auto run_headless = [&] {
        FreshFolder(destination);
        const auto start = Stopwatch::now();
        if (Spawn({TIDEMARK_BENCH_PATH, "run", source, destination}, "/dev/null") != 0) {
            std::fprintf(stderr, "tidemark-bench run failed\n");
            std::exit(1);
        }
        return std::chrono::duration<double>(Stopwatch::now() - start).count();
    };

    run_headless();  // warms the page cache for both
    std::vector<double> headless, windowed, ratios;
    for (int run = 0; run < runs; ++run) {
        // Alternating the order keeps what one run leaves behind (caches, freed inodes) from
        // always counting against the same side.
        double h = 0;
        double w = 0;
        if (run % 2 == 0) {
            h = run_headless();
            w = run_window();
        } else {
            w = run_window();
            h = run_headless();
        }
        headless.push_back(h);
        windowed.push_back(w);
        ratios.push_back(w / h);
        std::printf("run %d: headless %.3f s, window %.3f s, ratio %.3f\n", run + 1, h, w, w / h);
    }
    std::printf("median: headless %.3f s, window %.3f s, ratio window/headless %.3f (%d files)\n",
                Median(headless), Median(windowed), Median(ratios), files);
    std::filesystem::remove_all(destination);
    return 0;
}
