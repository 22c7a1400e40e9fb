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

/// True when the source is later than the destination once the source's time is cut to the
/// step in which the destination's file system keeps times (two seconds on FAT): a file
/// copied there, whose time was cut on the way, then compares equal instead of newer.
bool SourceIsNewer(FileTime source_modified, FileTime destination_modified, FileTime step);

/// Decides from the destination's existence, the style and, for Normal, the two
/// last-modified times compared at the destination's time step.
FileAction ActionFor(bool destination_exists, SyncStyle style, FileTime source_modified,
                     FileTime destination_modified, FileTime step);

}  // namespace tidemark
