#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/counted_listings.h"
#include "engine/file_preparation.h"
#include "engine/folder_guard.h"

namespace tidemark {

/// The pass the look-ahead follows through the source tree.
struct PassRoute {
    FileSystemPort& fs;
    const SyncSettings& settings;
    const ExcludeList& exclude_list;
    std::string source_root;
    std::string destination_root;
    const FolderGuard& guard;  ///< the destination root, left out where the source holds it
    CountedListings& counted_listings;
};

/// Prepares files on worker threads ahead of the walk, which takes them strictly in order.
///
/// During a pass a scout thread lists the source tree in the walk's own order and queues each
/// folder's files, in the order the walk will reach them, for the workers to prepare: across
/// folder boundaries, a bounded number of files and bytes ahead. Where the walk turns out to
/// go another way than the scout (the tree changed, a folder could not be created), the scout
/// is dropped and each folder is prepared when the walk reaches it. With no workers, each file
/// is prepared when it is taken, on the caller's thread.
class FilePrefetcher {
  public:
    /// A sensible number of workers for this machine: its cores, at least 2, at most 8.
    static int DefaultWorkers();
    /// How many bytes of staged copies may wait ahead of the walk, and how many copies: each
    /// holds a descriptor, and a process has only so many.
    static constexpr std::uint64_t kMostStagedBytes = 64 << 20;
    static constexpr std::size_t kMostStagedFiles = 128;
    /// How many folders may wait ahead of the walk: each holds its source and destination
    /// folders open.
    static constexpr std::size_t kMostQueuedFolders = 64;
    static constexpr std::size_t kHalfFolders = kMostQueuedFolders / 2;

    /// `window` bounds the files queued ahead of the walk; `helper_start`, when not null, is
    /// called first on each thread the prefetcher starts.
    FilePrefetcher(int workers, std::size_t window, HelperThreadStart helper_start = nullptr);
    ~FilePrefetcher();
    FilePrefetcher(const FilePrefetcher&) = delete;
    FilePrefetcher& operator=(const FilePrefetcher&) = delete;

    int Workers() const { return static_cast<int>(workers_.size()); }
    HelperThreadStart HelperStart() const { return helper_start_; }

    /// Starts following a pass. `route` must stay valid until EndPass.
    void StartPass(const PassRoute& route);
    /// Stops following the pass and throws away everything prepared ahead of the walk.
    void EndPass();

    /// The listing of `folder` that the scout made, when the walk's next folder is the one
    /// the scout listed next; null otherwise, and the walk lists the folder itself.
    std::shared_ptr<const Result<FolderListing>> TakeListing(const std::string& folder);

    /// The walk is about to create a destination folder. Files the scout queues for it are
    /// left for the walk to prepare, as the files of a folder this pass made.
    void NoteCreating(const std::string& destination_folder);

    /// The walk starts on a folder's files. Both arguments must stay valid until Abandon.
    void Begin(const std::string& folder, const std::vector<FileEntry>& files,
               const PreparationContext& context);
    /// The prepared file at `index` of the folder begun last, waiting for it when needed;
    /// indexes are taken in order.
    PreparedFile& Take(std::size_t index);
    /// Done with the folder begun last: throws away its staged copies that were not settled.
    void Abandon();

  private:
    enum class ItemState : char { kWaiting, kPreparing, kPrepared };

    /// The files of one folder, in the walk's order.
    struct Batch {
        std::string folder;
        std::shared_ptr<const Result<FolderListing>> listing;  // the scout's, which holds files
        const std::vector<FileEntry>* files = nullptr;
        std::optional<PreparationContext> context;  // empty until the batch may be prepared
        /// An item is written by whoever set it kPreparing and read by the walk once it is
        /// kPrepared, so the walk finds a prepared file without taking the lock.
        std::vector<std::optional<PreparedFile>> prepared;
        std::unique_ptr<std::atomic<ItemState>[]> states;
        std::vector<std::exception_ptr> errors;  // what preparing an item threw, if anything
        std::size_t size = 0;
        std::size_t next_waiting = 0;  // no waiting item before this one
        std::size_t preparing = 0;
        bool scouted = false;  // queued by the scout; the walk has not begun it
        bool discarding = false;
    };

