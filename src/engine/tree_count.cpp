#include "engine/tree_count.h"

#include <algorithm>
#include <thread>

namespace tidemark {

TreeCount::TreeCount(FileSystemPort& fs, const FolderGuard& guard, std::vector<std::string>* found,
                     int helpers, HelperThreadStart helper_start)
    : fs_(fs),
      guard_(guard),
      found_(found),
      helpers_(std::max(helpers, 0)),
      helper_start_(helper_start) {}

std::int64_t TreeCount::Count(const std::string& root, const FolderReached& folder_reached,
                              const Unreadable& unreadable, Listed listed) {
    listed_ = std::move(listed);
    waiting_.push_back(Task{root, {}});
    // Joined on the way out too, should reporting a step throw: the helpers finish the
    // folders left and end.
    std::vector<std::jthread> helpers;
    for (int i = 0; i < helpers_; ++i) {
        helpers.emplace_back([this] {
            if (helper_start_ != nullptr) {
                helper_start_();
            }
            Work(nullptr);
        });
    }
    Work(&folder_reached);
    for (std::jthread& helper : helpers) {
        helper.join();
    }

    // Positions compare as a depth-first walk meets the folders: a folder before its
    // sub-folders, sub-folders in listing order.
    std::sort(unreadable_.begin(), unreadable_.end(),
              [](const UnreadableFolder& a, const UnreadableFolder& b) {
                  return a.position < b.position;
              });
    for (const UnreadableFolder& folder : unreadable_) {
        if (error_ && !(folder.position < error_position_)) {
            break;  // a count on one thread would not have got this far
        }
        unreadable(folder.folder, folder.failure);
    }
    if (error_) {
        std::rethrow_exception(error_);
    }
    return files_;
}

void TreeCount::Work(const FolderReached* folder_reached) {
    std::unique_lock lock(mutex_);
    while (true) {
        if (folder_reached != nullptr) {
            while (reported_ < reached_) {
                ++reported_;
                lock.unlock();
                (*folder_reached)();
                lock.lock();
            }
        }
        if (waiting_.empty() && listing_ == 0) {
            break;
        }
        if (waiting_.empty()) {
            ++sleeping_;
            changed_.wait(lock);
            --sleeping_;
            continue;
        }
        const Task task = std::move(waiting_.back());
        waiting_.pop_back();
        // After a throw, only what a count on one thread would have met before it goes on.
        if (!error_ || task.position < error_position_) {
            ListOne(task, lock);
        }
        if (sleeping_ > 0) {
            changed_.notify_all();
        }
    }
    changed_.notify_all();
}

void TreeCount::ListOne(const Task& task, std::unique_lock<std::mutex>& lock) {
    ++listing_;
    lock.unlock();
    std::exception_ptr error;
    std::optional<Result<FolderListing>> listing;
    try {
        listing.emplace(fs_.ListFolder(task.folder));
        if (listing->ok()) {
            listing->value().folder.reset();  // a count holds no folder open
        }
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    --listing_;
    if (error) {
        if (!error_ || task.position < error_position_) {
            error_ = error;
            error_position_ = task.position;
        }
        return;
    }
    if (!listing->ok()) {
        unreadable_.push_back(UnreadableFolder{task.position, task.folder, listing->failure()});
        return;
    }
    if (guard_.Guards(listing->value())) {
        if (found_ != nullptr) {
            found_->push_back(task.folder);  // the destination root, reached another way
        }
        return;
    }
    files_ += static_cast<std::int64_t>(listing->value().files.size());
    const std::vector<FileEntry>& sub_folders = listing->value().sub_folders;
    // Pushed last to first, so that the first sub-folder is listed next.
    for (std::size_t i = sub_folders.size(); i-- > 0;) {
        if (guard_.Guards(sub_folders[i].path)) {
            continue;
        }
        Task sub{sub_folders[i].path, task.position};
        sub.position.push_back(static_cast<std::uint32_t>(i));
        waiting_.push_back(std::move(sub));
        ++reached_;
    }
    if (listed_) {
        if (sleeping_ > 0) {
            changed_.notify_all();  // the sub-folders are there to list meanwhile
        }
        lock.unlock();
        listed_(task.folder, listing->value());
        lock.lock();
    }
}

}  // namespace tidemark
