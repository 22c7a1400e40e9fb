#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/clock.h"
#include "engine/look_ahead.h"
#include "engine/progress.h"

namespace tidemark {

/// Counts the files under `folder` in the user's sight: the activity sign steps for each
/// sub-folder reached, and each folder that cannot be listed gets its line.
std::int64_t CountFiles(TreeCount& count, const std::string& folder, RunProgress& progress,
                        ResultsLog& log);

/// The walk of one pass over the source tree: sub-folders first, depth first, creating missing
/// destination folders, then each folder's own files. Each file's turn decides (from what was
/// prepared ahead, checked again where the destination changed since), does (puts the copy in
/// place; nothing in a preview) and reports (its lines and counters), in that order.
class Walk {
  public:
    Walk(const Pass& pass, LookAhead& look_ahead, ResultsLog& log, RunProgress& progress,
         SyncStats& stats, TextFormat& format)
        : pass_(pass),
          look_ahead_(look_ahead),
          log_(log),
          progress_(progress),
          stats_(stats),
          format_(format) {}

    /// Handles one source folder and its whole tree; skips it whole when the exclude list
    /// matches its source path. Returns early once the user asked to stop. `new_destination`:
    /// the folder's destination was made by this pass (or, in a preview, found missing);
    /// `made`: that folder held open, when the walk just made it.
    void ProcessFolder(const std::string& folder, bool new_destination = false, int depth = 0,
                       std::shared_ptr<const HeldFolder> made = nullptr);

  private:
    void ProcessSubFolders(const LookAhead::Visit& visit, bool new_destination, int depth);
    void ProcessFiles(const std::string& folder, const LookAhead::Visit& visit,
                      bool new_destination);
    void ProcessFile(const FileEntry& file, PreparedFile prepared, LookAhead::Files& files);
    /// Looks at the destination again, and decides again, where the walk may have put another
    /// file in its place since it was prepared: under another name that folds together with
    /// this one, or into this folder met before under another name. Elsewhere a decision made
    /// ahead cannot go stale through the walk.
    void Confirm(const FileEntry& file, PreparedFile& prepared, LookAhead::Files& files);
    /// Decides again: from a fresh look at the destination, or without one (`look` false) as
    /// in a new folder. A staged copy that is no longer due is thrown away.
    void Decide(const FileEntry& file, PreparedFile& prepared, const FolderPlace& place, bool look);
    /// Puts the copy in place; answers what failed, in order.
    std::vector<Failure> Apply(const FileEntry& file, PreparedFile& prepared,
                               LookAhead::Files& files, bool retried = false);
    /// Stages the copy in turn; where the destination is full, again after giving back the
    /// room that copies staged ahead and files just replaced still hold.
    void StageInTurn(const FileEntry& file, PreparedFile& prepared, LookAhead::Files& files);
    void Report(const PreparedFile& prepared, const std::vector<Failure>& failures);
    void ReportSkip(const FileEntry& file, SkipReason reason);

    const Pass& pass_;
    LookAhead& look_ahead_;
    ResultsLog& log_;
    RunProgress& progress_;
    SyncStats& stats_;
    TextFormat& format_;
    /// Destination folders as the walk met them, by their path in upper case: a folder met
    /// twice (under two names on a destination that folds case), and the last change the walk
    /// made to it (the look-ahead's count of changes then).
    std::unordered_set<std::string> folders_met_;
    std::unordered_map<std::string, std::uint64_t> last_changes_;
    /// The destination folder of the files in hand, and its key.
    std::string destination_folder_;
    std::string folder_key_;
    /// Whether the destination folder of the files in hand was met before, under another name.
    bool met_before_ = false;
    /// Whether what dead copies left in that folder is still to be removed: at the first copy
    /// put there by a real pass.
    bool leftovers_to_remove_ = false;
};

}  // namespace tidemark
