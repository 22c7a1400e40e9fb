#pragma once

#include <optional>

#include "engine/file_system_port.h"
#include "engine/run_types.h"

namespace tidemark {

/// Why a file is left out before its destination is looked at.
enum class SkipReason { kExcluded, kHidden, kSystem };

/// Exclusion comes before hidden, hidden before system: a file is skipped for one reason only.
std::optional<SkipReason> SkipReasonFor(bool matches_exclude_list, int attributes,
                                        const SyncSettings& settings);

/// What happens to a file that was not skipped.
enum class FileAction {
    kCreate,     ///< destination missing: copy without overwrite
    kKeep,       ///< destination present and left alone
    kUpdate,     ///< Normal, source newer: replace
    kOverwrite,  ///< Backup: replace whatever the times
};

/// Decides from the destination's existence, the style and, for Normal, the two
/// last-modified times (the source must be strictly later to replace).
FileAction ActionFor(bool destination_exists, SyncStyle style, FileTime source_modified,
                     FileTime destination_modified);

/// True when the style needs the source's time to decide about an existing destination.
inline bool NeedsTimes(SyncStyle style) {
    return style == SyncStyle::kNormal;
}

}  // namespace tidemark
