#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/apparatus/loss_table.h"

namespace tidemark::testing {

/// What one item of a real tree holds: enough to tell two versions apart byte for byte, with
/// their times and permission bits.
struct ItemState {
    enum class Kind { kFile, kFolder, kLink, kSpecial };
    Kind kind = Kind::kFile;
    std::uint32_t mode = 0;       ///< permission bits
    std::int64_t modified = 0;    ///< nanoseconds since 1970
    std::uint64_t size = 0;       ///< bytes (files), length of the target (links)
    std::uint64_t allocated = 0;  ///< bytes the file takes on disk
    std::uint64_t digest = 0;     ///< of the content or target; holes digest as written zeros
    std::string link_target = {};
    bool readable = true;

    /// Kind, content and target; the time of files and links, the permission bits of files and
    /// folders. Folder times and disk use do not count.
    bool SameVersion(const ItemState& other) const;
    bool operator==(const ItemState&) const = default;
};

/// Every item below a root by its path relative to the root ("a/b.txt").
using TreeSnapshot = std::map<std::string, ItemState>;

/// Reads the tree without following links, through open folders so that paths of any length
/// work; throws when the root cannot be listed.
TreeSnapshot SnapshotTree(const std::string& root);
/// The digest SnapshotTree gives a file of that content.
std::uint64_t DigestOf(const std::string& content);

/// The item a destination path is due to hold after a pass, given the source's item and the
/// previous one there (nullptr: none); nullptr when it is due to hold nothing.
using DueItem = std::function<const ItemState*(const std::string& path, const ItemState* source,
                                               const ItemState* previous)>;

/// Compares every item of the destination with the one due (folders by kind alone); after an
/// interrupted pass, the previous version will do too. Adds the files compared and the bytes
/// lost (a previous file neither kept nor replaced by the source's version, a torn copy) to
/// `tally` and answers a line for each item that holds anything else.
std::vector<std::string> CheckDestination(const TreeSnapshot& source, const TreeSnapshot& previous,
                                          const TreeSnapshot& now, const DueItem& due,
                                          bool interrupted, LossTally& tally);

}  // namespace tidemark::testing
