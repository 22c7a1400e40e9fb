#include "engine/pass.h"

#include <algorithm>
#include <cstdint>

namespace tidemark {

bool Pass::Excludes(const std::string& path) const {
    return settings.UsesExcludeList() && IsExcluded(path, exclude_list);
}

std::string Pass::DestinationOf(const std::string& source_path) const {
    return DestinationPathOf(source_path, source_root, destination_root, fs.Syntax());
}

bool NamesFoldTogether(const std::vector<FileEntry>& items) {
    // Compared by a hash of each name in upper case: a rare false match only costs a look.
    std::vector<std::uint64_t> hashes;
    hashes.reserve(items.size());
    for (const FileEntry& item : items) {
        std::uint64_t hash = 14695981039346656037u;
        auto add = [&](unsigned char c) { hash = (hash ^ c) * 1099511628211u; };
        const bool ascii = std::all_of(item.name.begin(), item.name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            for (const char c : item.name) {
                add(static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
            }
        } else {
            for (const char c : UpperCase(item.name)) {
                add(static_cast<unsigned char>(c));
            }
        }
        hashes.push_back(hash);
    }
    std::sort(hashes.begin(), hashes.end());
    return std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end();
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