    void WorkerLoop();
    void ScoutLoop();
    void ScoutFolder(const std::string& folder, int depth,
                     const std::shared_ptr<const HeldFolder>& staging);
    bool Excludes(const std::string& path) const;
    /// Claims the first run of waiting items, at most `most`, of a batch that may be
    /// prepared; with mutex_ held.
    bool ClaimWork(std::size_t most, Batch*& batch, std::size_t& first, std::size_t& count);
    /// Prepares claimed items, with mutex_ held on entry and on return; true when any of them
    /// was copied.
    bool PrepareItems(std::unique_lock<std::mutex>& lock, Batch& batch, std::size_t first,
                      std::size_t count);
    /// Prepares one claimed item; true when it was copied. The walk calls it without the
    /// lock for its own next file: it never discards a batch while preparing one.
    bool PrepareItem(Batch& batch, std::size_t index);
    static void ResetItems(Batch& batch, std::size_t size);
    /// The prepared item, or what preparing it threw, thrown again.
    static PreparedFile& Prepared(Batch& batch, std::size_t index);
    /// Waits for the batch's items in preparation, then throws away its staged copies.
    void DiscardBatch(std::unique_lock<std::mutex>& lock, Batch& batch);
    void StopScout(std::unique_lock<std::mutex>& lock);
    /// Frees the batches the walk is done with, without the lock; with mutex_ held on entry
    /// and on return.
    void FreeRetired(std::unique_lock<std::mutex>& lock);
    /// Wakes the scout when the walk has taken enough for it to go on; with mutex_ held.
    void WakeScoutIfRoom();
    /// Hands a listing on to the walk, waiting for room; false once the scout must stop.
    bool PublishListing(const std::string& folder,
                        std::shared_ptr<const Result<FolderListing>> listing);
    static bool HoldsStagedCopy(const std::optional<PreparedFile>& prepared);
    /// Whether the staged copies waiting ahead of the walk have reached a bound.
    bool StagedFull() const;
    void CountStaged(const std::optional<PreparedFile>& prepared);
    /// Counts a staged copy off when the walk has gone past it or it was thrown away, waking
    /// the workers when that makes room.
    void ReleaseStaged(const std::optional<PreparedFile>& prepared);

    const std::size_t window_;
    const HelperThreadStart helper_start_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable file_ready_;  // an item was prepared, or a batch was queued
    std::condition_variable room_ready_;  // the walk finished a batch
    bool shutting_down_ = false;
    /// Staged copies the walk has not yet gone past, and their bytes.
    std::atomic<std::uint64_t> staged_bytes_ = 0;
    std::atomic<std::size_t> staged_files_ = 0;
    std::atomic<bool> walk_waiting_ = false;  // for a file in preparation, or a discard

    std::deque<std::unique_ptr<Batch>> batches_;  // the walk's current batch first, if any
    /// Batches the walk is done with, for the scout to free; each holds its folders open.
    static constexpr std::size_t kMostRetired = 16;
    std::vector<std::unique_ptr<Batch>> retired_;
    Batch* current_ = nullptr;
    std::size_t queued_files_ = 0;    // files of the scouted batches the walk has not begun
    std::size_t queued_folders_ = 0;  // and those batches

    struct ScoutedListing {
        std::string folder;
        std::shared_ptr<const Result<FolderListing>> listing;
    };
    std::deque<ScoutedListing> listings_;  // listed by the scout, not yet taken by the walk

    std::optional<PassRoute> route_;
    std::unordered_set<std::string> created_;  // destination folders the walk made this pass
    std::thread scout_;
    bool scouting_ = false;  // the walk may expect the scout's batches
    bool scout_done_ = false;
    std::atomic<bool> scout_stop_ = false;
};

}  // namespace tidemark
