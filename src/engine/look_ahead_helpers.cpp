// The look-ahead's own side: the scout, which lists and queues folders in the walk's order,
// and the workers, which prepare the queued files.
#include <algorithm>
#include <limits>

#include "engine/look_ahead.h"

namespace tidemark {

namespace {

/// A worker claims a few files at a time: fewer hand-overs, and still a fair share; fewer
/// while the files are copied.
constexpr std::size_t kFilesPerClaim = 32;
constexpr std::size_t kCopiesPerClaim = 4;

}  // namespace

bool LookAhead::WaitForRoom(MutexLock& lock, std::size_t files) {
    // Something must go ahead, however large.
    auto fits = [&](std::size_t share) TM_REQUIRES(mutex_) {
        return queue_.empty() || (queue_.size() < bounds_.folders / share &&
                                  (files == 0 || queued_files_ + files <= bounds_.files / share));
    };
    if (fits(1)) {
        return !stopping_;
    }
    // Once full, the scout waits for half the room: woken for every folder the walk takes, it
    // would sleep and wake once per folder.
    while (!stopping_ && !fits(2)) {
        lock.Wait(room_ready_);
    }
    return !stopping_;
}

void LookAhead::Queue(Queued queued) {
    const std::shared_ptr<Batch> batch = queued.batch;
    const std::size_t files = batch ? batch->states.size() : 0;
    {
        MutexLock lock(mutex_);
        if (!WaitForRoom(lock, files)) {
            return;
        }
        queued.order = next_order_++;
        queue_.push_back(std::move(queued));
        if (batch) {
            queued_files_ += files;
            batches_.push_back(batch);
        }
    }
    if (batch) {
        work_ready_.notify_all();
    }
    file_ready_.notify_all();
}

void LookAhead::Scout() {
    try {
        ScoutFolder(pass_.source_root, 0, FolderPlace{});
    } catch (...) {
        // Whatever went wrong here happens to the walk too, in its turn, where it is reported.
    }
    {
        MutexLock lock(mutex_);
        scout_done_ = true;
    }
    file_ready_.notify_all();
}

void LookAhead::ScoutFolder(const std::string& folder, int depth, const FolderPlace& parent) {
    if (pass_.Excludes(folder)) {
        return;  // skipped whole: the root; below it SubFoldersOf tells
    }
    {
        MutexLock lock(mutex_);
        while (held_ && !stopping_) {
            lock.Wait(room_ready_);
        }
    }
    auto listing = std::make_shared<Result<FolderListing>>(
        survey_.List(pass_.fs, folder, parent.source_folder.get()));
    if (listing->ok() && depth >= kMostHeldLevels) {
        listing->value().folder.reset();
    }
    const std::string destination = pass_.DestinationOf(folder);
    // Below a folder that did not exist, nothing is looked for; should the walk have made
    // them meanwhile, it makes them new, as the scout takes them to be.
    std::shared_ptr<const HeldFolder> held =
        depth < kMostHeldLevels && !parent.new_destination
            ? pass_.fs.HoldFolderIn(parent.destination_folder.get(), destination)
            : nullptr;
    Queue(Queued{0, folder, Visit{listing, held}, nullptr});
    if (!listing->ok() || pass_.IsDestinationRoot(listing->value())) {
        return;
    }
    const FolderListing& listed = listing->value();
    const bool exists =
        held != nullptr || (!parent.new_destination &&
                            pass_.fs.FolderExistsIn(parent.destination_folder.get(), destination));
    // Copies into folders the walk has yet to create are staged in the nearest folder above
    // them that exists, within the levels that may be held.
    const std::shared_ptr<const HeldFolder> stage_in =
        depth < kMostHeldLevels ? (held ? held : parent.staging_folder) : nullptr;
    const FolderPlace here{listed.folder, stage_in, !exists, held};
    for (const SubFolderStep& step : SubFoldersOf(pass_, listed, survey_.guarded)) {
        if (!step.skipped_whole) {
            ScoutFolder(step.folder->path, depth + 1, here);
        }
    }
    if (listed.files.empty()) {
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->listing = listing;
    batch->place = FolderPlace{listed.folder, exists ? held : stage_in, !exists, held};
    batch->destination = destination;
    batch->prepare_ahead = exists || stage_in != nullptr || pass_.settings.IsPreview();
    batch->states.assign(listed.files.size(), Batch::State::kWaiting);
    batch->prepared.resize(listed.files.size());
    Queue(Queued{0, folder, Visit{}, std::move(batch)});
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
    static_assert(kFilesPerClaim <= std::tuple_size_v<decltype(Chunk::staging)>);
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
        const std::size_t published = Prepare(*batch, chunk);
        lock.Lock();
        Publish(*batch, chunk, published, chunk.count);
        // After copies, fewer at a time: the walk should not wait long for the first of them.
        most = std::any_of(chunk.staging.begin(), chunk.staging.end(), [](bool s) { return s; })
                   ? kCopiesPerClaim
                   : kFilesPerClaim;
    }
}

std::size_t LookAhead::Prepare(Batch& batch, Chunk& chunk) {
    std::size_t published = 0;
    for (std::size_t i = 0; i < chunk.count; ++i) {
        PreparedFile& prepared = batch.prepared[chunk.first + i];
        const FileEntry& file = batch.files()[chunk.first + i];
        try {
            LookUp(pass_, batch.place, file, prepared);
            bool clean = false;
            chunk.staging[i] = NeedsCopy(pass_, prepared) && MayStageAhead(batch, clean);
            if (clean) {
                pass_.fs.RemoveLeftoversIn(batch.place.destination_folder.get(),
                                           batch.destination);  // off the walk's thread
            }
            if (chunk.staging[i]) {
                Stage(pass_, batch.place, file, prepared);
            }
        } catch (...) {
            chunk.failed[i] = true;  // whatever it was happens again in the file's turn
        }
        // A copy takes a while, and the walk may be waiting: what is ready goes to it at once.
        if (chunk.staging[i] || walk_wants_.load(std::memory_order_relaxed)) {
            MutexLock lock(mutex_);
            Publish(batch, chunk, published, i + 1);
            published = i + 1;
        }
    }
    return published;
}

void LookAhead::Publish(Batch& batch, const Chunk& chunk, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
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
    walk_wants_.store(false, std::memory_order_relaxed);
    if (walk_waiting_) {
        file_ready_.notify_all();
    }
}

bool LookAhead::MayStageAhead(Batch& batch, bool& clean) {
    MutexLock lock(mutex_);
    // Read again once the walk took copies worth half the spare room, or in each new folder
    // while there was too little: a reading counts none of the copies put in place since.
    if (!free_space_ || taken_bytes_ >= bounds_.spare_space / 2 ||
        (!RoomToStage() && !batch.free_space_read)) {
        batch.free_space_read = true;
        taken_bytes_ = 0;
        lock.Unlock();
        const std::optional<std::uint64_t> free = pass_.fs.FreeSpace(batch.destination);
        lock.Lock();
        free_space_ = free.value_or(std::numeric_limits<std::uint64_t>::max());
    }
    if (space_short_ || held_ || !RoomToStage()) {
        return false;
    }
    ++staging_;
    clean = !batch.cleaned && !batch.place.new_destination;
    batch.cleaned = true;
    return true;
}

bool LookAhead::RoomToStage() const {
    // A copy staged ahead must not take the room the walk's own copies need.
    return *free_space_ >= bounds_.spare_space + staged_bytes_;
}

}  // namespace tidemark
