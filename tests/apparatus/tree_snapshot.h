#pragma once

// The nothing-lost apparatus: snapshots of real trees, the check of a destination against what
// it is due to hold, and the loss table the checks print.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tidemark::testing {

/// What a nothing-lost check found: the cases it tried and files it compared, the bytes of the
/// user's data it found lost, and the runs that hung or crashed.
struct LossTally {
    std::string suite;
    long long cases = 0, files_compared = 0, bytes_lost = 0, hangs = 0, crashes = 0;
};

/// Prints the tally as a table on standard output and, when the environment variable
/// TIDEMARK_LOSS_TABLE names a file, appends its row there, so that a script can show the rows
/// of several programs under one header.
void ReportLossTable(const LossTally& tally);
/// A tally that reports itself when it goes out of scope; a static one, when the program ends.
struct ReportedLossTally : LossTally {
    ~ReportedLossTally() { ReportLossTable(*this); }
};
/// True where the checks run on smaller trees and fewer trials, as under a sanitizer
/// (TIDEMARK_CHECK_SCALE=small).
bool SmallScale();

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
    bool readable = true;

    bool operator==(const ItemState&) const = default;
};

/// Every item below a root by its path relative to the root ("a/b.txt").
using TreeSnapshot = std::map<std::string, ItemState>;

/// Reads the tree without following links, through open folders so that paths of any length
/// work; throws when the root cannot be listed.
TreeSnapshot SnapshotTree(const std::string& root);

/// The item a destination path is due to hold after a pass, given the source's item and the
/// previous one there (nullptr: none); nullptr when it is due to hold nothing.
using DueItem = std::function<const ItemState*(const std::string& path, const ItemState* source,
                                               const ItemState* previous)>;

/// Compares every item of the destination with the one due: folders by kind alone, other items
/// by kind, content and target, files and links with their times, files with their permission
/// bits. After an interrupted pass, the previous version will do too. Adds the files compared
/// and the bytes lost (a previous file neither kept nor replaced by the source's version, a
/// torn copy) to `tally` and answers a line for each item that holds anything else.
std::vector<std::string> CheckDestination(const TreeSnapshot& source, const TreeSnapshot& previous,
                                          const TreeSnapshot& now, const DueItem& due,
                                          bool interrupted, LossTally& tally);

}  // namespace tidemark::testing
