// The walk's side of the look-ahead: taking listings and prepared files by folder path.
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

std::optional<LookAhead::Queued> LookAhead::Await(MutexLock& lock, bool batch,
                                                  const std::string& folder) {
    while (true) {
        const auto found = std::find_if(queue_.begin(), queue_.end(), [&](const Queued& queued) {
            return (queued.batch != nullptr) == batch && queued.folder == folder;
        });
        if (found != queue_.end()) {
            Queued taken = *found;
            DropBefore(taken.order);
            queue_.pop_front();
            if (taken.batch) {
                queued_files_ -= taken.batch->states.size();
            }
            MadeRoom();
            return taken;
        }
        // The scout goes the walk's way: all it queued so far comes before this folder.
        DropBefore(next_order_);
        // While held, the scout stands still: the walk goes on its own.
        if (scout_done_ || stopping_ || held_) {
            return std::nullopt;
        }
        lock.Wait(file_ready_);
    }
}

LookAhead::Visit LookAhead::Listing(const std::string& folder, int depth,
                                    std::shared_ptr<const HeldFolder> made) {
    if (running_) {
        MutexLock lock(mutex_);
        if (std::optional<Queued> queued = Await(lock, false, folder)) {
            Visit visit = queued->visit;
            if (!visit.destination_folder) {
                visit.destination_folder = std::move(made);  // made after the scout looked
            }
            return visit;
        }
    }
    auto listing = std::make_shared<Result<FolderListing>>(survey_.List(pass_.fs, folder));
    if (listing->ok() && depth >= kMostHeldLevels) {
        listing->value().folder.reset();
    }
    if (!made && depth < kMostHeldLevels) {
        made = pass_.fs.HoldFolderIn(nullptr, pass_.DestinationOf(folder));
    }
    return Visit{listing, std::move(made)};
}

LookAhead::Files LookAhead::FilesOf(const std::string& folder, const Visit& visit,
                                    bool new_destination) {
    const FolderListing& listing = visit.listing->value();
    Files files;
    files.owner_ = this;
    files.files_ = &listing.files;
    files.place_ = FolderPlace{listing.folder, nullptr, new_destination, visit.destination_folder};
    if (running_) {
        MutexLock lock(mutex_);
        if (std::optional<Queued> queued = Await(lock, true, folder)) {
            Batch& batch = *queued->batch;
            // Files prepared for a folder the walk has made since were looked for there, which
            // serves where nothing was found (see Files::LookedInNewFolder); files prepared
            // without a look for a folder that exists do not serve.
            if (batch.prepare_ahead && !(batch.place.new_destination && !new_destination) &&
                batch.files().size() == listing.files.size()) {
                files.batch_ = queued->batch;
                files.place_ = batch.place;
                files.looked_in_new_folder_ = new_destination && !batch.place.new_destination;
                files.place_.new_destination = new_destination;
                if (!files.place_.destination_folder) {
                    files.place_.destination_folder = visit.destination_folder;
                }
            } else {
                Abandon(batch);  // prepared for another state of the destination
                std::erase(batches_, queued->batch);
            }
        }
    }
    if (!files.place_.destination_folder && !(new_destination && pass_.settings.IsPreview())) {
        files.place_.destination_folder =
            pass_.fs.HoldFolderIn(nullptr, pass_.DestinationOf(folder));
    }
    if (!files.batch_) {
        files.place_.staging_folder = files.place_.destination_folder;
    }
    return files;
}

void LookAhead::Done(Files& files) {
    if (!files.batch_) {
        return;
    }
    MutexLock lock(mutex_);
    for (std::size_t i = files.next_; i < files.taken_; ++i) {
        Discard(pass_, files.batch_->prepared[i]);  // the walk's, never handed out
    }
    Abandon(*files.batch_);
    std::erase(batches_, files.batch_);
    files.batch_.reset();
}

bool LookAhead::Files::NamesFoldTogether() {
    if (!names_fold_together_) {
        names_fold_together_ = batch_ != nullptr && tidemark::NamesFoldTogether(batch_->files());
    }
    return *names_fold_together_;
}

bool LookAhead::Files::ClaimCleanup() {
    if (batch_ == nullptr) {
        return true;
    }
    MutexLock lock(owner_->mutex_);
    const bool due = !batch_->cleaned && !batch_->place.new_destination;
    batch_->cleaned = true;
    return due;
}

PreparedFile LookAhead::Files::Take(std::size_t index) {
    next_ = index + 1;
    if (batch_ && index < taken_) {
        return std::move(batch_->prepared[index]);  // taken already, with the one before
    }
    return owner_->TakeFrom(*this, index);
}

PreparedFile LookAhead::TakeFrom(Files& files, std::size_t index) {
    PreparedFile prepared;
    MutexLock lock(mutex_);
    if (files.batch_) {
        Batch& batch = *files.batch_;
        for (int turns = 0; batch.states[index] == Batch::State::kPreparing; ++turns) {
            if (turns < kTurnsBeforeSleeping) {
                // Waits for a hand-over without the lock, which the workers need for it.
                walk_wants_.store(true, std::memory_order_relaxed);
                lock.Unlock();
                for (; walk_wants_.load(std::memory_order_relaxed) && turns < kTurnsBeforeSleeping;
                     ++turns) {
                    std::this_thread::yield();
                }
                lock.Lock();
                continue;
            }
            walk_waiting_ = true;
            lock.Wait(file_ready_);
            walk_waiting_ = false;
        }
        walk_wants_.store(false, std::memory_order_relaxed);
        if (batch.states[index] == Batch::State::kPrepared) {
            // This file and the prepared ones after it, in one go.
            const bool was_full = StagingFull();
            std::size_t taken = index;
            for (; taken < batch.states.size() && batch.states[taken] == Batch::State::kPrepared;
                 ++taken) {
                batch.states[taken] = Batch::State::kTaken;
                if (batch.prepared[taken].HoldsCopy()) {
                    taken_bytes_ += batch.prepared[taken].staged->value().bytes;
                }
                Unreserve(batch.prepared[taken]);
            }
            files.taken_ = taken;
            if (was_full && !StagingFull()) {
                work_ready_.notify_all();  // room to stage copies ahead again
            }
            return std::move(batch.prepared[index]);
        }
        batch.states[index] = Batch::State::kTaken;  // not begun: quicker done here
        files.taken_ = index + 1;
    }
    prepared.seen = changes_;
    lock.Unlock();
    LookUp(pass_, files.place_, (*files.files_)[index], prepared);
    lock.Lock();
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
    MutexLock lock(mutex_);
    for (std::size_t i = files.next_; i < files.taken_; ++i) {
        Discard(pass_, files.batch_->prepared[i]);
    }
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

void LookAhead::DropBefore(std::uint64_t order) {
    while (!queue_.empty() && queue_.front().order < order) {
        if (const std::shared_ptr<Batch> batch = queue_.front().batch) {
            Abandon(*batch);
            queued_files_ -= batch->states.size();
            std::erase(batches_, batch);
        }
        queue_.pop_front();
    }
    MadeRoom();
}

void LookAhead::MadeRoom() {
    if (queue_.size() <= bounds_.folders / 2 && queued_files_ <= bounds_.files / 2) {
        room_ready_.notify_one();  // the half the scout waits for, when full
    }
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

bool LookAhead::StagingFull() const {
    return staged_files_ >= bounds_.staged_files || staged_bytes_ >= bounds_.staged_bytes;
}

}  // namespace tidemark
