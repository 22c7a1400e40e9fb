#include "engine/file_prefetcher.h"

#include <algorithm>

namespace tidemark {

namespace {

/// A worker takes a few files at a time, and more while its files need only a look at the
/// destination: fewer hand-overs, and still a fair share, and a short wait for a stop, when
/// they are copies.
constexpr std::size_t kItemsPerClaim = 4;
constexpr std::size_t kLooksPerClaim = 16;

/// How many times the walk gives way to other threads while a worker finishes its file before
/// it goes to sleep: a file is usually ready within microseconds, and sleeping and being woken
/// costs more than that.
constexpr int kYieldsBeforeSleeping = 64;

bool SameFiles(const std::vector<FileEntry>& a, const std::vector<FileEntry>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](const FileEntry& x, const FileEntry& y) {
            return x.path == y.path && x.kind == y.kind && x.attributes == y.attributes;
        });
}

}  // namespace

int FilePrefetcher::DefaultWorkers() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 8);
}

FilePrefetcher::FilePrefetcher(int workers, std::size_t window, HelperThreadStart helper_start)
    : window_(std::max<std::size_t>(window, 1)), helper_start_(helper_start) {
    for (int i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { WorkerLoop(); });
    }
}

FilePrefetcher::~FilePrefetcher() {
    EndPass();
    {
        std::lock_guard lock(mutex_);
        shutting_down_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void FilePrefetcher::StartPass(const PassRoute& route) {
    EndPass();
    if (workers_.empty()) {
        return;  // nothing is prepared ahead without workers
    }
    std::lock_guard lock(mutex_);
    route_.emplace(route);
    scouting_ = true;
    scout_done_ = false;
    scout_stop_ = false;
    scout_ = std::thread([this] { ScoutLoop(); });
}

void FilePrefetcher::EndPass() {
    std::unique_lock lock(mutex_);
    StopScout(lock);
    while (!batches_.empty()) {
        DiscardBatch(lock, *batches_.front());
        batches_.pop_front();
    }
    current_ = nullptr;
    queued_files_ = 0;
    queued_folders_ = 0;
    route_.reset();
    created_.clear();
}

void FilePrefetcher::NoteCreating(const std::string& destination_folder) {
    std::lock_guard lock(mutex_);
    if (scouting_) {
        created_.insert(destination_folder);
    }
}

void FilePrefetcher::StopScout(std::unique_lock<std::mutex>& lock) {
    scouting_ = false;
    if (scout_.joinable()) {
        scout_stop_ = true;
        room_ready_.notify_all();
        lock.unlock();
        scout_.join();
        lock.lock();
    }
    for (auto batch = batches_.begin(); batch != batches_.end();) {
        if ((*batch)->scouted) {
            DiscardBatch(lock, **batch);
            batch = batches_.erase(batch);
        } else {
            ++batch;
        }
    }
    queued_files_ = 0;
    queued_folders_ = 0;
    listings_.clear();
    retired_.clear();
}

std::shared_ptr<const Result<FolderListing>> FilePrefetcher::TakeListing(
    const std::string& folder) {
    std::unique_lock lock(mutex_);
    if (!scouting_) {
        return nullptr;
    }
    file_ready_.wait(lock, [&] { return !listings_.empty() || scout_done_; });
    if (listings_.empty() || listings_.front().folder != folder) {
        StopScout(lock);  // the walk went another way
        return nullptr;
    }
    std::shared_ptr<const Result<FolderListing>> listing = std::move(listings_.front().listing);
    listings_.pop_front();
    WakeScoutIfRoom();
    return listing;
}

void FilePrefetcher::WakeScoutIfRoom() {
    if (listings_.size() <= kHalfFolders || queued_folders_ == 0 ||
        (queued_files_ <= window_ / 2 && queued_folders_ < kHalfFolders)) {
        room_ready_.notify_one();
    }
}

bool FilePrefetcher::PublishListing(const std::string& folder,
                                    std::shared_ptr<const Result<FolderListing>> listing) {
    std::unique_lock lock(mutex_);
    if (listings_.size() >= kMostQueuedFolders) {
        // Once full, the scout waits for half the room: woken for every listing taken, it
        // would sleep and wake once per folder.
        room_ready_.wait(lock, [&] { return scout_stop_ || listings_.size() <= kHalfFolders; });
    }
    if (scout_stop_) {
        return false;
    }
    listings_.push_back(ScoutedListing{folder, std::move(listing)});
    file_ready_.notify_all();
    FreeRetired(lock);
    return true;
}

void FilePrefetcher::Begin(const std::string& folder, const std::vector<FileEntry>& files,
                           const PreparationContext& context) {
    std::unique_lock lock(mutex_);
    Batch* batch = nullptr;
    if (scouting_) {
        file_ready_.wait(
            lock, [&] { return (!batches_.empty() && batches_.front()->scouted) || scout_done_; });
        Batch* next = batches_.empty() ? nullptr : batches_.front().get();
        if (next != nullptr && next->scouted && next->folder == folder &&
            (next->files == &files || SameFiles(*next->files, files))) {
            batch = next;
            batch->scouted = false;
            queued_files_ -= files.size();
            --queued_folders_;
            WakeScoutIfRoom();
        } else {
            StopScout(lock);  // the walk went another way: prepare each folder in its turn
        }
    }
    if (batch != nullptr && batch->context &&
        batch->context->new_destination_folder != context.new_destination_folder) {
        // The walk created the folder after the scout looked: prepare again as the walk sees it.
        DiscardBatch(lock, *batch);
        batch->context.reset();
        ResetItems(*batch, files.size());
    }
    if (batch == nullptr) {
        auto made = std::make_unique<Batch>();
        made->folder = folder;
        made->files = &files;
        ResetItems(*made, files.size());
        batch = made.get();
        batches_.push_front(std::move(made));
    }
    current_ = batch;
    if (!batch->context) {
        batch->context.emplace(context);
        if (!batch->context->destination_folder) {
            batch->context->destination_folder = context.fs.HoldFolder(DestinationPathOf(
                folder, context.source_root, context.destination_root, context.fs.Syntax()));
        }
        // Only now may its files be prepared; a batch the scout queued ready woke the
        // workers when it was queued.
        work_ready_.notify_all();
    }
}

PreparedFile& FilePrefetcher::Take(std::size_t index) {
    Batch& batch = *current_;
    if (index > 0) {
        // The walk is done with the file before. Only the walk touches a prepared item.
        ReleaseStaged(batch.prepared[index - 1]);
        batch.prepared[index - 1].reset();
    }
    std::atomic<ItemState>& state = batch.states[index];
    if (ItemState waiting = ItemState::kWaiting;
        state.compare_exchange_strong(waiting, ItemState::kPreparing)) {
        // Not started yet: doing it here is quicker than waiting for a worker to get to it.
        PrepareItem(batch, index);
        return Prepared(batch, index);
    }
    for (int yields = 0; state != ItemState::kPrepared && yields < kYieldsBeforeSleeping;
         ++yields) {
        std::this_thread::yield();
    }
    if (state != ItemState::kPrepared) {
        std::unique_lock lock(mutex_);
        walk_waiting_ = true;
        file_ready_.wait(lock, [&] { return state == ItemState::kPrepared; });
        walk_waiting_ = false;
    }
    return Prepared(batch, index);
}

PreparedFile& FilePrefetcher::Prepared(Batch& batch, std::size_t index) {
    if (batch.errors[index]) {
        std::rethrow_exception(batch.errors[index]);  // in the file's turn, as if prepared now
    }
    return *batch.prepared[index];
}

bool FilePrefetcher::HoldsStagedCopy(const std::optional<PreparedFile>& prepared) {
    return prepared && prepared->staged && prepared->staged->ok();
}

bool FilePrefetcher::StagedFull() const {
    return staged_bytes_ >= kMostStagedBytes || staged_files_ >= kMostStagedFiles;
}

void FilePrefetcher::CountStaged(const std::optional<PreparedFile>& prepared) {
    if (HoldsStagedCopy(prepared)) {
        staged_bytes_ += prepared->staged->value().bytes;
        ++staged_files_;
    }
}

void FilePrefetcher::ReleaseStaged(const std::optional<PreparedFile>& prepared) {
    if (!HoldsStagedCopy(prepared)) {
        return;
    }
    const bool was_full = StagedFull();
    staged_bytes_ -= prepared->staged->value().bytes;
    --staged_files_;
    if (was_full && !StagedFull()) {
        std::lock_guard lock(mutex_);
        work_ready_.notify_all();
    }
}

void FilePrefetcher::ResetItems(Batch& batch, std::size_t size) {
    batch.prepared.assign(size, std::nullopt);
    batch.errors.assign(size, nullptr);
    batch.states = std::make_unique<std::atomic<ItemState>[]>(size);
    batch.size = size;
    batch.next_waiting = 0;
}

void FilePrefetcher::Abandon() {
    // Declared before the lock: a batch the scout will not free is freed once it is let go.
    std::unique_ptr<Batch> finished;
    std::unique_lock lock(mutex_);
    if (current_ == nullptr) {
        return;
    }
    DiscardBatch(lock, *current_);
    const auto found = std::find_if(batches_.begin(), batches_.end(),
                                    [&](const auto& batch) { return batch.get() == current_; });
    finished = std::move(*found);
    batches_.erase(found);
    current_ = nullptr;
    // Freeing a folder's listing and items is the scout's work where it runs: the scout made
    // most of them, and the walk's time is the pass's.
    if (scouting_ && !scout_done_ && retired_.size() < kMostRetired) {
        retired_.push_back(std::move(finished));
    }
}

void FilePrefetcher::FreeRetired(std::unique_lock<std::mutex>& lock) {
    if (retired_.empty()) {
        return;
    }
    std::vector<std::unique_ptr<Batch>> retired;
    retired.swap(retired_);
    lock.unlock();
    retired.clear();
    lock.lock();
}

bool FilePrefetcher::ClaimWork(std::size_t most, Batch*& found, std::size_t& first,
                               std::size_t& count) {
    if (StagedFull()) {
        return false;
    }
    for (const std::unique_ptr<Batch>& batch : batches_) {
        if (!batch->context || batch->discarding) {
            continue;
        }
        std::size_t& next = batch->next_waiting;
        while (true) {
            while (next < batch->size && batch->states[next] != ItemState::kWaiting) {
                ++next;
            }
            if (next == batch->size) {
                break;
            }
            found = batch.get();
            first = next;
            count = 0;
            // The walk claims its next file without the lock, so each claim is an exchange.
            ItemState waiting = ItemState::kWaiting;
            while (count < most && next < batch->size &&
                   batch->states[next].compare_exchange_strong(waiting, ItemState::kPreparing)) {
                ++next;
                ++count;
            }
            if (count > 0) {
                return true;
            }
        }
    }
    return false;
}

bool FilePrefetcher::PrepareItems(std::unique_lock<std::mutex>& lock, Batch& batch,
                                  std::size_t first, std::size_t count) {
    batch.preparing += count;
    lock.unlock();
    bool copied = false;
    for (std::size_t index = first; index < first + count; ++index) {
        copied = PrepareItem(batch, index) || copied;
        if (walk_waiting_) {
            std::lock_guard wake(mutex_);
            file_ready_.notify_all();
        }
    }
    lock.lock();
    batch.preparing -= count;
    if (batch.discarding && batch.preparing == 0) {
        file_ready_.notify_all();
    }
    return copied;
}

bool FilePrefetcher::PrepareItem(Batch& batch, std::size_t index) {
    try {
        batch.prepared[index] = PrepareFile((*batch.files)[index], *batch.context);
    } catch (...) {
        batch.errors[index] = std::current_exception();
    }
    CountStaged(batch.prepared[index]);
    const bool copied = batch.prepared[index] && batch.prepared[index]->staged;
    // From here on the item is the walk's.
    batch.states[index] = ItemState::kPrepared;
    return copied;
}

void FilePrefetcher::DiscardBatch(std::unique_lock<std::mutex>& lock, Batch& batch) {
    batch.discarding = true;
    file_ready_.wait(lock, [&] { return batch.preparing == 0; });
    batch.discarding = false;
    const bool was_full = StagedFull();
    for (std::optional<PreparedFile>& prepared : batch.prepared) {
        if (!prepared) {
            continue;
        }
        if (HoldsStagedCopy(prepared)) {
            // The caller holds the lock and wakes the workers below.
            staged_bytes_ -= prepared->staged->value().bytes;
            --staged_files_;
        }
        if (prepared->staged && prepared->staged->ok() && !prepared->staged_settled) {
            batch.context->fs.DiscardCopy(prepared->staged->value());
            prepared->staged_settled = true;
        }
        prepared.reset();
    }
    if (was_full && !StagedFull()) {
        work_ready_.notify_all();  // a worker held back by the bound may go on
    }
}

void FilePrefetcher::WorkerLoop() {
    if (helper_start_ != nullptr) {
        helper_start_();
    }
    std::unique_lock lock(mutex_);
    std::size_t most = kItemsPerClaim;
    while (true) {
        Batch* batch = nullptr;
        std::size_t first = 0;
        std::size_t count = 0;
        work_ready_.wait(lock,
                         [&] { return shutting_down_ || ClaimWork(most, batch, first, count); });
        if (shutting_down_) {
            return;
        }
        most = PrepareItems(lock, *batch, first, count) ? kItemsPerClaim : kLooksPerClaim;
    }
}

bool FilePrefetcher::Excludes(const std::string& path) const {
    return route_->settings.UsesExcludeList() && IsExcluded(path, route_->exclude_list);
}

void FilePrefetcher::ScoutLoop() {
    if (helper_start_ != nullptr) {
        helper_start_();
    }
    try {
        ScoutFolder(route_->source_root, 0, nullptr);
    } catch (...) {
        // Whatever went wrong here happens to the walk too, in its turn, where it is reported.
    }
    std::lock_guard lock(mutex_);
    scout_done_ = true;
    file_ready_.notify_all();
}

void FilePrefetcher::ScoutFolder(const std::string& folder, int depth,
                                 const std::shared_ptr<const HeldFolder>& staging) {
    // Follows the walk: an excluded folder is skipped whole, the guarded folder is left out,
    // sub-folders come before the folder's own files.
    if (scout_stop_ || Excludes(folder)) {
        return;
    }
    const PassRoute& route = *route_;
    auto listing =
        std::make_shared<Result<FolderListing>>(route.counted_listings.List(route.fs, folder));
    if (*listing && depth >= kMostHeldFolderLevels) {
        listing->value().folder.reset();
    }
    if (!PublishListing(folder, listing) || !*listing || route.guard.Guards(listing->value())) {
        return;
    }
    const std::string destination =
        DestinationPathOf(folder, route.source_root, route.destination_root, route.fs.Syntax());
    std::shared_ptr<const HeldFolder> held = route.fs.HoldFolder(destination);
    const bool existed = held || route.fs.FolderExists(destination);
    // Copies into folders the walk has yet to create are staged in the nearest folder above
    // them that exists, within the levels that may be held.
    std::shared_ptr<const HeldFolder> stage_in = held ? held : staging;
    if (depth >= kMostHeldFolderLevels) {
        held.reset();
        stage_in.reset();
    }
    const FolderListing& listed = listing->value();
    for (const FileEntry& sub_folder : listed.sub_folders) {
        if (!route.guard.Guards(sub_folder.path)) {
            ScoutFolder(sub_folder.path, depth + 1, stage_in);
        }
        if (scout_stop_) {
            return;
        }
    }
    if (listed.files.empty()) {
        return;
    }
    auto batch = std::make_unique<Batch>();
    batch->folder = folder;
    batch->files = &listed.files;
    batch->listing = std::move(listing);
    ResetItems(*batch, listed.files.size());
    batch->scouted = true;
    const std::size_t files = listed.files.size();
    std::unique_lock lock(mutex_);
    // Asked after looking at the folder: one the walk made is known here even if it was made
    // just before the look.
    const bool new_folder = !existed || created_.contains(destination);
    // Without a folder to stage in, the files of a new folder wait for the walk to create it.
    if (!new_folder || stage_in || route.settings.IsPreview()) {
        batch->context.emplace(PreparationContext{
            route.fs, route.settings, route.exclude_list, route.source_root, route.destination_root,
            new_folder, listed.folder, new_folder ? stage_in : held});
    }
    auto fits = [&](std::size_t most_files, std::size_t most_folders) {
        return scout_stop_ || queued_folders_ == 0 ||
               (queued_files_ + files <= most_files && queued_folders_ < most_folders);
    };
    if (!fits(window_, kMostQueuedFolders)) {
        room_ready_.wait(lock, [&] { return fits(window_ / 2, kHalfFolders); });
    }
    if (scout_stop_) {
        return;
    }
    queued_files_ += files;
    ++queued_folders_;
    batches_.push_back(std::move(batch));
    file_ready_.notify_all();
    work_ready_.notify_all();
    FreeRetired(lock);
}

}  // namespace tidemark
