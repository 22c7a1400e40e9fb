#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/file_system_port.h"

namespace tidemark {

/// The folder listings a workload count made, kept for the pass that follows it: the pass
/// takes each folder's listing instead of reading the folder again, and the file system
/// checks that the folder did not change in between. Listings are kept compactly, in two
/// blocks each, and up to a bounded number of items; any thread may use it.
class CountedListings {
  public:
    /// About 20 MiB for names of ordinary length.
    static constexpr std::size_t kMostItems = 1 << 20;

    explicit CountedListings(std::size_t most_items = kMostItems) : most_items_(most_items) {}

    /// Keeps the listing of `folder` while there is room, where the file system can tell a
    /// later change of the folder from its state.
    void Keep(const std::string& folder, const FolderListing& listing) noexcept;

    /// Lists `folder`: from the listing kept for it, which is used up, when the folder did not
    /// change since; afresh otherwise.
    Result<FolderListing> List(FileSystemPort& fs, const std::string& folder);

  private:
    struct Item {
        std::uint32_t name_end;  // where the item's name ends in `names`
        EntryKind kind;
        std::uint8_t attributes;
    };
    /// One listing without its paths: the sub-folders' items first, then the files'.
    struct Kept {
        std::string names;
        std::vector<Item> items;
        std::size_t sub_folders = 0;
        FolderState state;
    };

    static Kept Compact(const FolderListing& listing);
    static FolderListing Expand(const Kept& kept, const std::string& folder,
                                const PathSyntax& syntax);

    const std::size_t most_items_;
    std::mutex mutex_;
    std::unordered_map<std::string, Kept> listings_;
    std::size_t items_ = 0;  // in the listings kept so far, including those taken
};

}  // namespace tidemark
