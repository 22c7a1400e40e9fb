#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/executor.h"
#include "engine/file_preparation.h"
#include "engine/thread_safety.h"
#include "engine/tree_count.h"

namespace tidemark {

/// Lists folders and prepares files ahead of the walk, on the executor's threads, so that the
/// walk finds them ready when it asks for them by folder path.
///
/// A scout goes through the source tree in the walk's order (the traversal rules of
/// SubFoldersOf) and queues each folder's listing, then, once its sub-folders are done, the
/// batch of its files; workers prepare the files of the queued batches in that order (LookUp,
/// and Stage where a copy is due). Who owns what:
/// - What is queued is the look-ahead's until the walk takes it by folder path. Since the scout
///   goes the walk's way, what was queued before it is dropped then: the walk went past it.
/// - A file of a batch is waiting (the look-ahead's), preparing (the worker that claimed it,
///   which works on it without the lock), prepared (the look-ahead's again) or taken (the
///   walk's). Claims and hand-overs happen under the lock.
/// - A batch that is dropped, or that the walk is done with, is abandoned: its prepared files
///   are discarded at once, and a file still being prepared by its preparer.
/// Anything never asked for costs nothing but the work done ahead, and is dropped at the end.
class LookAhead {
  public:
    struct Bounds {
        std::size_t files = 1024;                ///< files queued ahead of the walk
        std::uint64_t staged_bytes = 64u << 20;  ///< bytes of copies staged ahead
        std::size_t staged_files = 128;          ///< copies staged ahead: each holds a descriptor
        std::size_t folders = 128;               ///< listings and batches: each holds folders open
        /// Copies are staged ahead only while the destination keeps this much free beside them.
        std::uint64_t spare_space = 64u << 20;
    };

    /// Starts the scout and `workers` workers on `executor`, unless `workers` is 0; `held`: as
    /// Hold(true) from the start.
    LookAhead(const Pass& pass, TreeSurvey& survey, Executor* executor, int workers, Bounds bounds,
              bool held);
    /// Stops the scout and the workers and throws away whatever the walk did not take.
    ~LookAhead();
    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    /// A folder as the walk reaches it: its listing, and its destination folder held open
    /// (null while that does not exist, or where holding it gains nothing).
    struct Visit {
        std::shared_ptr<const Result<FolderListing>> listing;
        std::shared_ptr<const HeldFolder> destination_folder;
    };
    /// The visit of `folder`, `depth` levels below the root: the scout's, or made now.
    /// `made`: its destination folder held open, when the walk just made it.
    Visit Listing(const std::string& folder, int depth, std::shared_ptr<const HeldFolder> made)
        TM_EXCLUDES(mutex_);
    /// Source folders the count found to be the destination root.
    const std::vector<std::string>& Guarded() const { return survey_.guarded; }

    struct Batch;
    /// The files of one folder as the walk takes them, in order.
    class Files {
      public:
        /// The prepared file at `index`; indexes are taken in order from 0. Prepared now,
        /// on the walk's thread, when nobody did it ahead.
        PreparedFile Take(std::size_t index);
        const FolderPlace& place() const { return place_; }
        /// Whether the files were prepared ahead of the walk, rather than in their turn.
        bool PreparedAhead() const { return batch_ != nullptr; }
        /// Whether they were looked for in a folder the walk made after the look-ahead looked:
        /// a decision from a look that found nothing is the one made without a look; others
        /// are made again in turn.
        bool LookedInNewFolder() const { return looked_in_new_folder_; }
        /// Whether two of the prepared files' names are one in upper case: on a destination
        /// that folds case, they reach one item. Worked out when first asked.
        bool NamesFoldTogether();
        /// True, once, for whoever first puts a copy in the destination folder: it removes what
        /// copies that died left there.
        bool ClaimCleanup();

