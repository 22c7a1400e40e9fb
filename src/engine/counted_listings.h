#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/file_system_port.h"

namespace tidemark {

/// The folder listings a workload count made, kept for the pass that follows it: the pass
/// takes each folder's listing instead of reading the folder again, and the file system
/// checks that the folder did not change in between. Holds a bounded number of items; any
/// thread may use it.
class CountedListings {
  public:
    /// About 40 MiB of listed items.
    static constexpr std::size_t kMostItems = 256 * 1024;

    explicit CountedListings(std::size_t most_items = kMostItems) : most_items_(most_items) {}

    /// Keeps the listing of `folder` while there is room, where the file system can tell a
    /// later change of the folder from its state. The folder itself is not held open.
    void Keep(const std::string& folder, FolderListing listing) noexcept;

    /// Lists `folder`: from the listing kept for it, which is used up, when the folder did not
    /// change since; afresh otherwise.
    Result<FolderListing> List(FileSystemPort& fs, const std::string& folder);

    /// Lets go of every listing kept.
    void Clear();

  private:
    const std::size_t most_items_;
    std::mutex mutex_;
    std::unordered_map<std::string, FolderListing> listings_;
    std::size_t items_ = 0;  // in the listings kept so far, including those taken
};

}  // namespace tidemark
