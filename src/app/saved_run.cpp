#include "app/saved_run.h"

#include "app/headless_run_view.h"
#include "config/configuration_store.h"

namespace tidemark {

RunExitStatus RunSavedConfiguration(SavedRunPorts& ports, const std::string& name,
                                    bool force_preview,
                                    const std::optional<Failure>& exclude_list_failure) {
    HeadlessRunView view(ports.lines, ports.messages, &ports.log);
    // The store reports an unreadable file through the view, which counts it as the reason.
    ConfigurationStore store(ports.fs, ports.files, view, ports.program_folder);
    const std::string path = store.GetConfigPath(name);
    Result<std::optional<FileStatus>> found = ports.fs.FindFile(path);
    if (found && !*found) {
        view.Tell("There is no configuration named \"" + name + "\" (no file " + path + ").");
        return RunExitStatus::kCouldNotRun;
    }
    Result<std::optional<SyncSettings>> loaded = store.LoadConfiguration(name);
    if (!loaded) {
        return RunExitStatus::kCouldNotRun;
    }
    if (!*loaded) {
        view.Tell("The configuration \"" + name + "\" in " + path +
                  " does not hold the nine settings of a configuration.");
        return RunExitStatus::kCouldNotRun;
    }
    SyncSettings settings = **loaded;
    if (force_preview) {
        settings.preview_only = CheckState::kChecked;
    }
    if (exclude_list_failure && settings.UsesExcludeList()) {
        view.Tell("The exclude list " + ports.state.exclude_list_path +
                  " could not be read, and the configuration uses it.  " +
                  exclude_list_failure->description);
        return RunExitStatus::kCouldNotRun;
    }

    ports.log.BeginRun(name);
    RunController controller(ports.fs, view, view, ports.clock, ports.format,
                             ports.state.exclude_list, ports.concurrency);
    const std::int32_t processed = controller.SynchronizeNow(settings);
    ports.state.usage_counter = UsageCounterAfterRun(ports.state.usage_counter, processed);
    StoreUsageCounter(ports.settings, ports.state.usage_counter);
    if (const std::optional<std::string> report = ports.log.EndRun()) {
        view.Tell(*report);
    }
    if (!view.Problem().empty()) {
        return RunExitStatus::kCouldNotRun;
    }
    return view.HadFailures() ? RunExitStatus::kFinishedWithFailures : RunExitStatus::kFinished;
}

}  // namespace tidemark
