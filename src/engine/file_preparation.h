#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/exclusion.h"
#include "engine/file_decision.h"
#include "engine/file_system_port.h"
#include "engine/run_types.h"

namespace tidemark {

/// What one file's handling needs before its turn comes: the decision and its inputs, and the
/// copy staged beside the destination. Nothing here is visible at the destination yet.
struct PreparedFile {
    std::optional<SkipReason> skip;
    /// The destination's path, where the walk writes about the file: empty when the file is
    /// kept and nothing failed (most files of a re-sync).
    std::string destination;
    /// The destination's status; empty while skipped.
    std::optional<Result<std::optional<FileStatus>>> destination_status;
    /// The source's status, read when Normal has an existing destination to compare with.
    std::optional<Result<std::optional<FileStatus>>> source_status;
    FileAction action = FileAction::kKeep;
    /// The staged copy when the action copies and the pass is not a preview.
    std::optional<Result<StagedCopy>> staged;
    /// Set once the staged copy was put in place or thrown away.
    bool staged_settled = false;

    bool DestinationExists() const {
        return destination_status && destination_status->ok() && destination_status->value();
    }
};

/// How many folders of one branch the walk, and the look-ahead, hold open at once while their
/// sub-folders are walked: a very deep tree must not hold a descriptor per level. Deeper ones
/// are reached by path.
inline constexpr int kMostHeldFolderLevels = 32;

/// The fixed inputs of preparing the files of one pass.
struct PreparationContext {
    FileSystemPort& fs;
    const SyncSettings& settings;
    const ExcludeList& exclude_list;
    std::string source_root;
    std::string destination_root;
    /// The destination folder was created by this pass: none of its files can exist yet.
    bool new_destination_folder = false;
    /// The source folder held open, where the file system offers that.
    std::shared_ptr<const HeldFolder> source_folder;
    /// The destination folder held open or, while a new one does not exist yet, the folder
    /// above it that copies are staged in.
    std::shared_ptr<const HeldFolder> destination_folder;
};

/// Decides about one file and stages its copy. Reads the file system and writes only the
/// staged copy, so it may run on any thread, ahead of the file's turn.
PreparedFile PrepareFile(const FileEntry& file, const PreparationContext& context);

}  // namespace tidemark
