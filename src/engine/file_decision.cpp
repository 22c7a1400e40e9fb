#include "engine/file_decision.h"

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

}  // namespace tidemark
