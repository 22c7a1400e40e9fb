// Wires the real ports together for a run without the window.
#include "headless_main.h"

#include <QCoreApplication>
#include <iostream>

#include "app/mod_main.h"
#include "app/program_folder.h"
#include "app/saved_run.h"
#include "platform/background_thread.h"
#include "platform/posix_file_system.h"
#include "platform/posix_log_files.h"
#include "platform/process_setup.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_program_folder.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/system_clock.h"

namespace tidemark {

int RunWithoutWindow(int argc, char* argv[], const CommandLine& command) {
    // No QGuiApplication: the run must work with no display at all (over ssh, from a timer).
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // Results lines can be many: standard output gets a buffer of its own.
    std::ios::sync_with_stdio(false);

    Executor executor(Executor::DefaultThreads(), MarkThreadAsBackground);
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    SystemClock clock;
    QtLocaleText locale_text;
    QtSettingsStore settings;
    PosixLogFiles log_files;

    const std::string program_folder = LocateProgramFolder();
    StartUpResult start = StartUp(program_folder, fs, settings, locale_text);
    RunLog log(log_files, locale_text, LogFolderIn(program_folder));
    log.RemoveOldFiles();

    SavedRunPorts ports{fs,
                        fs,
                        settings,
                        clock,
                        locale_text,
                        start.state,
                        log,
                        std::cout,
                        std::cerr,
                        program_folder,
                        {.executor = &executor}};
    const RunExitStatus status = RunSavedConfiguration(
        ports, command.configuration, command.force_preview, start.exclude_list_failure);
    std::cout.flush();
    return static_cast<int>(status);
}

}  // namespace tidemark
