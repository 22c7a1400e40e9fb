#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_system_port.h"
#include "engine/folder_guard.h"
#include "engine/run_types.h"

namespace tidemark {

/// Counts the files of a folder's whole tree, listing its folders on several threads at once.
/// What the caller sees is what a depth-first count on one thread gives: the same total, one
/// step per sub-folder reached, and the unreadable folders in the order such a count meets
/// them.
class TreeCount {
  public:
    /// `helpers` threads list folders beside the caller's; with none the caller lists them all.
    /// The folders `guard` guards are left out with their whole trees; those found to be the
    /// destination root by their identity are added to `found`, when not null.
    /// `helper_start`, when not null, is called first on each helper.
    TreeCount(FileSystemPort& fs, const FolderGuard& guard, std::vector<std::string>* found,
              int helpers, HelperThreadStart helper_start = nullptr);

    /// Called on the caller's thread once for each sub-folder reached.
    using FolderReached = std::function<void()>;
    /// Called on the caller's thread for each folder that could not be listed.
    using Unreadable = std::function<void(const std::string& folder, const Failure& failure)>;

    /// Called on any of the counting threads with each listing once its files are counted;
    /// must not throw.
    using Listed = std::function<void(const std::string& folder, const FolderListing& listing)>;

    /// Counts the files under `root`. An unreadable folder counts nothing and the count goes
    /// on; what a listing throws is thrown here, after the unreadable folders met before it.
    std::int64_t Count(const std::string& root, const FolderReached& folder_reached,
                       const Unreadable& unreadable, Listed listed = nullptr);

  private:
    /// A folder to list, with where a depth-first walk meets it: the index of each sub-folder
    /// taken on the way down from the root.
    struct Task {
        std::string folder;
        std::vector<std::uint32_t> position;
    };
    struct UnreadableFolder {
        std::vector<std::uint32_t> position;
        std::string folder;
        Failure failure;
    };

    /// Lists folders until none are left; the caller's thread also reports the steps.
    void Work(const FolderReached* folder_reached);
    void ListOne(const Task& task, std::unique_lock<std::mutex>& lock);

    FileSystemPort& fs_;
    const FolderGuard& guard_;
    std::vector<std::string>* const found_;  // with mutex_ held; may be guard_.found
    const int helpers_;
    const HelperThreadStart helper_start_;
    Listed listed_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Task> waiting_;  // a stack: depth first, which keeps it short
    int listing_ = 0;            // folders being listed
    int sleeping_ = 0;           // threads waiting for a folder to list
    std::int64_t files_ = 0;
    std::size_t reached_ = 0;   // sub-folders found
    std::size_t reported_ = 0;  // of which the caller has reported
    std::vector<UnreadableFolder> unreadable_;
    std::exception_ptr error_;
    std::vector<std::uint32_t> error_position_;
};

}  // namespace tidemark
