#include "engine/tree_count.h"

#include <algorithm>
#include <new>
#include <optional>

namespace tidemark {

TreeCount::TreeCount(const Pass& pass, TreeSurvey* survey, Executor* executor, int helpers)
    : pass_(pass),
      survey_(survey),
      executor_(executor),
      helpers_(executor != nullptr ? std::max(helpers, 0) : 0) {}

std::int64_t TreeCount::Count(const std::string& root, const FolderReached& folder_reached,
                              const Unreadable& unreadable) {
    {
        MutexLock lock(mutex_);
        waiting_.push_back(Task{root, {}, !pass_.Excludes(root), nullptr});
    }
    {
        // Waited for on the way out too, should reporting a step throw: the helpers finish the
        // folders left and end.
        std::optional<TaskGroup> helpers;
        if (helpers_ > 0) {
            helpers.emplace(*executor_);
            for (int i = 0; i < helpers_; ++i) {
                helpers->Post([this] { Work(nullptr); });
            }
        }
        Work(&folder_reached);
    }

    MutexLock lock(mutex_);
    if (survey_ != nullptr) {
        survey_->guarded = guarded_;
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
    MutexLock lock(mutex_);
    while (true) {
        if (folder_reached != nullptr) {
            while (reported_ < reached_) {
                ++reported_;
                lock.Unlock();
                (*folder_reached)();
                lock.Lock();
            }
        }
        if (waiting_.empty() && listing_ == 0) {
            break;
        }
        if (waiting_.empty()) {
            lock.Wait(changed_);
            continue;
        }
        const Task task = std::move(waiting_.back());
        waiting_.pop_back();
        // After a throw, only what a count on one thread would have met before it goes on.
        if (!error_ || task.position < error_position_) {
            ++listing_;
            lock.Unlock();
            ListOne(task);
            lock.Lock();
            --listing_;
        }
        changed_.notify_all();
    }
    changed_.notify_all();
}

void TreeCount::ListOne(const Task& task) {
    std::exception_ptr error;
    std::optional<Result<FolderListing>> listing;
    std::vector<SubFolderStep> steps;
    try {
        listing.emplace(pass_.fs.ListFolderIn(task.parent.get(), task.folder));
        if (listing->ok()) {
            steps = SubFoldersOf(pass_, listing->value(), {});
        }
    } catch (...) {
        error = std::current_exception();
    }
    const bool destination_root = listing && listing->ok() && pass_.IsDestinationRoot(**listing);
    if (task.walked && survey_ != nullptr && listing && listing->ok() && !destination_root) {
        survey_->Keep(task.folder, **listing);
    }
    MutexLock lock(mutex_);
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
    if (destination_root) {
        guarded_.push_back(task.folder);  // the destination root, reached another way
        return;
    }
    files_ += static_cast<std::int64_t>(listing->value().files.size());
    // The folder stays open while its sub-folders wait, which are opened from it.
    const std::shared_ptr<const HeldFolder> held =
        task.position.size() < kMostHeldLevels ? listing->value().folder : nullptr;
    // Pushed last to first, so that the first sub-folder is listed next.
    for (std::size_t i = steps.size(); i-- > 0;) {
        Task sub{steps[i].folder->path, task.position, task.walked && !steps[i].skipped_whole,
                 held};
        sub.position.push_back(static_cast<std::uint32_t>(i));
        waiting_.push_back(std::move(sub));
        ++reached_;
    }
}

TreeSurvey::Kept TreeSurvey::Compact(const FolderListing& listing) {
    Kept kept;
    kept.items.reserve(listing.sub_folders.size() + listing.files.size());
    std::size_t length = 0;
    for (const auto* list : {&listing.sub_folders, &listing.files}) {
        for (const FileEntry& entry : *list) {
            length += entry.name.size();
        }
    }
    kept.names.reserve(length);
    for (const auto* list : {&listing.sub_folders, &listing.files}) {
        for (const FileEntry& entry : *list) {
            kept.names += entry.name;
            kept.items.push_back(Item{static_cast<std::uint32_t>(kept.names.size()), entry.kind,
                                      static_cast<std::uint8_t>(entry.attributes)});
        }
    }
    kept.sub_folders = listing.sub_folders.size();
    kept.state = *listing.state;
    kept.identity = listing.identity;
    return kept;
}

FolderListing TreeSurvey::Expand(const Kept& kept, const std::string& folder,
                                 const PathSyntax& syntax) {
    FolderListing listing;
    listing.sub_folders.reserve(kept.sub_folders);
    listing.files.reserve(kept.items.size() - kept.sub_folders);
    std::uint32_t name_start = 0;
    for (std::size_t i = 0; i < kept.items.size(); ++i) {
        const Item& item = kept.items[i];
        const std::string_view name(kept.names.data() + name_start, item.name_end - name_start);
        name_start = item.name_end;
        (i < kept.sub_folders ? listing.sub_folders : listing.files)
            .push_back(FileEntry{JoinPath(folder, name, syntax), std::string(name), item.kind,
                                 item.attributes});
    }
    listing.state = kept.state;
    listing.identity = kept.identity;
    return listing;
}

void TreeSurvey::Keep(const std::string& folder, const FolderListing& listing) noexcept {
    if (!listing.state) {
        return;
    }
    const std::size_t items = listing.sub_folders.size() + listing.files.size();
    try {
        {
            MutexLock lock(mutex_);
            if (items_ + items > most_items_) {
                return;
            }
            items_ += items;
        }
        Kept kept = Compact(listing);
        MutexLock lock(mutex_);
        listings_.insert_or_assign(folder, std::move(kept));
    } catch (const std::bad_alloc&) {
        // Short of memory, the pass reads the folder again instead.
    }
}

Result<FolderListing> TreeSurvey::List(FileSystemPort& fs, const std::string& folder,
                                       const HeldFolder* parent) {
    std::optional<Kept> kept;
    {
        MutexLock lock(mutex_);
        if (auto found = listings_.find(folder); found != listings_.end()) {
            kept.emplace(std::move(found->second));
            listings_.erase(found);
        }
    }
    if (!kept) {
        return fs.ListFolderIn(parent, folder);
    }
    return fs.ListFolderAgainIn(parent, folder, Expand(*kept, folder, fs.Syntax()));
}

}  // namespace tidemark
