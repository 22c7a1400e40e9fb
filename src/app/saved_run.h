#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "app/application_state.h"
#include "app/run_log.h"
#include "app/settings_store.h"
#include "engine/run_controller.h"

namespace tidemark {

/// The exit status of `tidemark --run`.
enum class RunExitStatus : int {
    kFinished = 0,              ///< every pass finished and no line reported a failure
    kFinishedWithFailures = 1,  ///< the passes finished, but lines reported failures
    kCouldNotRun = 2,           ///< the configuration or a location did not allow the run
};

/// What a run without the window works with; all of it outlives the run.
struct SavedRunPorts {
    FileSystemPort& fs;
    TextFilePort& files;
    SettingsStore& settings;
    Clock& clock;
    TextFormat& format;
    /// As start-up left it; the usage counter grows by the run.
    ApplicationState& state;
    RunLog& log;
    /// Results lines.
    std::ostream& lines;
    /// Messages, and the reason when the run could not be done.
    std::ostream& messages;
    std::string program_folder;
    RunConcurrency concurrency = {};
};

/// Runs the saved configuration `name` as Synchronize Now! would in the window, with no window
/// and no question: a missing destination is created and the confirmation answered Yes. With
/// `force_preview` the run is a preview whatever the configuration says. The usage counter
/// grows and is stored. `exclude_list_failure` is start-up's: a configuration that uses the
/// exclude list does not run without it.
RunExitStatus RunSavedConfiguration(SavedRunPorts& ports, const std::string& name,
                                    bool force_preview,
                                    const std::optional<Failure>& exclude_list_failure);

}  // namespace tidemark
