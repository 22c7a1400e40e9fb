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

FileAction ActionFor(bool destination_exists, SyncStyle style, FileTime source_modified,
                     FileTime destination_modified) {
    if (!destination_exists) {
        return FileAction::kCreate;
    }
    switch (style) {
        case SyncStyle::kBackup:
            return FileAction::kOverwrite;
        case SyncStyle::kNormal:
            return source_modified > destination_modified ? FileAction::kUpdate : FileAction::kKeep;
        case SyncStyle::kSafeMode:
            break;
    }
    return FileAction::kKeep;
}

}  // namespace tidemark
