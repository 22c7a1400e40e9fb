#include "engine/file_prefetcher.h"

#include <algorithm>

namespace tidemark {

int FilePrefetcher::DefaultWorkers() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 8);
}

FilePrefetcher::FilePrefetcher(int workers, std::size_t window)
    : window_(std::max<std::size_t>(window, 1)) {
    for (int i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { WorkerLoop(); });
    }
}

FilePrefetcher::~FilePrefetcher() {
    Abandon();
    {
        std::lock_guard lock(mutex_);
        shutting_down_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void FilePrefetcher::Begin(const std::vector<FileEntry>& files, const PreparationContext& context) {
    Abandon();
    std::lock_guard lock(mutex_);
    files_ = &files;
    context_ = &context;
    prepared_.assign(files.size(), std::nullopt);
    submitted_ = 0;
    if (!workers_.empty()) {
        SubmitUpTo(window_);
    }
}

void FilePrefetcher::SubmitUpTo(std::size_t end) {
    end = std::min(end, prepared_.size());
    if (submitted_ >= end) {
        return;
    }
    const std::size_t added = end - submitted_;
    for (; submitted_ < end; ++submitted_) {
        queue_.push_back(submitted_);
    }
    if (added == 1) {
        work_ready_.notify_one();
    } else {
        work_ready_.notify_all();
    }
}

PreparedFile& FilePrefetcher::Take(std::size_t index) {
    if (index > 0) {
        std::lock_guard lock(mutex_);
        prepared_[index - 1].reset();  // the walk is done with it
    }
    if (workers_.empty()) {
        prepared_[index] = PrepareFile((*files_)[index], *context_);
        return *prepared_[index];
    }
    std::unique_lock lock(mutex_);
    // Topping the window up in halves wakes the workers once per half window rather than
    // once per file.
    if (submitted_ < index + window_ / 2 + 1) {
        SubmitUpTo(index + window_);
    }
    if (!prepared_[index]) {
        // Not started yet: doing it here is quicker than waking a worker and waiting for it,
        // which matters when preparing is only a look at the destination.
        if (const auto queued = std::find(queue_.begin(), queue_.end(), index);
            queued != queue_.end()) {
            queue_.erase(queued);
            lock.unlock();
            PreparedFile prepared = PrepareFile((*files_)[index], *context_);
            lock.lock();
            prepared_[index] = std::move(prepared);
        } else {
            waiting_for_ = index;
            file_ready_.wait(lock, [&] { return prepared_[index].has_value(); });
            waiting_for_.reset();
        }
    }
    return *prepared_[index];
}

void FilePrefetcher::Abandon() {
    std::unique_lock lock(mutex_);
    queue_.clear();
    abandoning_ = true;
    file_ready_.wait(lock, [&] { return in_flight_ == 0; });
    abandoning_ = false;
    for (std::optional<PreparedFile>& prepared : prepared_) {
        if (prepared && prepared->staged && prepared->staged->ok() && !prepared->staged_settled) {
            context_->fs.DiscardCopy(prepared->staged->value());
            prepared->staged_settled = true;
        }
    }
    prepared_.clear();
    files_ = nullptr;
}

void FilePrefetcher::WorkerLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        work_ready_.wait(lock, [&] { return shutting_down_ || !queue_.empty(); });
        if (shutting_down_) {
            return;
        }
        // Workers take the file furthest ahead and the walk the next one, so that the two
        // rarely wait on the same file.
        const std::size_t index = queue_.back();
        queue_.pop_back();
        ++in_flight_;
        const FileEntry& file = (*files_)[index];
        const PreparationContext& context = *context_;
        lock.unlock();
        PreparedFile prepared = PrepareFile(file, context);
        lock.lock();
        prepared_[index] = std::move(prepared);
        --in_flight_;
        if (waiting_for_ == index || (in_flight_ == 0 && abandoning_)) {
            file_ready_.notify_all();
        }
    }
}

}  // namespace tidemark
