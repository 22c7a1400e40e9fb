#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/executor.h"
#include "engine/pass.h"
#include "engine/thread_safety.h"

namespace tidemark {

/// What the workload count learned for the pass after it: the folder listings it kept, so that
/// the pass takes them instead of reading each folder again (the file system checks that the
/// folder did not change in between), and the names under which it met the destination root.
/// Listings are kept compactly, in two blocks each, up to a bounded number of items. Any
/// thread may take listings.
class TreeSurvey {
  public:
    /// About 20 MiB for names of ordinary length.
    static constexpr std::size_t kMostItems = 1 << 20;

    explicit TreeSurvey(std::size_t most_items = kMostItems) : most_items_(most_items) {}

    /// Keeps the listing of `folder` while there is room, where the file system can tell a
    /// later change of the folder from its state.
    void Keep(const std::string& folder, const FolderListing& listing) noexcept TM_EXCLUDES(mutex_);

    /// Lists `folder`: from the listing kept for it, which is used up, when the folder did not
    /// change since; afresh otherwise. `parent`: the folder that holds it, held open, or null.
    Result<FolderListing> List(FileSystemPort& fs, const std::string& folder,
                               const HeldFolder* parent = nullptr) TM_EXCLUDES(mutex_);

    /// Source folders found to be the destination root by their identity. Set once the count
    /// is over, before anything reads it.
    std::vector<std::string> guarded;

  private:
    struct Item {
        std::uint32_t name_end;  // where the item's name ends in `names`
        EntryKind kind;
        std::uint8_t attributes;
    };
    /// One listing without its paths: the sub-folders' items first, then the files'.
    struct Kept {
        std::string names;
        std::vector<Item> items;
        std::size_t sub_folders = 0;
        FolderState state;
        std::optional<FolderIdentity> identity;
    };

    static Kept Compact(const FolderListing& listing);
    static FolderListing Expand(const Kept& kept, const std::string& folder,
                                const PathSyntax& syntax);

    const std::size_t most_items_;
    Mutex mutex_;
    std::unordered_map<std::string, Kept> listings_ TM_GUARDED_BY(mutex_);
    std::size_t items_ TM_GUARDED_BY(mutex_) = 0;  // kept so far, including those taken
};

/// Counts the files of a folder's whole tree, listing its folders on several threads at once.
/// What the caller sees is what a depth-first count on one thread gives: the same total, one
/// step per sub-folder reached, and the unreadable folders in the order such a count meets
/// them. The destination root is left out wherever it shows up in the tree.
class TreeCount {
  public:
    /// `helpers` tasks on `executor` list folders beside the caller. `survey`, when not null,
    /// is filled for the pass that follows, with the folders it will walk.
    TreeCount(const Pass& pass, TreeSurvey* survey, Executor* executor, int helpers);

    /// Called on the caller's thread once for each sub-folder reached.
    using FolderReached = std::function<void()>;
    /// Called on the caller's thread for each folder that could not be listed.
    using Unreadable = std::function<void(const std::string& folder, const Failure& failure)>;

    /// Counts the files under `root`. An unreadable folder counts nothing and the count goes
    /// on; what a listing throws is thrown here, after the unreadable folders met before it.
    std::int64_t Count(const std::string& root, const FolderReached& folder_reached,
                       const Unreadable& unreadable) TM_EXCLUDES(mutex_);

  private:
    /// A folder to list, with where a depth-first walk meets it: the index of each sub-folder
    /// taken on the way down from the root.
    struct Task {
        std::string folder;
        std::vector<std::uint32_t> position;
        bool walked;  // the pass will walk it: neither it nor a folder above it is skipped
        std::shared_ptr<const HeldFolder> parent;  // held open, within the held levels
    };
    struct UnreadableFolder {
        std::vector<std::uint32_t> position;
        std::string folder;
        Failure failure;
    };

    /// Lists folders until none are left; the caller's thread also reports the steps.
    void Work(const FolderReached* folder_reached) TM_EXCLUDES(mutex_);
    void ListOne(const Task& task) TM_EXCLUDES(mutex_);

    const Pass& pass_;
    TreeSurvey* const survey_;
    Executor* const executor_;
    const int helpers_;

    Mutex mutex_;
    std::condition_variable changed_;
    std::vector<Task> waiting_ TM_GUARDED_BY(mutex_);  // a stack: depth first keeps it short
    int listing_ TM_GUARDED_BY(mutex_) = 0;            // folders being listed
    std::int64_t files_ TM_GUARDED_BY(mutex_) = 0;
    std::size_t reached_ TM_GUARDED_BY(mutex_) = 0;   // sub-folders found
    std::size_t reported_ TM_GUARDED_BY(mutex_) = 0;  // of which the caller has reported
    std::vector<UnreadableFolder> unreadable_ TM_GUARDED_BY(mutex_);
    std::vector<std::string> guarded_ TM_GUARDED_BY(mutex_);
    std::exception_ptr error_ TM_GUARDED_BY(mutex_);
    std::vector<std::uint32_t> error_position_ TM_GUARDED_BY(mutex_);
};

}  // namespace tidemark
