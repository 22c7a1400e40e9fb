#pragma once

#include <atomic>
#include <new>
#include <string>

#include "tests/support/in_memory_file_system.h"

namespace tidemark::testing {

/// Passes everything to an in-memory file system, but runs out of memory listing one folder
/// from its `first_failing`-th listing on.
class ExhaustedFileSystem final : public FileSystemPort {
  public:
    ExhaustedFileSystem(InMemoryFileSystem& inner, std::string folder, int first_failing = 1)
        : inner_(inner), folder_(std::move(folder)), first_failing_(first_failing) {}
    const PathSyntax& Syntax() const override { return inner_.Syntax(); }
    bool FolderExistsIn(const HeldFolder* folder, const std::string& path) override {
        return inner_.FolderExistsIn(folder, path);
    }
    Result<FolderListing> ListFolder(const std::string& path) override {
        if (path == folder_ && ++listings_ >= first_failing_)
            throw std::bad_alloc();
        return inner_.ListFolder(path);
    }
    Result<std::optional<FileStatus>> FindFileIn(const HeldFolder* folder,
                                                 const std::string& path) override {
        return inner_.FindFileIn(folder, path);
    }
    Result<StagedCopy> StageCopyIn(const HeldFolder* source_folder,
                                   const HeldFolder* staging_folder, const FileEntry& source,
                                   const std::string& destination) override {
        return inner_.StageCopyIn(source_folder, staging_folder, source, destination);
    }
    Status CommitCopyIn(const HeldFolder* folder, const StagedCopy& staged,
                        bool overwrite) override {
        return inner_.CommitCopyIn(folder, staged, overwrite);
    }
    void DiscardCopy(const StagedCopy& staged) override { inner_.DiscardCopy(staged); }
    Status CheckDeletableIn(const HeldFolder* folder, const std::string& path) override {
        return inner_.CheckDeletableIn(folder, path);
    }
    Status CreateFolder(const std::string& path) override { return inner_.CreateFolder(path); }
    std::optional<std::string> ResolveFolder(const std::string& path) override {
        return inner_.ResolveFolder(path);
    }

  private:
    InMemoryFileSystem& inner_;
    std::string folder_;
    int first_failing_;
    std::atomic<int> listings_ = 0;  // several threads list
};

}  // namespace tidemark::testing
