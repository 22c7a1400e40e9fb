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
    for (; submitted_ < end; ++submitted_) {
        queue_.push_back(submitted_);
    }
    work_ready_.notify_all();
}

PreparedFile& FilePrefetcher::Take(std::size_t index) {
    if (workers_.empty()) {
        if (index > 0) {
            prepared_[index - 1].reset();
        }
        prepared_[index] = PrepareFile((*files_)[index], *context_);
        return *prepared_[index];
    }
    std::unique_lock lock(mutex_);
    if (index > 0) {
        prepared_[index - 1].reset();  // the walk is done with it
    }
    SubmitUpTo(index + window_);
    file_ready_.wait(lock, [&] { return prepared_[index].has_value(); });
    return *prepared_[index];
}

void FilePrefetcher::Abandon() {
    std::unique_lock lock(mutex_);
    queue_.clear();
    file_ready_.wait(lock, [&] { return in_flight_ == 0; });
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
        const std::size_t index = queue_.front();
        queue_.pop_front();
        ++in_flight_;
        const FileEntry& file = (*files_)[index];
        const PreparationContext& context = *context_;
        lock.unlock();
        PreparedFile prepared = PrepareFile(file, context);
        lock.lock();
        prepared_[index] = std::move(prepared);
        --in_flight_;
        file_ready_.notify_all();
    }
}

}  // namespace tidemark
