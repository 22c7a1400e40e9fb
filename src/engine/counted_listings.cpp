#include "engine/counted_listings.h"

#include <new>

namespace tidemark {

void CountedListings::Keep(const std::string& folder, FolderListing listing) noexcept {
    if (!listing.state) {
        return;
    }
    listing.folder.reset();
    const std::size_t items = listing.sub_folders.size() + listing.files.size();
    std::lock_guard lock(mutex_);
    if (items_ + items > most_items_) {
        return;
    }
    try {
        listings_.insert_or_assign(folder, std::move(listing));
        items_ += items;
    } catch (const std::bad_alloc&) {
        // Short of memory, the pass reads the folder again instead.
    }
}

Result<FolderListing> CountedListings::List(FileSystemPort& fs, const std::string& folder) {
    std::optional<FolderListing> kept;
    {
        std::lock_guard lock(mutex_);
        if (auto found = listings_.find(folder); found != listings_.end()) {
            kept.emplace(std::move(found->second));
            listings_.erase(found);
        }
    }
    return kept ? fs.ListFolderAgain(folder, std::move(*kept)) : fs.ListFolder(folder);
}

void CountedListings::Clear() {
    std::lock_guard lock(mutex_);
    listings_.clear();
    items_ = 0;
}

}  // namespace tidemark
