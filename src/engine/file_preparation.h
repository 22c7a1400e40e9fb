#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/pass.h"

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

/// Where the files of one folder come from and go to.
struct FolderPlace {
    /// The source folder held open, where the file system offers that.
    std::shared_ptr<const HeldFolder> source_folder;
    /// The folder copies are staged in: the destination folder or, while a new one does not
    /// exist yet, the nearest folder above it; may be null.
    std::shared_ptr<const HeldFolder> staging_folder;
    /// The destination folder was made by this pass (or, in a preview, found missing): none of
    /// its files is looked for.
    bool new_destination = false;
    /// The destination folder held open, once it exists; may be null.
    std::shared_ptr<const HeldFolder> destination_folder;
};

/// One file's decision and what it needs, made before its turn: nothing is visible at the
/// destination yet.
struct PreparedFile {
    std::optional<SkipReason> skip;
    std::string destination;
    /// The destination's status: nullopt for none, as for every file of a new folder.
    Result<std::optional<FileStatus>> destination_status = std::optional<FileStatus>();
    /// The source's status, read when Normal has an existing destination to compare with.
    std::optional<Result<std::optional<FileStatus>>> source_status;
    FileAction action = FileAction::kKeep;
    /// The staged copy, or why staging failed; empty until staged.
    std::optional<Result<StagedCopy>> staged;
    /// How many destination changes the walk had made when the destination was looked at.
    std::uint64_t seen = 0;

    bool DestinationExists() const {
        return destination_status.ok() && destination_status.value().has_value();
    }
    bool HoldsCopy() const { return staged && staged->ok(); }
};

/// Decides about one file: skips it, or looks at its destination and, for Normal, its source,
/// and picks the action. Reads only, so it may run on any thread ahead of the file's turn.
void LookUp(const Pass& pass, const FolderPlace& place, const FileEntry& file,
            PreparedFile& prepared);

/// True when the decision calls for a copy and none is staged yet (a preview never copies).
bool NeedsCopy(const Pass& pass, const PreparedFile& prepared);

/// Stages the copy the decision calls for beside the destination; nothing is in place yet.
void Stage(const Pass& pass, const FolderPlace& place, const FileEntry& file,
           PreparedFile& prepared);

/// Throws away a staged copy that will not be put in place.
void Discard(const Pass& pass, PreparedFile& prepared);

}  // namespace tidemark
