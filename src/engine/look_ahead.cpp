#include "engine/look_ahead.h"

#include <algorithm>
#include <thread>

namespace tidemark {

namespace {

/// A worker claims a few files at a time: fewer hand-overs, and still a fair share; fewer
/// while the files are copied.
constexpr std::size_t kFilesPerClaim = 16;
constexpr std::size_t kCopiesPerClaim = 4;

constexpr int kTurnsBeforeSleeping = 64;

}  // namespace

struct LookAhead::Files::Batch {
    enum class State : char { kWaiting, kPreparing, kPrepared, kTaken };

    std::uint64_t order = 0;
    std::string folder;
    std::shared_ptr<Result<FolderListing>> listing;  // holds the files, and the folder open
    FolderPlace place;
    std::string destination;
    bool prepare_ahead = true;  // false: the walk prepares them, once the folder exists
    bool names_fold_together = false;
    bool cleaned = false;  // what dead copies left in the destination folder was removed
    bool free_space_read = false;
    std::optional<std::uint64_t> free_space;  // in the destination, when first staged in
    bool begun = false;                       // the walk took the batch
    bool abandoned = false;
    std::vector<State> states;
    std::vector<PreparedFile> prepared;
    std::size_t next_waiting = 0;  // no waiting file before this one

    const std::vector<FileEntry>& files() const { return listing->value().files; }
};

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
        // A file in preparation is usually ready within microseconds, sooner than a sleeping
        // walk would be woken: the walk gives way a few times before it sleeps.
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

bool LookAhead::WaitForRoom(MutexLock& lock, std::size_t files) {
    auto full = [&]() TM_REQUIRES(mutex_) {
        if (QueuedFolders() == 0) {
            return false;  // something must go ahead, however large
        }
        return QueuedFolders() >= bounds_.folders ||
               (files > 0 && queued_files_ + files > bounds_.files);
    };
    while (!stopping_ && full()) {
        lock.Wait(room_ready_);
    }
    return !stopping_;
}

void LookAhead::Scout() {
    try {
        ScoutFolder(pass_.source_root, 0, nullptr);
    } catch (...) {
        // Whatever went wrong here happens to the walk too, in its turn, where it is reported.
    }
    {
        MutexLock lock(mutex_);
        scout_done_ = true;
    }
    file_ready_.notify_all();
}

void LookAhead::ScoutFolder(const std::string& folder, int depth,
                            const std::shared_ptr<const HeldFolder>& staging) {
    if (pass_.Excludes(folder)) {
        return;  // skipped whole: the root; below it SubFoldersOf tells
    }
    {
        MutexLock lock(mutex_);
        while (held_ && !stopping_) {
            lock.Wait(room_ready_);
        }
    }
    auto listing = std::make_shared<Result<FolderListing>>(survey_.List(pass_.fs, folder));
    if (listing->ok() && depth >= kMostHeldLevels) {
        listing->value().folder.reset();
    }
    const std::string destination = pass_.DestinationOf(folder);
    std::shared_ptr<const HeldFolder> held =
        depth < kMostHeldLevels ? pass_.fs.HoldFolder(destination) : nullptr;
    {
        MutexLock lock(mutex_);
        if (!WaitForRoom(lock, 0)) {
            return;
        }
        listings_.push_back(QueuedListing{next_order_++, folder, Visit{listing, held}});
    }
    file_ready_.notify_all();
    if (!listing->ok() || pass_.IsDestinationRoot(listing->value())) {
        return;
    }
    const FolderListing& listed = listing->value();
    const bool exists = held != nullptr || pass_.fs.FolderExists(destination);
    // Copies into folders the walk has yet to create are staged in the nearest folder above
    // them that exists, within the levels that may be held.
    const std::shared_ptr<const HeldFolder> stage_in =
        depth < kMostHeldLevels ? (held ? held : staging) : nullptr;
    for (const SubFolderStep& step : SubFoldersOf(pass_, listed, survey_.guarded)) {
        if (!step.skipped_whole) {
            ScoutFolder(step.folder->path, depth + 1, stage_in);
        }
    }
    if (listed.files.empty()) {
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->folder = folder;
    batch->listing = listing;
    batch->place = FolderPlace{listed.folder, exists ? held : stage_in, !exists, held};
    batch->names_fold_together = NamesFoldTogether(listed.files);
    batch->destination = destination;
    batch->prepare_ahead = exists || stage_in != nullptr || pass_.settings.IsPreview();
    batch->states.assign(listed.files.size(), Batch::State::kWaiting);
    batch->prepared.resize(listed.files.size());
    {
        MutexLock lock(mutex_);
        if (!WaitForRoom(lock, listed.files.size())) {
            return;
        }
        batch->order = next_order_++;
        ++queued_batches_;
        queued_files_ += listed.files.size();
        batches_.push_back(std::move(batch));
    }
    work_ready_.notify_all();
    file_ready_.notify_all();
}

bool LookAhead::StagingFull() const {
    return staged_files_ >= bounds_.staged_files || staged_bytes_ >= bounds_.staged_bytes;
}

std::shared_ptr<LookAhead::Batch> LookAhead::ClaimableBatch() {
    if (held_ || StagingFull()) {
        return nullptr;
    }
    for (const std::shared_ptr<Batch>& batch : batches_) {
        if (!batch->prepare_ahead || batch->abandoned) {
            continue;
        }
        while (batch->next_waiting < batch->states.size() &&
               batch->states[batch->next_waiting] != Batch::State::kWaiting) {
            ++batch->next_waiting;
        }
        if (batch->next_waiting < batch->states.size()) {
            return batch;
        }
    }
    return nullptr;
}

void LookAhead::Work() {
    MutexLock lock(mutex_);
    std::size_t most = kFilesPerClaim;
    while (!stopping_) {
        const std::shared_ptr<Batch> batch = ClaimableBatch();
        if (!batch) {
            lock.Wait(work_ready_);
            continue;
        }
        Chunk chunk{batch->next_waiting, 0, {}};
        while (chunk.count < most && chunk.first + chunk.count < batch->states.size() &&
               batch->states[chunk.first + chunk.count] == Batch::State::kWaiting) {
            batch->states[chunk.first + chunk.count] = Batch::State::kPreparing;
            batch->prepared[chunk.first + chunk.count].seen = changes_;
            ++chunk.count;
        }
        lock.Unlock();
        Prepare(*batch, chunk);
        lock.Lock();
        Publish(*batch, chunk);
        // After copies, fewer at a time: the walk should not wait long for the first of them.
        most = std::any_of(chunk.staging.begin(), chunk.staging.end(), [](bool s) { return s; })
                   ? kCopiesPerClaim
                   : kFilesPerClaim;
    }
}

void LookAhead::Prepare(Batch& batch, Chunk& chunk) {
    for (std::size_t i = 0; i < chunk.count; ++i) {
        PreparedFile& prepared = batch.prepared[chunk.first + i];
        const FileEntry& file = batch.files()[chunk.first + i];
        try {
            LookUp(pass_, batch.place, file, prepared);
            chunk.staging[i] = NeedsCopy(pass_, prepared) && MayStageAhead(batch);
            if (chunk.staging[i] && ClaimCleanup(batch)) {
                pass_.fs.RemoveLeftovers(batch.destination);  // off the walk's thread
            }
            if (chunk.staging[i]) {
                Stage(pass_, batch.place, file, prepared);
            }
        } catch (...) {
            chunk.failed[i] = true;  // whatever it was happens again in the file's turn
        }
    }
}

void LookAhead::Publish(Batch& batch, const Chunk& chunk) {
    for (std::size_t i = 0; i < chunk.count; ++i) {
        PreparedFile& prepared = batch.prepared[chunk.first + i];
        if (chunk.staging[i]) {
            --staging_;
            if (prepared.HoldsCopy()) {
                ++staged_files_;
                staged_bytes_ += prepared.staged->value().bytes;
            } else {
                prepared.staged.reset();  // staged again in its turn, as if never tried
            }
        }
        Batch::State& state = batch.states[chunk.first + i];
        if (chunk.failed[i] || batch.abandoned) {
            Unreserve(prepared);
            Discard(pass_, prepared);
            if (chunk.failed[i]) {
                prepared = PreparedFile{};
            }
            state = chunk.failed[i] ? Batch::State::kWaiting : Batch::State::kTaken;
        } else {
            state = Batch::State::kPrepared;
        }
    }
    if (walk_waiting_) {
        file_ready_.notify_all();
    }
}

bool LookAhead::ClaimCleanup(Batch& batch) {
    MutexLock lock(mutex_);
    const bool due = !batch.cleaned && !batch.place.new_destination;
    batch.cleaned = true;
    return due;
}

bool LookAhead::Files::ClaimCleanup() {
    return batch_ == nullptr || owner_->ClaimCleanup(*batch_);
}

bool LookAhead::MayStageAhead(Batch& batch) {
    MutexLock lock(mutex_);
    if (!batch.free_space_read) {
        // Read once a folder: the copies staged ahead since are counted in staged_bytes_.
        batch.free_space_read = true;
        lock.Unlock();
        const std::optional<std::uint64_t> free = pass_.fs.FreeSpace(batch.destination);
        lock.Lock();
        batch.free_space = free;
    }
    // A copy staged ahead must not take the room the walk's own copies need.
    if (space_short_ || held_ ||
        (batch.free_space && *batch.free_space < bounds_.spare_space + staged_bytes_)) {
        return false;
    }
    ++staging_;
    return true;
}

}  // namespace tidemark
