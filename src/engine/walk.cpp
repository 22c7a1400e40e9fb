#include "engine/walk.h"

#include "engine/tree_count.h"

namespace tidemark {

namespace {

std::string CouldNotProcessLine(std::string_view what, const std::string& path,
                                const Failure& failure) {
    return std::string(what) + path + " could not be processed.  " + failure.description;
}

}  // namespace

std::int64_t Walk::CountSkipped(const std::string& folder) {
    // On this thread alone: the executor's threads are busy with the pass.
    TreeCount count(pass_, nullptr, nullptr, 0);
    return count.Count(
        folder,
        [&] {
            progress_.StepActivity();
            log_.Repaint();
        },
        [&](const std::string& unreadable, const Failure& failure) {
            log_.AddResult(CouldNotProcessLine("Object ", unreadable, failure), unreadable);
        });
}

void Walk::ProcessFolder(const std::string& folder, bool new_destination, int depth,
                         std::shared_ptr<const HeldFolder> made) {
    if (pass_.Excludes(folder)) {
        const std::int64_t files = CountSkipped(folder);
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
    for (const SubFolderStep& step : SubFoldersOf(pass_, listing, look_ahead_.Guarded())) {
        bool created = false;
        std::shared_ptr<const HeldFolder> made_folder;
        if (step.excluded_destination) {
            log_.AddResult("Excluding folder " + step.destination, step.destination);
            Count(stats_.excluded_folders);
        } else if (!look ||
                   !pass_.fs.FolderExistsIn(visit.destination_folder.get(), step.destination)) {
            log_.AddResult("Creating Folder " + step.destination, step.destination);
            if (!pass_.settings.IsPreview()) {
                if (Status creation =
                        pass_.fs.CreateFolderIn(visit.destination_folder.get(), step.destination);
                    !creation) {
                    // Nothing can go into a folder that could not be made (a file or a link
                    // may stand in its place): its tree is left out, its siblings are not.
                    const Failure& failure = creation.failure();
                    log_.AddResult(CouldNotProcessLine("Folder ", step.destination, failure),
                                   step.destination);
                    Count(failure.IsAccessDenied() ? stats_.permission_errors
                                                   : stats_.other_errors);
                    if (progress_.PollPauseStop()) {
                        return;
                    }
                    continue;
                }
                if (depth + 1 < kMostHeldLevels) {
                    made_folder =
                        pass_.fs.HoldFolderIn(visit.destination_folder.get(), step.destination);
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

}  // namespace tidemark
