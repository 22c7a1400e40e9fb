#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/file_system_port.h"
#include "engine/thread_safety.h"

namespace tidemark {

/// What the workload count learned for the pass after it: the folder listings it kept, so that
/// the pass takes them instead of reading each folder again (the file system checks that the
/// folder did not change in between), and the names under which it met the destination root.
/// Listings are kept compactly, in two blocks each, up to a bounded number of items. Any
/// thread may take listings.
class TreeSurvey {
  public:
    /// About 20 MiB for names of ordinary length.
    static constexpr std::size_t kMostItems = 1 << 20;

    explicit TreeSurvey(std::size_t most_items = kMostItems) : most_items_(most_items) {}

    /// Keeps the listing of `folder` while there is room, where the file system can tell a
    /// later change of the folder from its state.
    void Keep(const std::string& folder, const FolderListing& listing) noexcept TM_EXCLUDES(mutex_);

    /// Lists `folder`: from the listing kept for it, which is used up, when the folder did not
    /// change since; afresh otherwise. `parent`: the folder that holds it, held open, or null.
    Result<FolderListing> List(FileSystemPort& fs, const std::string& folder,
                               const HeldFolder* parent = nullptr) TM_EXCLUDES(mutex_);

    /// Source folders found to be the destination root by their identity. Set once the count
    /// is over, before anything reads it.
    std::vector<std::string> guarded;

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
        std::optional<FolderIdentity> identity;
    };

    static Kept Compact(const FolderListing& listing);
    static FolderListing Expand(const Kept& kept, const std::string& folder,
                                const PathSyntax& syntax);

    const std::size_t most_items_;
    Mutex mutex_;
    std::unordered_map<std::string, Kept> listings_ TM_GUARDED_BY(mutex_);
    std::size_t items_ TM_GUARDED_BY(mutex_) = 0;  // kept so far, including those taken
};

}  // namespace tidemark
