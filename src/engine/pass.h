#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/file_system_port.h"
#include "engine/path_syntax.h"
#include "engine/run_types.h"

namespace tidemark {

/// Everything one pass reads, fixed when the pass starts and passed by const reference to the
/// count, the look-ahead and the walk.
struct Pass {
    FileSystemPort& fs;
    const SyncSettings& settings;
    const ExcludeList& exclude_list;
    std::string source_root;
    std::string destination_root;
    /// Where the destination root lies inside the source tree, by its spelling; empty for
    /// nowhere. Such a folder is neither counted nor walked: each pass would otherwise copy the
    /// last one's copy again, one level deeper.
    std::string guarded_path;
    /// The destination root's identity, so that it is also known under another name (a mount).
    std::optional<FolderIdentity> destination_identity;
    /// How finely the destination keeps last-modified times.
    FileTime time_step = 1;

    /// True when the exclude list is in use and matches the path.
    bool Excludes(const std::string& path) const;
    /// The destination path of an item below the source root.
    std::string DestinationOf(const std::string& source_path) const;
    /// True for the listing of the destination root, whatever it was reached as.
    bool IsDestinationRoot(const FolderListing& listing) const {
        return destination_identity && listing.identity == destination_identity;
    }
};

/// How many levels of a branch hold their folders open; deeper ones are reached by path.
inline constexpr int kMostHeldLevels = 32;

/// One sub-folder as the walk meets it.
struct SubFolderStep {
    const FileEntry* folder;
    std::string destination;
    /// The exclude list matches its destination path: "Excluding folder", not created; its
    /// tree is still walked unless `skipped_whole`.
    bool excluded_destination = false;
    /// The exclude list matches its source path: its files are counted and skipped, nothing
    /// below it is visited.
    bool skipped_whole = false;
};

/// Whether two of the items' names are one in upper case: on a destination that folds case,
/// they reach one item.
bool NamesFoldTogether(const std::vector<FileEntry>& items);

/// The traversal rules in one place: the sub-folders a listed folder leads to, in the order
/// the walk takes them (the file system's), without the destination root wherever it shows up
/// in the source tree (`guarded` holds the names the count found it under).
std::vector<SubFolderStep> SubFoldersOf(const Pass& pass, const FolderListing& listing,
                                        const std::vector<std::string>& guarded);

}  // namespace tidemark
