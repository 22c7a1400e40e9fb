#include "engine/file_preparation.h"

#include <cerrno>

namespace tidemark {

PreparedFile PrepareFile(const FileEntry& file, const PreparationContext& context) {
    const SyncSettings& settings = context.settings;
    PreparedFile prepared;
    const bool excluded = settings.UsesExcludeList() && IsExcluded(file.path, context.exclude_list);
    prepared.skip = SkipReasonFor(excluded, file.attributes, settings);
    if (prepared.skip) {
        return prepared;
    }
    // Freed on this thread unless the walk needs it: freeing on another thread's heap costs.
    std::string destination = DestinationPathOf(file.path, context.source_root,
                                                context.destination_root, context.fs.Syntax());
    prepared.destination_status =
        context.new_destination_folder
            ? Result<std::optional<FileStatus>>(std::nullopt)
            : context.fs.FindFileIn(context.destination_folder.get(), destination);

    const SyncStyle style = settings.EffectiveStyle();
    FileTime source_time = 0;
    FileTime destination_time = 0;
    const bool exists = prepared.DestinationExists();
    if (exists && NeedsTimes(style)) {
        destination_time = prepared.destination_status->value()->modified;
        prepared.source_status = context.fs.FindFileIn(context.source_folder.get(), file.path);
        if (prepared.source_status->ok()) {
            if (const auto& source = prepared.source_status->value()) {
                source_time = source->modified;
            } else {
                prepared.source_status = Result<std::optional<FileStatus>>(
                    FailureFromErrno(ENOENT));  // vanished since it was listed
            }
        }
    }
    prepared.action = ActionFor(exists, style, source_time, destination_time);
    if (prepared.action != FileAction::kKeep && !settings.IsPreview()) {
        prepared.staged = context.fs.StageCopyIn(
            context.source_folder.get(), context.destination_folder.get(), file, destination);
        if (exists && prepared.staged->ok()) {
            context.fs.StartWritingOut(prepared.staged->value());
        }
    }
    const bool failed = !prepared.destination_status->ok() ||
                        (prepared.source_status && !prepared.source_status->ok());
    if (prepared.action != FileAction::kKeep || failed) {
        prepared.destination = std::move(destination);
    }
    return prepared;
}

}  // namespace tidemark
