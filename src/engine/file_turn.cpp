// A file's turn in the walk: decide (confirm what was prepared ahead), do (put the copy in
// place; a preview does nothing) and report (lines and counters), in that order.
#include <cerrno>

#include "engine/walk.h"

namespace tidemark {

namespace {

bool IsNameTaken(const Failure& failure) {
    return failure.number == FailureFromErrno(EEXIST).number;
}

}  // namespace

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
        LookUp(pass_, place, file, prepared);  // as in a new folder: without a look
        if (prepared.action == FileAction::kKeep) {
            Discard(pass_, prepared);
        }
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
        LookAgain(file, prepared, place);
    }
}

void Walk::LookAgain(const FileEntry& file, PreparedFile& prepared, const FolderPlace& place) {
    FolderPlace now = place;
    now.new_destination = false;
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
    if (replace) {
        if (Status deletable = pass_.fs.CheckDeletableIn(files.place().destination_folder.get(),
                                                         prepared.destination);
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
        pass_.fs.RemoveLeftoversIn(files.place().destination_folder.get(), destination_folder_);
    }
    leftovers_to_remove_ = false;
    Status committed = pass_.fs.CommitCopyIn(files.place().destination_folder.get(),
                                             prepared.staged->value(), replace);
    if (committed) {
        prepared.staged.reset();
        last_changes_[folder_key_] = look_ahead_.CountChange();
        return failures;
    }
    if (!replace && !retried && IsNameTaken(committed.failure())) {
        // The name was taken since the file was looked at: decided again, in turn.
        LookAgain(file, prepared, files.place());
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
        log_.AddResult("File " + destination + " could not be processed.  " + failure.description,
                       destination);
        Count(failure.IsAccessDenied() ? stats_.permission_errors : stats_.other_errors);
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
    switch (reason) {
        case SkipReason::kExcluded:
            log_.AddResult("Excluding file " + file.path, file.path);
            Count(stats_.excluded_files);
            break;
        case SkipReason::kHidden:
            if (pass_.settings.LogsIgnored()) {
                log_.AddResult("Ignoring hidden file " + file.path, file.path);
            }
            Count(stats_.hidden_ignored);
            break;
        case SkipReason::kSystem:
            if (pass_.settings.LogsIgnored()) {
                log_.AddResult("Ignoring system file " + file.path, file.path);
            }
            Count(stats_.system_ignored);
            break;
    }
}

}  // namespace tidemark
