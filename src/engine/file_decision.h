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

/// The step in which a destination seems to keep its times, shown by the time itself: 2 s
/// when it is a whole number of two seconds, else the largest of 1 s, 100 ms, 10 ms, ... 10 ns
/// that divides it, else 1 ns. File systems with coarse times (FAT keeps two seconds, exFAT
/// 10 ms, many network file systems one second or 100 ns) cut the time of every copy to their
/// step.
FileTime TimePrecisionShownBy(FileTime destination_modified);

/// True when the source is later than the destination once the source's time is cut to the
/// step the destination's time shows: a file copied onto coarse times, whose time was cut on
/// the way, then compares equal instead of newer.
bool SourceIsNewer(FileTime source_modified, FileTime destination_modified);

/// Decides from the destination's existence, the style and, for Normal, the two
/// last-modified times (the source must be later by SourceIsNewer to replace).
FileAction ActionFor(bool destination_exists, SyncStyle style, FileTime source_modified,
                     FileTime destination_modified);

/// True when the style needs the source's time to decide about an existing destination.
inline bool NeedsTimes(SyncStyle style) {
    return style == SyncStyle::kNormal;
}

}  // namespace tidemark
