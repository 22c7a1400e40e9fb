// The file loop of one folder: each file's decision, copy and lines, in listing order. The
// decisions and copies are prepared ahead (see FilePrefetcher); what the user sees — lines,
// counters, files put in place — happens here, in order, when each file's turn comes.
#include "engine/file_decision.h"
#include "engine/folder_walk.h"

namespace tidemark {

namespace {

/// Reports the failing steps of one file. Every failure is written with the path of the file
/// in hand and counted; the file's remaining steps still run.
class FileFailures {
  public:
    /// `path` must outlive this.
    FileFailures(ResultsLog& log, SyncStats& stats, const std::string& path)
        : log_(log), stats_(stats), path_(path) {}

    void Report(const Failure& failure) {
        log_.AddResult("File " + path_ + " could not be processed.  " + failure.description, path_);
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
    const std::string& path_;
    bool failed_ = false;
};

/// Abandons what was prepared ahead when the loop is left early, by a stop or a failure.
class AbandonOnExit {
  public:
    explicit AbandonOnExit(FilePrefetcher& prefetcher) : prefetcher_(prefetcher) {}
    ~AbandonOnExit() { prefetcher_.Abandon(); }
    AbandonOnExit(const AbandonOnExit&) = delete;
    AbandonOnExit& operator=(const AbandonOnExit&) = delete;

  private:
    FilePrefetcher& prefetcher_;
};

}  // namespace

void FolderWalk::ProcessFiles(const Result<FolderListing>& listing, const std::string& folder,
                              const std::string& source_root, const std::string& destination_root,
                              bool new_destination) {
    if (!listing) {
        context_.log.AddResult(
            "Files could not be retrieved from " + folder + ". " + listing.failure().description,
            folder);
        return;
    }
    if (listing->files.empty()) {
        return;
    }
    const PreparationContext preparation{
        context_.fs,      context_.settings, context_.exclude_list, source_root,
        destination_root, new_destination,   listing->folder,       nullptr};
    context_.prefetcher.Begin(folder, listing->files, preparation);
    folder_to_clean_.reset();
    if (!new_destination && !context_.settings.IsPreview()) {
        folder_to_clean_ =
            DestinationPathOf(folder, source_root, destination_root, context_.fs.Syntax());
    }
    AbandonOnExit abandon(context_.prefetcher);
    double previous_estimate = 0.0;
    for (std::size_t i = 0; i < listing->files.size(); ++i) {
        ProcessFile(listing->files[i], context_.prefetcher.Take(i));
        Count(context_.stats.processed_files);
        context_.progress.UpdateProgress(previous_estimate);
        if (context_.progress.PollPauseStop()) {
            return;
        }
        context_.view.ProcessEvents();
    }
}

void FolderWalk::ProcessFile(const FileEntry& file, PreparedFile& prepared) {
    const SyncSettings& settings = context_.settings;
    ResultsLog& log = context_.log;
    SyncStats& stats = context_.stats;
    static const std::string kSynchronizing = "synchronizing...";
    log.SetStatus(kSynchronizing);

    if (prepared.skip) {
        switch (*prepared.skip) {
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

    const std::string& destination = prepared.destination;
    FileFailures failures(log, stats, destination);
    if (!prepared.destination_status->ok()) {
        failures.Report(prepared.destination_status->failure());  // then treated as missing
    }
    FileTime source_time = 0;
    FileTime destination_time = 0;
    if (prepared.DestinationExists()) {
        Count(stats.existing_files);
        destination_time = prepared.destination_status->value()->modified;
        if (prepared.source_status) {
            if (prepared.source_status->ok()) {
                source_time = prepared.source_status->value()->modified;
            } else {
                failures.Report(prepared.source_status->failure());
            }
        }
    }

    // Puts the staged copy in place; a preview has none.
    auto put_in_place = [&](bool overwrite) {
        if (!prepared.staged) {
            return;
        }
        if (!prepared.staged->ok()) {
            failures.Report(prepared.staged->failure());
            return;
        }
        if (folder_to_clean_) {
            context_.fs.RemoveLeftovers(*folder_to_clean_);
            folder_to_clean_.reset();
        }
        Status committed = context_.fs.CommitCopy(prepared.staged->value(), overwrite);
        if (!committed) {
            context_.fs.DiscardCopy(prepared.staged->value());
        }
        prepared.staged_settled = true;
        failures.Check(committed);
    };
    auto replace = [&] {
        if (!settings.IsPreview()) {
            failures.Check(context_.fs.CheckDeletable(destination));
        }
        put_in_place(/*overwrite=*/true);
        if (!failures.failed()) {
            Count(stats.updated_files);
        }
    };
    switch (prepared.action) {
        case FileAction::kCreate:
            log.AddResult("Creating file " + destination, destination);
            put_in_place(/*overwrite=*/false);
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