      private:
        friend class LookAhead;
        LookAhead* owner_ = nullptr;
        std::shared_ptr<Batch> batch_;  // null when nothing was prepared ahead
        const std::vector<FileEntry>* files_ = nullptr;
        FolderPlace place_;
        bool looked_in_new_folder_ = false;
        std::optional<bool> names_fold_together_;
        std::size_t next_ = 0;   // the index taken next
        std::size_t taken_ = 0;  // the batch's files before this one are the walk's
    };

    /// The walk starts on the files of `folder`, whose destination is new to this pass or not.
    /// `visit` must outlive what is returned. When the look-ahead prepared them for another
    /// state of the destination, they are prepared again, in turn.
    Files FilesOf(const std::string& folder, const Visit& visit, bool new_destination)
        TM_EXCLUDES(mutex_);
    /// The walk is done with the files; any not taken are thrown away.
    void Done(Files& files) TM_EXCLUDES(mutex_);

    /// While held (the run is paused), no new work starts.
    void Hold(bool held) TM_EXCLUDES(mutex_);

    /// The destination ran out of space: throws away every copy staged ahead, those the walk
    /// took with `files` included (each is staged again in its turn), and stages nothing ahead
    /// from now on.
    void GiveBackSpace(Files& files) TM_EXCLUDES(mutex_);

    /// Counts one change the walk made to the destination; answers how many there were. A file
    /// prepared before the last change to its folder may be looked at again in its turn.
    std::uint64_t CountChange() { return ++changes_; }

  private:
    /// A listing or a batch, in the scout's order.
    struct Queued {
        std::uint64_t order;
        std::string folder;
        Visit visit;                   // a listing's
        std::shared_ptr<Batch> batch;  // a batch's; null for a listing
    };
    /// Files a worker claimed together: the first and how many, and what became of each.
    struct Chunk {
        std::size_t first;
        std::size_t count;
        std::array<bool, 32> staging{};  // counted in staging_ while its copy is made
        std::array<bool, 32> failed{};
    };

    /// Waits until the scout queued a batch (or a listing) for `folder`, and takes it; all
    /// queued before it is dropped. Nothing when the walk is to go on its own.
    std::optional<Queued> Await(MutexLock& lock, bool batch, const std::string& folder)
        TM_REQUIRES(mutex_);
    /// Drops what the scout queued before `order`: the walk has gone past it.
    void DropBefore(std::uint64_t order) TM_REQUIRES(mutex_);
    /// Wakes the scout where it may be waiting for room.
    void MadeRoom() TM_REQUIRES(mutex_);
    /// Drops a batch: its prepared files go now, those in preparation when they are done.
    void Abandon(Batch& batch) TM_REQUIRES(mutex_);
    /// Counts off a staged copy the walk took or that was thrown away.
    void Unreserve(const PreparedFile& prepared) TM_REQUIRES(mutex_);
    /// Whether the copies staged ahead have reached a bound.
    bool StagingFull() const TM_REQUIRES(mutex_);
    PreparedFile TakeFrom(Files& files, std::size_t index) TM_EXCLUDES(mutex_);

    // The scout and the workers (look_ahead_helpers.cpp).
    void Scout() TM_EXCLUDES(mutex_);
    /// Lists and queues `folder` and its tree; `parent` is where its parent's files go.
    void ScoutFolder(const std::string& folder, int depth, const FolderPlace& parent)
        TM_EXCLUDES(mutex_);
    /// Waits until there is room to queue a listing (`files` 0) or a batch of `files` files;
    /// false once the look-ahead stops.
    bool WaitForRoom(MutexLock& lock, std::size_t files) TM_REQUIRES(mutex_);
    void Queue(Queued queued) TM_EXCLUDES(mutex_);
    void Work() TM_EXCLUDES(mutex_);
    /// The first batch with a file to claim; null when none may be claimed now.
    std::shared_ptr<Batch> ClaimableBatch() TM_REQUIRES(mutex_);
    /// Prepares the chunk's files, handing over at once those ready when a copy was made;
    /// answers how many were handed over.
    std::size_t Prepare(Batch& batch, Chunk& chunk) TM_EXCLUDES(mutex_);
    /// Hands files [from, to) of the chunk over as prepared, or drops them where their batch
    /// was.
    void Publish(Batch& batch, const Chunk& chunk, std::size_t from, std::size_t to)
        TM_REQUIRES(mutex_);
    /// Whether a copy may be staged ahead of the walk now; if so it is counted as staging, and
    /// `clean` tells whether this one first removes what dead copies left in the folder.
    bool MayStageAhead(Batch& batch, bool& clean) TM_EXCLUDES(mutex_);
    /// Whether the last reading of the destination's free space leaves room to stage ahead.
    bool RoomToStage() const TM_REQUIRES(mutex_);

