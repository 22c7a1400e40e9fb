#include "engine/run_controller.h"

#include <exception>
#include <limits>
#include <stdexcept>

#include "engine/folder_creation.h"
#include "engine/folder_walk.h"

namespace tidemark {

namespace {

constexpr const char* kPreviewWarning =
    "********** WARNING:  Synchronization is set to use Preview Only Mode!  Changes specified "
    "will not actually be made **********";
constexpr const char* kPreviewClosing =
    "********** Synchronization Processing completed in preview mode! Changes specified were "
    "not actually made **********";
constexpr const char* kCrLf = "\r\n";

/// Throws away what was prepared ahead of the walk when a pass ends, however it ends.
class EndPassOnExit {
  public:
    explicit EndPassOnExit(FilePrefetcher& prefetcher) : prefetcher_(&prefetcher) {}
    ~EndPassOnExit() { Now(); }
    EndPassOnExit(const EndPassOnExit&) = delete;
    EndPassOnExit& operator=(const EndPassOnExit&) = delete;
    void Now() {
        if (prefetcher_ != nullptr) {
            prefetcher_->EndPass();
            prefetcher_ = nullptr;
        }
    }

  private:
    FilePrefetcher* prefetcher_;
};

bool SameText(std::string_view a, std::string_view b, const PathSyntax& syntax) {
    return syntax.fold_case ? UpperCase(a) == UpperCase(b) : a == b;
}

}  // namespace

RunController::RunController(FileSystemPort& fs, RunView& view, Clock& clock, TextFormat& format,
                             const ExcludeList& exclude_list, RunConcurrency concurrency)
    : fs_(fs),
      view_(view),
      clock_(clock),
      format_(format),
      exclude_list_(exclude_list),
      log_(view),
      progress_(view, clock, format, stats_, state_),
      prefetcher_(concurrency.workers, concurrency.window, concurrency.helper_start) {}

std::int32_t RunController::SynchronizeNow(const SyncSettings& settings) {
    log_.Clear();
    if (settings.IsPreview()) {
        log_.AddResult(kPreviewWarning);
    }
    const PathSyntax& syntax = fs_.Syntax();
    const std::string source = FixBackslash(settings.source_path, syntax);
    const std::string destination = FixBackslash(settings.destination_path, syntax);
    view_.SetLocations(source, destination);
    if (IsSameLocation(source, destination)) {
        view_.ShowMessage("The Source and Destination cannot be the same!", MessageButtons::kOk,
                          MessageIcon::kCritical);
        return 0;
    }

    view_.BeginRun();
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
    const std::int32_t processed = stats_.processed_files;
    view_.EndRun();
    return processed;
}

bool RunController::IsSameLocation(const std::string& source, const std::string& destination) {
    const PathSyntax& syntax = fs_.Syntax();
    if (SameText(TrimSpaces(source), TrimSpaces(destination), syntax)) {
        return true;
    }
    // Another spelling of the same folder ("x/", "x/.", a link to it) is the same location
    // too: a Backup of a folder onto itself would otherwise replace every file with itself.
    const auto resolved_source = fs_.ResolveFolder(source);
    const auto resolved_destination = fs_.ResolveFolder(destination);
    return resolved_source && resolved_destination &&
           SameText(*resolved_source, *resolved_destination, syntax);
}

FolderGuard RunController::GuardFor(const std::string& source, const std::string& destination) {
    FolderGuard guard;
    guard.identity = fs_.IdentityOf(destination);
    const auto resolved_source = fs_.ResolveFolder(source);
    const auto resolved_destination = fs_.ResolveFolder(destination);
    if (!resolved_source || !resolved_destination) {
        return guard;
    }
    const PathSyntax& syntax = fs_.Syntax();
    std::string prefix = *resolved_source;
    if (prefix.empty() || prefix.back() != syntax.separator) {
        prefix += syntax.separator;
    }
    if (resolved_destination->size() > prefix.size() &&
        SameText(resolved_destination->substr(0, prefix.size()), prefix, syntax)) {
        guard.path = FixBackslash(
            JoinPath(source, resolved_destination->substr(prefix.size()), syntax), syntax);
    }
    return guard;
}

RunController::PassOutcome RunController::RunPass(const SyncSettings& settings,
                                                  const std::string& source,
                                                  const std::string& destination, bool reverse) {
    ResetRun();
    view_.ShowPassButtons();
    pause_caption_ = "Pause";
    view_.SetPauseCaption(pause_caption_);
    log_.AddResult("Synchronizing " + source + " --> " + destination);

    if (!fs_.FolderExists(source)) {
        view_.ShowMessage(source + " is not a valid location!", MessageButtons::kOk,
                          MessageIcon::kNone);
        return PassOutcome::kCompleted;
    }
    if (!fs_.FolderExists(destination)) {
        const MessageAnswer create =
            view_.ShowMessage(destination + " does not exist.  Would you like to create it now?",
                              MessageButtons::kYesNo, MessageIcon::kQuestion);
        if (create != MessageAnswer::kYes) {
            view_.ShowMessage(
                "The synchronization process cannot continue because the destination folder "
                "does not exist!",
                MessageButtons::kOk, MessageIcon::kNone);
            return PassOutcome::kDeclined;
        }
        if (!settings.IsPreview()) {
            CreateFolderPath(fs_, view_, destination);
        }
    }

    // From here on nothing below the roots is reached through a link.
    const std::unique_ptr<RootAnchor> anchor = fs_.AnchorRoots({source, destination});
    FolderGuard guard = GuardFor(source, destination);
    // What the count keeps for the walk lives as long as the pass, however it ends.
    CountedListings counted_listings;
    PassContext context{fs_,           view_,  log_,        progress_,        format_, settings,
                        exclude_list_, stats_, prefetcher_, counted_listings, guard};
    FolderWalk walk(context);

    log_.SetStatus("Please wait while the workload is estimated.");
    progress_.SetMaximum(100);
    view_.SetTimeRemaining("counting files...");
    const std::int64_t counted = walk.CountFiles(source);
    if (counted > std::numeric_limits<std::int32_t>::max()) {
        throw std::overflow_error("Overflow");
    }
    stats_.total_files = static_cast<std::int32_t>(counted);
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
        if (view_.ShowMessage(confirmation, MessageButtons::kYesNo, MessageIcon::kQuestion) !=
            MessageAnswer::kYes) {
            ResetRun();
            log_.Clear();
            return PassOutcome::kDeclined;
        }
    }

    progress_.SetMaximum(stats_.total_files);
    log_.AddResult("Sychronization of " + total + " files started at " + Now() + "!");
    state_.start_time = clock_.Seconds();
    prefetcher_.StartPass(
        PassRoute{fs_, settings, exclude_list_, source, destination, guard, counted_listings});
    EndPassOnExit end_pass(prefetcher_);
    walk.ProcessFolder(source, source, destination);
    end_pass.Now();
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
    view_.RefreshStyleDescription();
    log_.SetStatus("Ready!");
    stats_ = SyncStats{};
    progress_.SetValue(0);
}

void RunController::PauseClicked() {
    if (pause_caption_ == "Pause") {
        log_.AddResult("Synchronization paused due to user request...");
        state_.paused = true;
        pause_caption_ = "Continue";
    } else {
        log_.AddResult("Synchronization continued due to user request...");
        pause_caption_ = "Pause";
        state_.paused = false;
    }
    view_.SetPauseCaption(pause_caption_);
}

void RunController::AbandonRun() {
    prefetcher_.Abandon();
    prefetcher_.EndPass();
}

void RunController::StopClicked() {
    log_.AddResult("Synchronization stopped prior to completion due to user request...");
    state_.stop_requested = true;
}

}  // namespace tidemark
