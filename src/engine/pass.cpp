#include "engine/pass.h"

#include <algorithm>

namespace tidemark {

bool Pass::Excludes(const std::string& path) const {
    return settings.UsesExcludeList() && IsExcluded(path, exclude_list);
}

std::string Pass::DestinationOf(const std::string& source_path) const {
    return DestinationPathOf(source_path, source_root, destination_root, Syntax());
}

std::vector<SubFolderStep> SubFoldersOf(const Pass& pass, const FolderListing& listing,
                                        const std::vector<std::string>& guarded) {
    std::vector<SubFolderStep> steps;
    steps.reserve(listing.sub_folders.size());
    for (const FileEntry& folder : listing.sub_folders) {
        if (folder.path == pass.guarded_path ||
            std::find(guarded.begin(), guarded.end(), folder.path) != guarded.end()) {
            continue;
        }
        SubFolderStep& step =
            steps.emplace_back(SubFolderStep{&folder, pass.DestinationOf(folder.path)});
        step.excluded_destination = pass.Excludes(step.destination);
        step.skipped_whole = pass.Excludes(folder.path);
    }
    return steps;
}

}  // namespace tidemark