    const Pass& pass_;
    TreeSurvey& survey_;
    const Bounds bounds_;
    const bool running_;  // with a scout and workers

    mutable Mutex mutex_;
    std::condition_variable work_ready_;  // for the workers: files to prepare, room to stage
    std::condition_variable room_ready_;  // for the scout: room to queue, or no longer held
    std::condition_variable file_ready_;  // for the walk
    bool stopping_ TM_GUARDED_BY(mutex_) = false;
    bool held_ TM_GUARDED_BY(mutex_) = false;
    bool scout_done_ TM_GUARDED_BY(mutex_) = false;
    bool space_short_ TM_GUARDED_BY(mutex_) = false;
    bool walk_waiting_ TM_GUARDED_BY(mutex_) = false;  // for a file, or for staging to end
    std::deque<Queued> queue_ TM_GUARDED_BY(mutex_);   // not yet taken by the walk
    std::uint64_t next_order_ TM_GUARDED_BY(mutex_) = 0;
    std::size_t queued_files_ TM_GUARDED_BY(mutex_) = 0;  // in the queued batches
    /// Batches with files to prepare: queued ones, and the one the walk works on.
    std::deque<std::shared_ptr<Batch>> batches_ TM_GUARDED_BY(mutex_);
    std::size_t staged_files_ TM_GUARDED_BY(mutex_) = 0;  // staged ahead, not yet taken
    std::uint64_t staged_bytes_ TM_GUARDED_BY(mutex_) = 0;
    int staging_ TM_GUARDED_BY(mutex_) = 0;  // copies being staged ahead right now
    /// Changes the walk made, counted without the lock: whoever reads a count sees every change
    /// it counts.
    std::atomic<std::uint64_t> changes_{0};
    /// The destination's free space at the last reading (the most where it cannot be told),
    /// and the bytes of copies staged ahead that the walk took since.
    std::optional<std::uint64_t> free_space_ TM_GUARDED_BY(mutex_);
    std::uint64_t taken_bytes_ TM_GUARDED_BY(mutex_) = 0;
    /// A hint, read without the lock: the walk waits for a file in preparation, so workers
    /// hand over each file as soon as it is ready rather than their whole claim at its end.
    std::atomic<bool> walk_wants_{false};
    std::optional<TaskGroup> tasks_;  // last: its destructor waits for the scout and workers
};

/// The files of one folder in the walk's order, owned as LookAhead says.
struct LookAhead::Batch {
    enum class State : char { kWaiting, kPreparing, kPrepared, kTaken };

    std::shared_ptr<Result<FolderListing>> listing;  // holds the files, and the folder open
    FolderPlace place;
    std::string destination;
    bool prepare_ahead = true;     // false: the walk prepares them, once the folder exists
    bool cleaned = false;          // what dead copies left in the destination folder was removed
    bool free_space_read = false;  // when first staged in
    bool abandoned = false;
    std::vector<State> states;
    std::vector<PreparedFile> prepared;
    std::size_t next_waiting = 0;  // no waiting file before this one

    const std::vector<FileEntry>& files() const { return listing->value().files; }
};

}  // namespace tidemark
