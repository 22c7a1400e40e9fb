#include "engine/folder_walk.h"

#include "engine/tree_count.h"

namespace tidemark {

namespace {

std::string CouldNotProcessLine(std::string_view what, const std::string& path,
                                const Failure& failure) {
    return std::string(what) + path + " could not be processed.  " + failure.description;
}

}  // namespace

bool FolderWalk::Excludes(const std::string& path) const {
    return context_.settings.UsesExcludeList() && IsExcluded(path, context_.exclude_list);
}

bool FolderWalk::IsGuarded(const FileEntry& sub_folder) const {
    return context_.guard.Guards(sub_folder.path);
}

void FolderWalk::ProcessFolder(const std::string& folder, const std::string& source_root,
                               const std::string& destination_root, bool new_destination) {
    if (Excludes(folder)) {
        // On this thread alone: the workers are busy with the pass.
        const std::int64_t files = CountFiles(folder, 0, false);
        context_.log.AddResult("Skipping " + std::to_string(files) + " files in folder " + folder +
                                   " due to custom Exclude List!",
                               folder);
        Count(context_.stats.excluded_files, files);
        Count(context_.stats.processed_files, files);
        return;
    }
    // One listing serves both loops; a folder that cannot be listed is reported by each.
    std::shared_ptr<const Result<FolderListing>> listing = context_.prefetcher.TakeListing(folder);
    if (!listing) {
        Result<FolderListing> own = context_.counted_listings.List(context_.fs, folder);
        if (own && depth_ >= kMostHeldFolderLevels) {
            own.value().folder.reset();
        }
        listing = std::make_shared<const Result<FolderListing>>(std::move(own));
    }
    if (*listing && context_.guard.Guards(listing->value())) {
        return;  // became the destination root after the count: left out as it would have been
    }
    ++depth_;
    ProcessSubFolders(*listing, source_root, destination_root, new_destination);
    --depth_;
    ProcessFiles(*listing, folder, source_root, destination_root, new_destination);
}

void FolderWalk::ProcessSubFolders(const Result<FolderListing>& listing,
                                   const std::string& source_root,
                                   const std::string& destination_root, bool new_destination) {
    if (!listing) {
        context_.log.AddResult(CouldNotProcessLine("Folder ", "", listing.failure()));
        return;
    }
    const PathSyntax& syntax = context_.fs.Syntax();
    for (const FileEntry& sub_folder : listing->sub_folders) {
        if (IsGuarded(sub_folder)) {
            continue;
        }
        const std::string destination =
            DestinationPathOf(sub_folder.path, source_root, destination_root, syntax);
        bool created = false;
        if (Excludes(destination)) {
            context_.log.AddResult("Excluding folder " + destination, destination);
            Count(context_.stats.excluded_folders);
        } else if (new_destination || !context_.fs.FolderExists(destination)) {
            context_.log.AddResult("Creating Folder " + destination, destination);
            if (!context_.settings.IsPreview()) {
                context_.prefetcher.NoteCreating(destination);
                if (Status created = context_.fs.CreateFolder(destination); !created) {
                    // Nothing can go into a folder that could not be made (a file or a link
                    // may stand in its place): its tree is left out, its siblings are not.
                    const Failure& failure = created.failure();
                    context_.log.AddResult(CouldNotProcessLine("Folder ", destination, failure),
                                           destination);
                    Count(failure.IsAccessDenied() ? context_.stats.permission_errors
                                                   : context_.stats.other_errors);
                    if (context_.progress.PollPauseStop()) {
                        return;
                    }
                    continue;
                }
            }
            Count(context_.stats.created_folders);
            created = true;
        }
        ProcessFolder(sub_folder.path, source_root, destination_root, created);
        if (context_.progress.PollPauseStop()) {
            return;
        }
    }
}

std::int64_t FolderWalk::CountFiles(const std::string& folder) {
    // As many threads list folders as prepare files during the pass.
    return CountFiles(folder, context_.prefetcher.Workers() - 1, true);
}

std::int64_t FolderWalk::CountFiles(const std::string& folder, int helpers, bool keep_listings) {
    TreeCount count(context_.fs, context_.guard, keep_listings ? &context_.guard.found : nullptr,
                    helpers, context_.prefetcher.HelperStart());
    TreeCount::Listed keep;
    if (keep_listings) {
        // The pass skips excluded folders whole, and every folder below one is excluded too.
        keep = [this](const std::string& listed, const FolderListing& listing) {
            if (!Excludes(listed)) {
                context_.counted_listings.Keep(listed, listing);
            }
        };
    }
    return count.Count(
        folder,
        [&] {
            context_.progress.StepActivity();
            context_.view.Repaint();
        },
        [&](const std::string& unreadable, const Failure& failure) {
            context_.log.AddResult(CouldNotProcessLine("Object ", unreadable, failure), unreadable);
        },
        std::move(keep));
}

}  // namespace tidemark
