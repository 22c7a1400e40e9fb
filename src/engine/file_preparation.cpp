#include "engine/file_preparation.h"

#include <cerrno>

namespace tidemark {

std::optional<SkipReason> SkipReasonFor(bool matches_exclude_list, int attributes,
                                        const SyncSettings& settings) {
    if (settings.UsesExcludeList() && matches_exclude_list) {
        return SkipReason::kExcluded;
    }
    if ((attributes & kHiddenAttribute) != 0 && settings.IgnoresHidden()) {
        return SkipReason::kHidden;
    }
    if ((attributes & kSystemAttribute) != 0 && settings.IgnoresSystem()) {
        return SkipReason::kSystem;
    }
    return std::nullopt;
}

bool SourceIsNewer(FileTime source_modified, FileTime destination_modified, FileTime step) {
    if (step <= 1) {
        return source_modified > destination_modified;
    }
    // Cut towards the past, for times before 1970 too.
    FileTime cut = source_modified - source_modified % step;
    if (source_modified % step < 0) {
        cut -= step;
    }
    return cut > destination_modified;
}

FileAction ActionFor(bool destination_exists, SyncStyle style, FileTime source_modified,
                     FileTime destination_modified, FileTime step) {
    if (!destination_exists) {
        return FileAction::kCreate;
    }
    switch (style) {
        case SyncStyle::kBackup:
            return FileAction::kOverwrite;
        case SyncStyle::kNormal:
            return SourceIsNewer(source_modified, destination_modified, step) ? FileAction::kUpdate
                                                                              : FileAction::kKeep;
        default:
            return FileAction::kKeep;
    }
}

namespace {

/// The destination path of a file that LookUp may have let go of.
const std::string& DestinationOf(const Pass& pass, const FileEntry& file, PreparedFile& prepared) {
    if (prepared.destination.empty()) {
        prepared.destination = pass.DestinationOf(file.path);
    }
    return prepared.destination;
}

}  // namespace

void LookUp(const Pass& pass, const FolderPlace& place, const FileEntry& file,
            PreparedFile& prepared) {
    const SyncSettings& settings = pass.settings;
    prepared.skip = SkipReasonFor(pass.Excludes(file.path), file.attributes, settings);
    if (prepared.skip) {
        return;
    }
    DestinationOf(pass, file, prepared);
    prepared.destination_status =
        place.new_destination
            ? Result<std::optional<FileStatus>>(std::nullopt)
            : pass.fs.FindFileIn(place.destination_folder.get(), prepared.destination);
    prepared.source_status.reset();
    const SyncStyle style = settings.EffectiveStyle();
    FileTime source_time = 0;
    FileTime destination_time = 0;
    const bool exists = prepared.DestinationExists();
    if (exists && style == SyncStyle::kNormal) {
        destination_time = prepared.destination_status.value()->modified;
        prepared.source_status = pass.fs.FindFileIn(place.source_folder.get(), file.path);
        if (prepared.source_status->ok()) {
            if (const auto& source = prepared.source_status->value()) {
                source_time = source->modified;
            } else {
                prepared.source_status = Result<std::optional<FileStatus>>(
                    FailureFromErrno(ENOENT));  // vanished since it was listed
            }
        }
    }
    prepared.action = ActionFor(exists, style, source_time, destination_time, pass.time_step);
    if (prepared.action == FileAction::kKeep && prepared.destination_status.ok() &&
        (!prepared.source_status || prepared.source_status->ok())) {
        // Most files of a re-sync: nothing to write about, and the path is freed here, on the
        // thread that made it.
        std::string().swap(prepared.destination);
    }
}

bool NeedsCopy(const Pass& pass, const PreparedFile& prepared) {
    return !prepared.skip && prepared.action != FileAction::kKeep && !prepared.staged &&
           !pass.settings.IsPreview();
}

void Stage(const Pass& pass, const FolderPlace& place, const FileEntry& file,
           PreparedFile& prepared) {
    prepared.staged = pass.fs.StageCopyIn(place.source_folder.get(), place.staging_folder.get(),
                                          file, DestinationOf(pass, file, prepared));
    if (prepared.DestinationExists() && prepared.HoldsCopy()) {
        pass.fs.StartWritingOut(prepared.staged->value());
    }
}

void Discard(const Pass& pass, PreparedFile& prepared) {
    if (prepared.HoldsCopy()) {
        pass.fs.DiscardCopy(prepared.staged->value());
    }
    prepared.staged.reset();
}

}  // namespace tidemark
