#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tidemark {

/// How paths are spelled: the separator, an alternative separator that means the same, whether
/// letter case is folded when a root is removed from a path, and what counts as a complete path.
struct PathSyntax {
    char separator = '/';
    char alternative = '\0';  // '\0' when there is none
    bool fold_case = false;
    bool drive_letters = false;  // complete paths start with "X:", else with the separator

    static PathSyntax Posix() { return {'/', '\0', false, false}; }
    static PathSyntax Windows() { return {'\\', '/', true, true}; }

    bool IsSeparator(char c) const {
        return c == separator || (alternative != '\0' && c == alternative);
    }
    /// True for a path that starts at a root: "/x" for POSIX, "C:..." for Windows.
    bool IsComplete(std::string_view path) const;
    /// The text that stands for the root in the "complete path" message.
    std::string RootExample() const { return drive_letters ? "C:\\" : "/"; }
    /// Whether two paths are spelled alike, ignoring letter case where the syntax folds it.
    bool SameText(std::string_view a, std::string_view b) const;
    /// Whether `path` starts with `prefix`, ignoring letter case where the syntax folds it.
    bool StartsWith(std::string_view path, std::string_view prefix) const {
        return path.size() >= prefix.size() && SameText(path.substr(0, prefix.size()), prefix);
    }
};

/// Turns every alternative separator into the separator and collapses every run of separators
/// into one. Nothing else changes: no trimming, no case change, a trailing separator is kept.
std::string FixBackslash(std::string_view path, const PathSyntax& syntax);

/// Joins a folder path and a name with exactly one separator between them.
std::string JoinPath(std::string_view folder, std::string_view name, const PathSyntax& syntax);

/// The destination path of a source item: the leading source root is removed from the item's
/// path (ignoring case where the syntax folds it), the destination root and a separator are put
/// in front and the result is normalised with FixBackslash.
std::string DestinationPathOf(std::string_view item_path, std::string_view source_root,
                              std::string_view destination_root, const PathSyntax& syntax);

/// Upper-cases ASCII letters and, for UTF-8 text, the Latin-1 supplement, Greek and Cyrillic.
std::string UpperCase(std::string_view text);

/// Removes the space characters (only ' ') at both ends.
std::string_view TrimSpaces(std::string_view text);

/// The user's exclude entries, exactly as cut from the exclude list text.
using ExcludeList = std::vector<std::string>;

/// True when a non-blank entry occurs anywhere inside the path, ignoring letter case. Entries
/// are plain text: no wildcards, no anchoring, and their spaces are part of the match; an entry
/// of spaces only is ignored.
bool IsExcluded(std::string_view path, const ExcludeList& entries);

}  // namespace tidemark
