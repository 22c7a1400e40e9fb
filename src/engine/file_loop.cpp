// The file loop of one folder: decide, copy and report each file in listing order.
#include <cerrno>

#include "engine/file_decision.h"
#include "engine/folder_walk.h"

namespace tidemark {

namespace {

/// Reports the failing steps of one file. Every failure is written with the path of the file
/// in hand and counted; the file's remaining steps still run.
class FileFailures {
public:
    FileFailures(ResultsLog& log, SyncStats& stats, std::string path)
        : log_(log), stats_(stats), path_(std::move(path)) {}

    void NameDestination(std::string path) { path_ = std::move(path); }

    void Report(const Failure& failure) {
        log_.AddResult("File " + path_ + " could not be processed.  " + failure.description,
                       path_);
        Count(failure.IsAccessDenied() ? stats_.permission_errors : stats_.other_errors);
        failed_ = true;
    }
    void Check(const Status& status) {
        if (!status) {
            Report(status.failure());
        }
    }
    bool failed() const { return failed_; }

private:
    ResultsLog& log_;
    SyncStats& stats_;
    std::string path_;
    bool failed_ = false;
};

Failure VanishedFailure() {
    return FailureFromErrno(ENOENT);
}

}  // namespace

void FolderWalk::ProcessFiles(const Result<FolderListing>& listing, const std::string& folder,
                              const std::string& source_root,
                              const std::string& destination_root) {
    if (!listing) {
        context_.log.AddResult(
            "Files could not be retrieved from " + folder + ". " + listing.failure().description,
            folder);
        return;
    }
    double previous_estimate = 0.0;
    for (const FileEntry& file : listing->files) {
        ProcessFile(file, source_root, destination_root);
        Count(context_.stats.processed_files);
        context_.progress.UpdateProgress(previous_estimate);
        if (context_.progress.PollPauseStop()) {
            return;
        }
        context_.view.ProcessEvents();
    }
}

void FolderWalk::ProcessFile(const FileEntry& file, const std::string& source_root,
                             const std::string& destination_root) {
    const SyncSettings& settings = context_.settings;
    ResultsLog& log = context_.log;
    SyncStats& stats = context_.stats;
    context_.log.SetStatus("synchronizing...");

    if (auto skip = SkipReasonFor(Excludes(file.path), file.attributes, settings)) {
        switch (*skip) {
            case SkipReason::kExcluded:
                log.AddResult("Excluding file " + file.path, file.path);
                Count(stats.excluded_files);
                break;
            case SkipReason::kHidden:
                if (settings.LogsIgnored()) {
                    log.AddResult("Ignoring hidden file " + file.path, file.path);
                }
                Count(stats.hidden_ignored);
                break;
            case SkipReason::kSystem:
                if (settings.LogsIgnored()) {
                    log.AddResult("Ignoring system file " + file.path, file.path);
                }
                Count(stats.system_ignored);
                break;
        }
        return;
    }

    const std::string destination =
        DestinationPathOf(file.path, source_root, destination_root, context_.fs.Syntax());
    FileFailures failures(log, stats, destination);

    std::optional<FileStatus> existing;
    if (auto found = context_.fs.FindFile(destination); found) {
        existing = *found;
    } else {
        failures.Report(found.failure());  // then treated as missing
    }

    const SyncStyle style = settings.EffectiveStyle();
    FileTime source_time = 0;
    FileTime destination_time = 0;
    if (existing) {
        Count(stats.existing_files);
        if (NeedsTimes(style)) {
            destination_time = existing->modified;
            auto source = context_.fs.FindFile(file.path);
            if (!source) {
                failures.Report(source.failure());
            } else if (!source->has_value()) {
                failures.Report(VanishedFailure());
            } else {
                source_time = (*source)->modified;
            }
        }
    }

    const bool preview = settings.IsPreview();
    auto replace = [&] {
        if (!preview) {
            failures.Check(context_.fs.CheckDeletable(destination));
            failures.Check(context_.fs.CopyFile(file, destination, /*overwrite=*/true));
        }
        if (!failures.failed()) {
            Count(stats.updated_files);
        }
    };
    switch (ActionFor(existing.has_value(), style, source_time, destination_time)) {
        case FileAction::kCreate:
            log.AddResult("Creating file " + destination, destination);
            if (!preview) {
                failures.Check(context_.fs.CopyFile(file, destination, /*overwrite=*/false));
            }
            if (!failures.failed()) {
                Count(stats.copied_files);
            }
            break;
        case FileAction::kKeep:
            break;
        case FileAction::kUpdate:
            log.AddResult("Updating file " + destination +
                              " - orig: " + context_.format.DateTime(destination_time) +
                              ", new: " + context_.format.DateTime(source_time),
                          destination);
            replace();
            break;
        case FileAction::kOverwrite:
            log.AddResult("Overwriting file " + destination, destination);
            replace();
            break;
    }
}

}  // namespace tidemark
