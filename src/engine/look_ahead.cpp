#include "engine/look_ahead.h"

#include <algorithm>
#include <thread>

namespace tidemark {

namespace {

/// A file in preparation is usually ready within microseconds, sooner than a sleeping walk
/// would be woken: the walk gives way this many times before it sleeps.
constexpr int kTurnsBeforeSleeping = 64;

}  // namespace

LookAhead::LookAhead(const Pass& pass, TreeSurvey& survey, Executor* executor, int workers,
                     Bounds bounds, bool held)
    : pass_(pass), survey_(survey), bounds_(bounds), running_(executor != nullptr && workers > 0) {
    Hold(held);
    if (!running_) {
        return;
    }
    tasks_.emplace(*executor);
    tasks_->Post([this] { Scout(); });
    for (int i = 0; i < workers; ++i) {
        tasks_->Post([this] { Work(); });
    }
}

LookAhead::~LookAhead() {
    {
        MutexLock lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    room_ready_.notify_all();
    if (tasks_) {
        tasks_->Wait();
    }
    MutexLock lock(mutex_);
    for (const std::shared_ptr<Batch>& batch : batches_) {
        Abandon(*batch);
    }
}

LookAhead::Visit LookAhead::Listing(const std::string& folder, int depth) {
    if (running_) {
        MutexLock lock(mutex_);
        while (true) {
            const auto found =
                std::find_if(listings_.begin(), listings_.end(),
                             [&](const QueuedListing& queued) { return queued.folder == folder; });
            if (found != listings_.end()) {
                Visit visit = found->visit;
                DropBefore(found->order + 1);
                return visit;
            }
            // The scout goes the walk's way: all it queued so far comes before this folder.
            DropBefore(next_order_);
            // While held, the scout stands still: the walk goes on its own.
            if (scout_done_ || stopping_ || held_) {
                break;
            }
            lock.Wait(file_ready_);
        }
    }
    auto listing = std::make_shared<Result<FolderListing>>(survey_.List(pass_.fs, folder));
    if (listing->ok() && depth >= kMostHeldLevels) {
        listing->value().folder.reset();
    }
    return Visit{listing, depth < kMostHeldLevels ? pass_.fs.HoldFolder(pass_.DestinationOf(folder))
                                                  : nullptr};
}

LookAhead::Files LookAhead::FilesOf(const std::string& folder, const Visit& visit,
                                    bool new_destination) {
    const FolderListing& listing = visit.listing->value();
    Files files;
    files.owner_ = this;
    files.files_ = &listing.files;
    files.place_.source_folder = listing.folder;
    files.place_.new_destination = new_destination;
    files.place_.destination_folder = visit.destination_folder;
    if (running_) {
        MutexLock lock(mutex_);
        while (true) {
            const auto found = std::find_if(
                batches_.begin(), batches_.end(),
                [&](const auto& batch) { return !batch->begun && batch->folder == folder; });
            if (found != batches_.end()) {
                const std::shared_ptr<Batch> batch = *found;
                DropBefore(batch->order);
                batch->begun = true;
                --queued_batches_;
                queued_files_ -= batch->states.size();
                room_ready_.notify_one();
                if (batch->prepare_ahead && batch->place.new_destination == new_destination &&
                    batch->files().size() == listing.files.size()) {
                    files.batch_ = batch;
                    files.place_ = batch->place;
                    if (!files.place_.destination_folder) {
                        files.place_.destination_folder = visit.destination_folder;
                    }
                } else {
                    Abandon(*batch);  // prepared for another state of the destination
                }
                break;
            }
            DropBefore(next_order_);
            // While held, the scout stands still: the walk goes on its own.
            if (scout_done_ || stopping_ || held_) {
                break;
            }
            lock.Wait(file_ready_);
        }
    }
    if (!files.place_.destination_folder && !(new_destination && pass_.settings.IsPreview())) {
        files.place_.destination_folder = pass_.fs.HoldFolder(pass_.DestinationOf(folder));
    }
    if (!files.batch_) {
        files.place_.staging_folder = files.place_.destination_folder;
    }
    return files;
}

void LookAhead::Done(Files& files) {
    MutexLock lock(mutex_);
    for (PreparedFile& prepared : files.taken_) {
        Discard(pass_, prepared);
    }
    files.taken_.clear();
    if (files.batch_) {
        Abandon(*files.batch_);
        std::erase(batches_, files.batch_);
        files.batch_.reset();
    }
}

bool LookAhead::Files::NamesFoldTogether() const {
    return batch_ != nullptr && batch_->names_fold_together;
}

PreparedFile LookAhead::Files::Take(std::size_t index) {
    if (!taken_.empty() && next_ == index) {
        PreparedFile prepared = std::move(taken_.front());
        taken_.pop_front();
        ++next_;
        return prepared;
    }
    return owner_->TakeFrom(*this, index);
}

PreparedFile LookAhead::TakeFrom(Files& files, std::size_t index) {
    PreparedFile prepared;
    if (files.batch_) {
        Batch& batch = *files.batch_;
        MutexLock lock(mutex_);
        for (int turns = 0; batch.states[index] == Batch::State::kPreparing; ++turns) {
            if (turns < kTurnsBeforeSleeping) {
                lock.Unlock();
                std::this_thread::yield();
                lock.Lock();
                continue;
            }
            walk_waiting_ = true;
            lock.Wait(file_ready_);
            walk_waiting_ = false;
        }
        if (batch.states[index] == Batch::State::kPrepared) {
            // This file and the prepared ones after it, in one go.
            const bool was_full = StagingFull();
            for (std::size_t i = index;
                 i < batch.states.size() && batch.states[i] == Batch::State::kPrepared; ++i) {
                batch.states[i] = Batch::State::kTaken;
                Unreserve(batch.prepared[i]);
                files.taken_.push_back(std::move(batch.prepared[i]));
            }
            if (was_full && !StagingFull()) {
                work_ready_.notify_all();  // room to stage copies ahead again
            }
            prepared = std::move(files.taken_.front());
            files.taken_.pop_front();
            files.next_ = index + 1;
            return prepared;
        }
        batch.states[index] = Batch::State::kTaken;  // not begun: quicker done here
        prepared.seen = changes_;
    } else {
        prepared.seen = Changes();
    }
    LookUp(pass_, files.place_, (*files.files_)[index], prepared);
    return prepared;
}

void LookAhead::Hold(bool held) {
    {
        MutexLock lock(mutex_);
        held_ = held;
    }
    work_ready_.notify_all();
    room_ready_.notify_all();
}

void LookAhead::GiveBackSpace(Files& files) {
    for (PreparedFile& prepared : files.taken_) {
        Discard(pass_, prepared);
    }
    MutexLock lock(mutex_);
    space_short_ = true;
    while (staging_ > 0) {
        walk_waiting_ = true;
        lock.Wait(file_ready_);
        walk_waiting_ = false;
    }
    for (const std::shared_ptr<Batch>& batch : batches_) {
        for (std::size_t i = 0; i < batch->states.size(); ++i) {
            if (batch->states[i] == Batch::State::kPrepared) {
                Unreserve(batch->prepared[i]);
                Discard(pass_, batch->prepared[i]);
            }
        }
    }
}

std::uint64_t LookAhead::Changes() const {
    MutexLock lock(mutex_);
    return changes_;
}

std::uint64_t LookAhead::CountChange() {
    MutexLock lock(mutex_);
    return ++changes_;
}

std::size_t LookAhead::QueuedFolders() const {
    return listings_.size() + queued_batches_;
}

void LookAhead::DropBefore(std::uint64_t order) {
    while (!listings_.empty() && listings_.front().order < order) {
        listings_.pop_front();
    }
    for (auto batch = batches_.begin(); batch != batches_.end();) {
        if (!(*batch)->begun && (*batch)->order < order) {
            Abandon(**batch);
            --queued_batches_;
            queued_files_ -= (*batch)->states.size();
            batch = batches_.erase(batch);
        } else {
            ++batch;
        }
    }
    room_ready_.notify_one();
}

void LookAhead::Abandon(Batch& batch) {
    batch.abandoned = true;
    for (std::size_t i = 0; i < batch.states.size(); ++i) {
        if (batch.states[i] == Batch::State::kPrepared) {
            Unreserve(batch.prepared[i]);
            Discard(pass_, batch.prepared[i]);
            batch.states[i] = Batch::State::kTaken;
        }
    }
}

void LookAhead::Unreserve(const PreparedFile& prepared) {
    if (prepared.HoldsCopy()) {
        --staged_files_;
        staged_bytes_ -= prepared.staged->value().bytes;
    }
}

}  // namespace tidemark
