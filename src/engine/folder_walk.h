#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/counted_listings.h"
#include "engine/exclusion.h"
#include "engine/file_prefetcher.h"
#include "engine/file_system_port.h"
#include "engine/folder_guard.h"
#include "engine/progress.h"
#include "engine/results_log.h"
#include "engine/run_types.h"

namespace tidemark {

/// Everything one pass of the walk reads and changes.
struct PassContext {
    FileSystemPort& fs;
    RunView& view;
    ResultsLog& log;
    RunProgress& progress;
    TextFormat& format;
    const SyncSettings& settings;
    const ExcludeList& exclude_list;
    SyncStats& stats;
    FilePrefetcher& prefetcher;
    /// The listings of the count before the pass, for the pass to take.
    CountedListings& counted_listings;
    /// The destination root where the source tree holds it, neither counted nor walked.
    FolderGuard& guard;
};

/// The recursive walk of one pass over the source tree: sub-folders first, depth first,
/// creating missing destination folders, then each folder's own files.
class FolderWalk {
  public:
    explicit FolderWalk(PassContext& context) : context_(context) {}

    /// Handles one source folder and its whole tree; skips it whole when the exclude list
    /// matches its source path. Returns early once the user asked to stop. `new_destination`
    /// says that the folder's destination was created (or, in a preview, found missing) by
    /// this pass, so that nothing in it needs looking up.
    void ProcessFolder(const std::string& folder, const std::string& source_root,
                       const std::string& destination_root, bool new_destination = false);

    /// The number of files in the folder's whole tree, hidden and system ones included. An
    /// unreadable folder is reported and counts the files reached so far. The listings of the
    /// folders the pass will walk are kept for it.
    std::int64_t CountFiles(const std::string& folder);

  private:
    /// CountFiles with `helpers` threads listing folders beside this one, keeping listings
    /// only when asked to.
    std::int64_t CountFiles(const std::string& folder, int helpers, bool keep_listings);
    void ProcessSubFolders(const Result<FolderListing>& listing, const std::string& source_root,
                           const std::string& destination_root, bool new_destination);
    void ProcessFiles(const Result<FolderListing>& listing, const std::string& folder,
                      const std::string& source_root, const std::string& destination_root,
                      bool new_destination);
    void ProcessFile(const FileEntry& file, PreparedFile& prepared);
    bool IsGuarded(const FileEntry& sub_folder) const;
    bool Excludes(const std::string& path) const;

    PassContext& context_;
    int depth_ = 0;
    /// The destination folder of the files in hand until a copy is first put in it; what
    /// copies that died left there is removed then.
    std::optional<std::string> folder_to_clean_;
};

}  // namespace tidemark
