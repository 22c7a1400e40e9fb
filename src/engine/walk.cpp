#include "engine/walk.h"

#include <cerrno>

namespace tidemark {

namespace {

std::string CouldNotProcessLine(std::string_view what, const std::string& path,
                                const Failure& failure) {
    return std::string(what) + path + " could not be processed.  " + failure.description;
}

bool IsNameTaken(const Failure& failure) {
    return failure.number == FailureFromErrno(EEXIST).number;
}

void CountFailure(SyncStats& stats, const Failure& failure) {
    Count(failure.IsAccessDenied() ? stats.permission_errors : stats.other_errors);
}

}  // namespace

std::int64_t CountFiles(TreeCount& count, const std::string& folder, RunProgress& progress,
                        ResultsLog& log) {
    return count.Count(
        folder,
        [&] {
            progress.StepActivity();
            log.Repaint();
        },
        [&](const std::string& unreadable, const Failure& failure) {
            log.AddResult(CouldNotProcessLine("Object ", unreadable, failure), unreadable);
        });
}

void Walk::ProcessFolder(const std::string& folder, bool new_destination, int depth,
                         std::shared_ptr<const HeldFolder> made) {
    if (pass_.Excludes(folder)) {
        // On this thread alone: the executor's threads are busy with the pass.
        TreeCount count(pass_, nullptr, nullptr, 0);
        const std::int64_t files = CountFiles(count, folder, progress_, log_);
        log_.AddResult("Skipping " + std::to_string(files) + " files in folder " + folder +
                           " due to custom Exclude List!",
                       folder);
        Count(stats_.excluded_files, files);
        Count(stats_.processed_files, files);
        return;
    }
    // One listing serves both loops; a folder that cannot be listed is reported by each.
    const LookAhead::Visit visit = look_ahead_.Listing(folder, depth, std::move(made));
    const Result<FolderListing>& listing = *visit.listing;
    if (!listing.ok()) {
        const Failure& failure = listing.failure();
        log_.AddResult(CouldNotProcessLine("Folder ", "", failure));
        log_.AddResult("Files could not be retrieved from " + folder + ". " + failure.description,
                       folder);
        return;
    }
    if (pass_.IsDestinationRoot(listing.value())) {
        return;  // the destination root, reached under another name after the count
    }
    ProcessSubFolders(visit, new_destination, depth);
    ProcessFiles(folder, visit, new_destination);
}

void Walk::ProcessSubFolders(const LookAhead::Visit& visit, bool new_destination, int depth) {
    const FolderListing& listing = visit.listing->value();
    // In a folder this pass made, nothing is there yet: unless two names meet in one.
    const bool look = !new_destination || NamesFoldTogether(listing.sub_folders);
    const HeldFolder* parent = visit.destination_folder.get();
    for (const SubFolderStep& step : SubFoldersOf(pass_, listing, look_ahead_.Guarded())) {
        bool created = false;
        std::shared_ptr<const HeldFolder> made_folder;
        if (step.excluded_destination) {
            log_.AddResult("Excluding folder " + step.destination, step.destination);
            Count(stats_.excluded_folders);
        } else if (!look || !pass_.fs.FolderExistsIn(parent, step.destination)) {
            log_.AddResult("Creating Folder " + step.destination, step.destination);
            if (!pass_.settings.IsPreview()) {
                if (Status creation = pass_.fs.CreateFolderIn(parent, step.destination);
                    !creation) {
                    // Nothing can go into a folder that could not be made (a file or a link
                    // may stand in its place): its tree is left out, its siblings are not.
                    const Failure& failure = creation.failure();
                    log_.AddResult(CouldNotProcessLine("Folder ", step.destination, failure),
                                   step.destination);
                    CountFailure(stats_, failure);
                    if (progress_.PollPauseStop()) {
                        return;
                    }
                    continue;
                }
                if (depth + 1 < kMostHeldLevels) {
                    made_folder = pass_.fs.HoldFolderIn(parent, step.destination);
                }
            }
            Count(stats_.created_folders);
            created = true;
        }
        ProcessFolder(step.folder->path, created, depth + 1, std::move(made_folder));
        if (progress_.PollPauseStop()) {
            return;
        }
    }
}

void Walk::ProcessFiles(const std::string& folder, const LookAhead::Visit& visit,
                        bool new_destination) {
    const FolderListing& listing = visit.listing->value();
    if (listing.files.empty()) {
        return;
    }
    destination_folder_ = pass_.DestinationOf(folder);
    folder_key_ = UpperCase(destination_folder_);
    met_before_ = !folders_met_.insert(folder_key_).second;
    leftovers_to_remove_ = !new_destination && !pass_.settings.IsPreview();
    LookAhead::Files files = look_ahead_.FilesOf(folder, visit, new_destination);
    // Whatever was prepared ahead and not taken goes when the loop is left, however.
    struct DoneOnExit {
        LookAhead& look_ahead;
        LookAhead::Files& files;
        ~DoneOnExit() { look_ahead.Done(files); }
    } done{look_ahead_, files};
    double previous_estimate = 0.0;
    for (std::size_t i = 0; i < listing.files.size(); ++i) {
        ProcessFile(listing.files[i], files.Take(i), files);
        Count(stats_.processed_files);
        progress_.UpdateProgress(previous_estimate);
        if (progress_.PollPauseStop()) {
            return;
        }
        log_.ProcessEvents();
    }
}

void Walk::ProcessFile(const FileEntry& file, PreparedFile prepared, LookAhead::Files& files) {
    static const std::string kSynchronizing = "synchronizing...";
    log_.SetStatus(kSynchronizing);
    if (prepared.skip) {
        ReportSkip(file, *prepared.skip);
        return;
    }
    Confirm(file, prepared, files);
    std::vector<Failure> failures;
    if (!pass_.settings.IsPreview()) {
        failures = Apply(file, prepared, files);
    }
    Report(prepared, failures);
}

void Walk::Confirm(const FileEntry& file, PreparedFile& prepared, LookAhead::Files& files) {
    const FolderPlace& place = files.place();
    if (files.LookedInNewFolder() &&
        (!prepared.destination_status.ok() || prepared.DestinationExists())) {
        Decide(file, prepared, place, /*look=*/false);
    }
    // A file of a new folder is decided without a look, as it is in a pass on its own; a name
    // taken since shows when the copy is put in place, and is decided again then.
    if (!files.PreparedAhead() || place.new_destination) {
        return;
    }
    const auto changed = last_changes_.find(folder_key_);
    if (changed == last_changes_.end() || changed->second <= prepared.seen) {
        return;
    }
    if (met_before_ || files.NamesFoldTogether()) {
        Decide(file, prepared, place, /*look=*/true);
    }
}

void Walk::Decide(const FileEntry& file, PreparedFile& prepared, const FolderPlace& place,
                  bool look) {
    FolderPlace now = place;
    now.new_destination = !look;
    LookUp(pass_, now, file, prepared);
    if (prepared.action == FileAction::kKeep) {
        Discard(pass_, prepared);
    }
}

void Walk::StageInTurn(const FileEntry& file, PreparedFile& prepared, LookAhead::Files& files) {
    Stage(pass_, files.place(), file, prepared);
    if (prepared.staged->ok() || !prepared.staged->failure().IsNoSpace()) {
        return;
    }
    // As on its own, the pass has the destination's room for this file: copies staged ahead
    // give it back, and so do the files replaced so far, which are let go of in the background.
    look_ahead_.GiveBackSpace(files);
    pass_.fs.ReleaseReplaced();
    Stage(pass_, files.place(), file, prepared);
}

std::vector<Failure> Walk::Apply(const FileEntry& file, PreparedFile& prepared,
                                 LookAhead::Files& files, bool retried) {
    std::vector<Failure> failures;
    if (prepared.action == FileAction::kKeep) {
        return failures;
    }
    const bool replace = prepared.action != FileAction::kCreate;
    const HeldFolder* folder = files.place().destination_folder.get();
    if (replace) {
        if (Status deletable = pass_.fs.CheckDeletableIn(folder, prepared.destination);
            !deletable) {
            failures.push_back(deletable.failure());
        }
    }
    if (!prepared.staged) {
        StageInTurn(file, prepared, files);
    }
    if (!prepared.staged->ok()) {
        failures.push_back(prepared.staged->failure());
        prepared.staged.reset();
        return failures;
    }
    if (leftovers_to_remove_ && files.ClaimCleanup()) {
        pass_.fs.RemoveLeftoversIn(folder, destination_folder_);
    }
    leftovers_to_remove_ = false;
    Status committed = pass_.fs.CommitCopyIn(folder, prepared.staged->value(), replace);
    if (committed) {
        prepared.staged.reset();
        last_changes_[folder_key_] = look_ahead_.CountChange();
        return failures;
    }
    if (!replace && !retried && IsNameTaken(committed.failure())) {
        // The name was taken since the file was looked at: decided again, in turn.
        Decide(file, prepared, files.place(), /*look=*/true);
        return Apply(file, prepared, files, /*retried=*/true);
    }
    Discard(pass_, prepared);
    failures.push_back(committed.failure());
    return failures;
}

void Walk::Report(const PreparedFile& prepared, const std::vector<Failure>& failures) {
    const std::string& destination = prepared.destination;
    bool failed = !failures.empty();
    auto report_failure = [&](const Failure& failure) {
        log_.AddResult(CouldNotProcessLine("File ", destination, failure), destination);
        CountFailure(stats_, failure);
    };
    if (!prepared.destination_status.ok()) {
        report_failure(prepared.destination_status.failure());  // then taken as missing
        failed = true;
    }
    FileTime source_time = 0;
    FileTime destination_time = 0;
    if (prepared.DestinationExists()) {
        Count(stats_.existing_files);
        destination_time = prepared.destination_status.value()->modified;
        if (prepared.source_status && prepared.source_status->ok()) {
            source_time = prepared.source_status->value()->modified;
        } else if (prepared.source_status) {
            report_failure(prepared.source_status->failure());
            failed = true;
        }
    }
    switch (prepared.action) {
        case FileAction::kCreate:
            log_.AddResult("Creating file " + destination, destination);
            break;
        case FileAction::kKeep:
            return;
        case FileAction::kUpdate:
            log_.AddResult("Updating file " + destination +
                               " - orig: " + format_.DateTime(destination_time) +
                               ", new: " + format_.DateTime(source_time),
                           destination);
            break;
        case FileAction::kOverwrite:
            log_.AddResult("Overwriting file " + destination, destination);
            break;
    }
    for (const Failure& failure : failures) {
        report_failure(failure);
    }
    if (!failed) {
        Count(prepared.action == FileAction::kCreate ? stats_.copied_files : stats_.updated_files);
    }
}

void Walk::ReportSkip(const FileEntry& file, SkipReason reason) {
    if (reason == SkipReason::kExcluded) {
        log_.AddResult("Excluding file " + file.path, file.path);
        Count(stats_.excluded_files);
        return;
    }
    const bool hidden = reason == SkipReason::kHidden;
    if (pass_.settings.LogsIgnored()) {
        log_.AddResult(
            std::string("Ignoring ") + (hidden ? "hidden" : "system") + " file " + file.path,
            file.path);
    }
    Count(hidden ? stats_.hidden_ignored : stats_.system_ignored);
}

}  // namespace tidemark
