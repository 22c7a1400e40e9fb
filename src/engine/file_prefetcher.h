#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/file_preparation.h"

namespace tidemark {

/// Prepares the files of one folder on worker threads, a bounded number of files ahead of the
/// walk, which takes them strictly in order. With no workers, each file is prepared when it is
/// taken, on the caller's thread.
class FilePrefetcher {
  public:
    /// A sensible number of workers for this machine: its cores, at least 2, at most 8.
    static int DefaultWorkers();

    FilePrefetcher(int workers, std::size_t window);
    ~FilePrefetcher();
    FilePrefetcher(const FilePrefetcher&) = delete;
    FilePrefetcher& operator=(const FilePrefetcher&) = delete;

    /// Starts on a folder's files. Both arguments must stay valid until End or Abandon.
    void Begin(const std::vector<FileEntry>& files, const PreparationContext& context);
    /// The prepared file at `index`, waiting for it when needed; indexes are taken in order.
    PreparedFile& Take(std::size_t index);
    /// Done with the folder: throws away the staged copies that were not settled and waits for
    /// work in flight. Also what a stop does with files prepared ahead of the walk.
    void Abandon();

  private:
    void WorkerLoop();
    void SubmitUpTo(std::size_t end);  // with mutex_ held

    const std::size_t window_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable file_ready_;
    std::deque<std::size_t> queue_;
    std::size_t in_flight_ = 0;
    bool shutting_down_ = false;
    bool abandoning_ = false;
    std::optional<std::size_t> waiting_for_;  // the file the walk is waiting for

    const std::vector<FileEntry>* files_ = nullptr;
    const PreparationContext* context_ = nullptr;
    std::vector<std::optional<PreparedFile>> prepared_;
    std::size_t submitted_ = 0;
};

}  // namespace tidemark
