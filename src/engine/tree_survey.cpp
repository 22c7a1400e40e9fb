#include "engine/tree_survey.h"

#include <new>
#include <optional>

namespace tidemark {

TreeSurvey::Kept TreeSurvey::Compact(const FolderListing& listing) {
    Kept kept;
    kept.items.reserve(listing.sub_folders.size() + listing.files.size());
    std::size_t length = 0;
    for (const auto* list : {&listing.sub_folders, &listing.files}) {
        for (const FileEntry& entry : *list) {
            length += entry.name.size();
        }
    }
    kept.names.reserve(length);
    for (const auto* list : {&listing.sub_folders, &listing.files}) {
        for (const FileEntry& entry : *list) {
            kept.names += entry.name;
            kept.items.push_back(Item{static_cast<std::uint32_t>(kept.names.size()), entry.kind,
                                      static_cast<std::uint8_t>(entry.attributes)});
        }
    }
    kept.sub_folders = listing.sub_folders.size();
    kept.state = *listing.state;
    kept.identity = listing.identity;
    return kept;
}

FolderListing TreeSurvey::Expand(const Kept& kept, const std::string& folder,
                                 const PathSyntax& syntax) {
    FolderListing listing;
    listing.sub_folders.reserve(kept.sub_folders);
    listing.files.reserve(kept.items.size() - kept.sub_folders);
    std::uint32_t name_start = 0;
    for (std::size_t i = 0; i < kept.items.size(); ++i) {
        const Item& item = kept.items[i];
        const std::string_view name(kept.names.data() + name_start, item.name_end - name_start);
        name_start = item.name_end;
        (i < kept.sub_folders ? listing.sub_folders : listing.files)
            .push_back(FileEntry{JoinPath(folder, name, syntax), std::string(name), item.kind,
                                 item.attributes});
    }
    listing.state = kept.state;
    listing.identity = kept.identity;
    return listing;
}

void TreeSurvey::Keep(const std::string& folder, const FolderListing& listing) noexcept {
    if (!listing.state) {
        return;
    }
    const std::size_t items = listing.sub_folders.size() + listing.files.size();
    try {
        {
            MutexLock lock(mutex_);
            if (items_ + items > most_items_) {
                return;
            }
            items_ += items;
        }
        Kept kept = Compact(listing);
        MutexLock lock(mutex_);
        listings_.insert_or_assign(folder, std::move(kept));
    } catch (const std::bad_alloc&) {
        // Short of memory, the pass reads the folder again instead.
    }
}

Result<FolderListing> TreeSurvey::List(FileSystemPort& fs, const std::string& folder,
                                       const HeldFolder* parent) {
    std::optional<Kept> kept;
    {
        MutexLock lock(mutex_);
        if (auto found = listings_.find(folder); found != listings_.end()) {
            kept.emplace(std::move(found->second));
            listings_.erase(found);
        }
    }
    if (!kept) {
        return fs.ListFolder(folder);
    }
    return fs.ListFolderAgainIn(parent, folder, Expand(*kept, folder, fs.Syntax()));
}

}  // namespace tidemark
