#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/executor.h"
#include "engine/pass.h"
#include "engine/thread_safety.h"
#include "engine/tree_survey.h"

namespace tidemark {

/// Counts the files of a folder's whole tree, listing its folders on several threads at once.
/// What the caller sees is what a depth-first count on one thread gives: the same total, one
/// step per sub-folder reached, and the unreadable folders in the order such a count meets
/// them. The destination root is left out wherever it shows up in the tree.
class TreeCount {
  public:
    /// `helpers` tasks on `executor` list folders beside the caller. `survey`, when not null,
    /// keeps the listings of the folders the pass will walk and the names under which the
    /// destination root was met.
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
