#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tidemark::testing {

/// What one item of a real tree holds: enough to tell whether two items are the same version
/// byte for byte, with the same times and permission bits.
struct ItemState {
    enum class Kind { kFile, kFolder, kLink, kSpecial };
    Kind kind = Kind::kFile;
    std::uint32_t mode = 0;       ///< permission bits
    std::int64_t modified = 0;    ///< last-modified time in nanoseconds
    std::uint64_t size = 0;       ///< bytes (files), length of the target (links)
    std::uint64_t allocated = 0;  ///< bytes the file takes on disk
    std::uint64_t digest = 0;     ///< of the content; holes and written zeros digest alike
    std::string link_target;
    bool readable = true;  ///< false when the content or listing could not be read

    /// Same version: kind, content, size, link target, and for files and links the time; for
    /// files and folders the permission bits. Folder times and disk use do not count.
    bool SameVersion(const ItemState& other) const;
};

/// Every item below a root by its path relative to the root ("a/b.txt"); the root itself is
/// not in it.
using TreeSnapshot = std::map<std::string, ItemState>;

/// Reads the tree below `root` without following links, through open folders so that paths
/// of any length work. Folders and files that cannot be read are kept with `readable` false.
/// nullopt with a message in `error` when the root itself cannot be opened.
std::optional<TreeSnapshot> SnapshotTree(const std::string& root, std::string* error = nullptr);

/// The digest of a byte string, the same that SnapshotTree gives a file of that content.
std::uint64_t DigestOf(const std::string& content);

/// Removes a tree of any depth, making folders writable on the way. Returns false when
/// something could not be removed.
bool RemoveTree(const std::string& root);

/// A one-line description of an item for failure messages.
std::string Describe(const ItemState& item);

}  // namespace tidemark::testing
