#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tidemark {

/// The user's exclude entries, exactly as cut from the exclude list text.
using ExcludeList = std::vector<std::string>;

/// True when a non-blank entry occurs anywhere inside the path, ignoring letter case. Entries
/// are plain text: no wildcards, no anchoring, and their spaces are part of the match; an entry
/// of spaces only is ignored.
bool IsExcluded(std::string_view path, const ExcludeList& entries);

}  // namespace tidemark
