#include "engine/run_controller.h"

#include <exception>

#include "engine/walk.h"

namespace tidemark {

namespace {

constexpr const char* kPreviewWarning =
    "********** WARNING:  Synchronization is set to use Preview Only Mode!  Changes specified "
    "will not actually be made **********";
constexpr const char* kPreviewClosing =
    "********** Synchronization Processing completed in preview mode! Changes specified were "
    "not actually made **********";
constexpr const char* kCrLf = "\r\n";

/// Creates every missing level of a destination root, top down; a failure stops at once,
/// keeping the levels created so far. A path that does not start at a root is refused.
void CreateFolderPath(FileSystemPort& fs, MessagePort& messages, const std::string& path) {
    const PathSyntax& syntax = fs.Syntax();
    if (!syntax.IsComplete(path)) {
        messages.ShowMessage(
            "You must use a complete file path from a root drive when creating folders!  Ex. " +
                syntax.RootExample(),
            MessageButtons::kOk, MessageIcon::kNone);
        return;
    }
    // A drive-letter path starts from "X:"; a POSIX path from the root, whose first element
    // is the empty text before the leading separator.
    std::string accumulated = syntax.drive_letters ? path.substr(0, 2) : std::string();
    std::size_t start = path.find(syntax.separator);
    while (start != std::string::npos) {
        const std::size_t end = path.find(syntax.separator, start + 1);
        accumulated += syntax.separator;
        accumulated += path.substr(start + 1, end == std::string::npos ? end : end - start - 1);
        if (!fs.FolderExists(accumulated) && !fs.CreateFolder(accumulated)) {
            messages.ShowMessage("There were errors creating the folder " + path,
                                 MessageButtons::kOk, MessageIcon::kCritical);
            return;
        }
        start = end;
    }
}

}  // namespace

RunController::RunController(FileSystemPort& fs, RunReport& report, RunHost& host, Clock& clock,
                             TextFormat& format, const ExcludeList& exclude_list,
                             RunConcurrency concurrency)
    : fs_(fs),
      report_(report),
      host_(host),
      clock_(clock),
      format_(format),
      exclude_list_(exclude_list),
      concurrency_(concurrency),
      own_executor_(concurrency.executor == nullptr && concurrency.workers > 0
                        ? std::make_unique<Executor>(concurrency.workers + 1)
                        : nullptr),
      log_(report, host),
      progress_(report, host, clock, format, stats_, state_) {}

std::int32_t RunController::SynchronizeNow(const SyncSettings& settings, const RunStages& stages) {
    log_.Clear();
    if (settings.IsPreview()) {
        log_.AddResult(kPreviewWarning);
    }
    const PathSyntax& syntax = fs_.Syntax();
    const std::string source = FixBackslash(settings.source_path, syntax);
    const std::string destination = FixBackslash(settings.destination_path, syntax);
    if (stages.locations) {
        stages.locations(source, destination);
    }
    if (IsSameLocation(source, destination)) {
        host_.ShowMessage("The Source and Destination cannot be the same!", MessageButtons::kOk,
                          MessageIcon::kCritical);
        return 0;
    }

    if (stages.begins) {
        stages.begins();
    }
    try {
        const PassOutcome forward = RunPass(settings, source, destination, false);
        // A stopped pass means the user wants the run over: no reverse pass follows it.
        if (forward == PassOutcome::kCompleted && settings.ReversesAfterwards()) {
            RunPass(settings, destination, source, true);
        }
    } catch (const std::exception& error) {
        log_.AddResult(std::string("The synchronization could not be completed.  ") + error.what());
    }
    if (settings.IsPreview()) {
        log_.AddResult(kPreviewClosing);
    }
    if (stages.ends) {
        stages.ends();
    }
    return stats_.processed_files;
}

bool RunController::IsSameLocation(const std::string& source, const std::string& destination) {
    const PathSyntax& syntax = fs_.Syntax();
    if (syntax.SameText(TrimSpaces(source), TrimSpaces(destination))) {
        return true;
    }
    // Another spelling of the same folder ("x/", "x/.", a link to it) is the same location
    // too: a Backup of a folder onto itself would otherwise replace every file with itself.
    const auto resolved_source = fs_.ResolveFolder(source);
    const auto resolved_destination = fs_.ResolveFolder(destination);
    return resolved_source && resolved_destination &&
           syntax.SameText(*resolved_source, *resolved_destination);
}

std::string RunController::GuardedPath(const std::string& source, const std::string& destination) {
    const auto resolved_source = fs_.ResolveFolder(source);
    const auto resolved_destination = fs_.ResolveFolder(destination);
    if (!resolved_source || !resolved_destination) {
        return {};
    }
    const PathSyntax& syntax = fs_.Syntax();
    std::string prefix = *resolved_source;
    if (prefix.empty() || prefix.back() != syntax.separator) {
        prefix += syntax.separator;
    }
    if (resolved_destination->size() == prefix.size() ||
        !syntax.StartsWith(*resolved_destination, prefix)) {
        return {};
    }
    return FixBackslash(JoinPath(source, resolved_destination->substr(prefix.size()), syntax),
                        syntax);
}

RunController::PassOutcome RunController::RunPass(const SyncSettings& settings,
                                                  const std::string& source,
                                                  const std::string& destination, bool reverse) {
    ResetRun();
    pause_caption_ = "Pause";
    report_.SetPauseCaption(pause_caption_);
    log_.AddResult("Synchronizing " + source + " --> " + destination);

    if (!fs_.FolderExists(source)) {
        host_.ShowMessage(source + " is not a valid location!", MessageButtons::kOk,
                          MessageIcon::kNone);
        return PassOutcome::kCompleted;
    }
    if (!fs_.FolderExists(destination)) {
        const MessageAnswer create =
            host_.ShowMessage(destination + " does not exist.  Would you like to create it now?",
                              MessageButtons::kYesNo, MessageIcon::kQuestion);
        if (create != MessageAnswer::kYes) {
            host_.ShowMessage(
                "The synchronization process cannot continue because the destination folder "
                "does not exist!",
                MessageButtons::kOk, MessageIcon::kNone);
            return PassOutcome::kDeclined;
        }
        if (!settings.IsPreview()) {
            CreateFolderPath(fs_, host_, destination);
        }
    }

    // From here on nothing below the roots is reached through a link.
    const std::unique_ptr<RootAnchor> anchor = fs_.AnchorRoots({source, destination});
    const Pass pass{fs_,
                    settings,
                    exclude_list_,
                    source,
                    destination,
                    GuardedPath(source, destination),
                    fs_.IdentityOf(destination),
                    fs_.TimeStep(destination)};
    Executor* executor =
        concurrency_.executor != nullptr ? concurrency_.executor : own_executor_.get();
    // What the count keeps for the walk lives as long as the pass, however it ends.
    TreeSurvey survey;

    log_.SetStatus("Please wait while the workload is estimated.");
    progress_.SetMaximum(100);
    report_.SetTimeRemaining("counting files...");
    // As many threads list folders as prepare files during the pass.
    TreeCount count(pass, &survey, executor, concurrency_.workers - 1);
    const std::int64_t counted = CountFiles(count, source, progress_, log_);
    stats_.total_files = 0;
    Count(stats_.total_files, counted);  // refuses a total past the counters' range
    progress_.SetValue(0);
    const std::string total = std::to_string(stats_.total_files);
    log_.SetStatus(total + " files were found in the source path and all sub-folders.");
    if (stats_.total_files < 1) {
        log_.AddResult("No files or folders are located in the source directory!");
        return PassOutcome::kCompleted;
    }

    if (!reverse) {
        std::string confirmation = source + " --> " + destination + kCrLf + kCrLf +
                                   "Are you sure you want to synchronize " + total + " files now?";
        if (settings.EffectiveStyle() == SyncStyle::kBackup) {
            confirmation += std::string(kCrLf) + kCrLf +
                            "WARNING:  THIS WILL OVERWRITE ALL EXISTING FILES IN " + destination;
        }
        if (host_.ShowMessage(confirmation, MessageButtons::kYesNo, MessageIcon::kQuestion) !=
            MessageAnswer::kYes) {
            ResetRun();
            log_.Clear();
            return PassOutcome::kDeclined;
        }
    }

    progress_.SetMaximum(stats_.total_files);
    log_.AddResult("Sychronization of " + total + " files started at " + Now() + "!");
    state_.start_time = clock_.Seconds();
    {
        LookAhead look_ahead(pass, survey, executor, concurrency_.workers, concurrency_.bounds,
                             state_.paused);
        look_ahead_ = &look_ahead;
        struct Forget {
            LookAhead*& look_ahead;
            ~Forget() { look_ahead = nullptr; }
        } forget{look_ahead_};
        Walk walk(pass, look_ahead, log_, progress_, stats_, format_);
        walk.ProcessFolder(source);
    }
    if (!state_.stop_requested) {
        progress_.Fill();
    }
    log_.AddResult("Sychronization completed at " + Now() + "!");
    WriteSummary();
    log_.AddResult("Done!");
    return state_.stop_requested ? PassOutcome::kStopped : PassOutcome::kCompleted;
}

void RunController::WriteSummary() {
    log_.AddResult(" --> Total files processed during synchronization: " +
                   std::to_string(stats_.processed_files));
    const std::pair<const char*, std::int32_t> rows[] = {
        {" --> Total folders created: ", stats_.created_folders},
        {" --> Total folders excluded: ", stats_.excluded_folders},
        {" --> Total files already existed: ", stats_.existing_files},
        {" --> Total files copied: ", stats_.copied_files},
        {" --> Total files updated: ", stats_.updated_files},
        {" --> Total files excluded: ", stats_.excluded_files},
        {" --> Total hidden files ignored: ", stats_.hidden_ignored},
        {" --> Total system files ignored: ", stats_.system_ignored},
        {" --> Total files/folders could not be processed due to permission error: ",
         stats_.permission_errors},
        {" --> Total files could not be processed due to other errors: ", stats_.other_errors},
    };
    for (const auto& [text, value] : rows) {
        if (value > 0) {
            log_.AddResult(text + std::to_string(value));
        }
    }
}

std::string RunController::Now() {
    return format_.DateTime(clock_.Now());
}

void RunController::ResetRun() {
    state_.paused = false;
    state_.stop_requested = false;
    log_.SetStatus("Ready!");
    stats_ = SyncStats{};
    progress_.SetValue(0);
}

void RunController::PauseClicked() {
    const bool pause = pause_caption_ == "Pause";
    log_.AddResult(pause ? "Synchronization paused due to user request..."
                         : "Synchronization continued due to user request...");
    state_.paused = pause;
    pause_caption_ = pause ? "Continue" : "Pause";
    report_.SetPauseCaption(pause_caption_);
    if (look_ahead_ != nullptr) {
        look_ahead_->Hold(state_.paused);  // no new work starts while paused
    }
}

void RunController::StopClicked() {
    log_.AddResult("Synchronization stopped prior to completion due to user request...");
    state_.stop_requested = true;
}

}  // namespace tidemark
