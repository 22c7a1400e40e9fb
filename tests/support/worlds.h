#pragma once

// One tree, built and looked at the same way on real temporary folders and in memory, so that
// a typed test can hold both file systems to the same expectations. Paths are relative to the
// world's root folder.
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/posix_file_system.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {

/// The time of items made without one.
constexpr FileTime kWorldTime = 1'500'000'000'123'456'789;

/// Real folders. A pass takes the count's listing of any folder that was still when counted.
class PosixWorld {
  public:
    FileSystemPort& fs() { return fs_; }
    std::string Path(const std::string& relative) const { return folder_ / relative; }
    void Folder(const std::string& relative) { MakeFolders(Path(relative)); }
    void File(const std::string& relative, const std::string& content, FileTime time = kWorldTime) {
        WriteFile(Path(relative), content);
        SetModified(Path(relative), time);
    }
    void Link(const std::string& relative, const std::string& target, FileTime time = kWorldTime) {
        std::filesystem::create_symlink(target, Path(relative));
        SetModified(Path(relative), time);
    }
    void Fifo(const std::string& relative) {
        if (::mkfifo(Path(relative).c_str(), 0600) != 0)
            throw std::runtime_error("cannot make the pipe " + Path(relative));
    }
    void ReadOnly(const std::string& relative) { ::chmod(Path(relative).c_str(), 0444); }
    // Failures and a space limit only memory can show.
    void Fail(InMemoryFileSystem::Operation, const std::string&, const Failure&) {}
    void Capacity(std::uint64_t) {}
    void FoldCaseBelow(const std::string&) {}

    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(std::filesystem::symlink_status(Path(relative)));
    }
    std::optional<std::string> Content(const std::string& relative) const {
        const std::string path = Path(relative);
        return std::filesystem::is_regular_file(path) ? std::optional(ReadFile(path))
                                                      : std::nullopt;
    }
    FileTime Modified(const std::string& relative) const { return ModifiedOf(Path(relative)); }
    std::optional<std::string> LinkTarget(const std::string& relative) const {
        const std::string path = Path(relative);
        return std::filesystem::is_symlink(path)
                   ? std::optional(std::filesystem::read_symlink(path).string())
                   : std::nullopt;
    }
    std::map<std::string, std::string> Snapshot(const std::string& relative) const {
        return TreeOf(Path(relative));
    }
    int LeftoverTemporaries(const std::string& relative) const {
        return CountItemsStartingWith(Path(relative),
                                      std::string(PosixFileSystem::kTemporaryPrefix));
    }
    std::size_t PendingStagedCopies() const { return 0; }
    /// A line with the root folder's random name taken out, to compare with another world's.
    std::string Display(std::string line) const {
        for (std::size_t at; (at = line.find(folder_.path())) != std::string::npos;)
            line.replace(at, folder_.path().size(), "<root>");
        return line;
    }

  private:
    TemporaryFolder folder_;
    PosixFileSystem fs_{0};
};

/// The in-memory file system, below the root folder /root.
class MemoryWorld {
  public:
    MemoryWorld() { fs_.AddFolder("/root"); }
    FileSystemPort& fs() { return fs_; }
    std::string Path(const std::string& relative) const { return "/root/" + relative; }
    void Folder(const std::string& relative) { fs_.AddFolder(Path(relative)); }
    void File(const std::string& relative, const std::string& content, FileTime time = kWorldTime) {
        fs_.AddFile(Path(relative), content, time);
    }
    void Link(const std::string& relative, const std::string& target, FileTime time = kWorldTime) {
        fs_.AddSymlink(Path(relative), target, time);
    }
    void Fifo(const std::string& relative) { fs_.AddSpecial(Path(relative)); }
    /// Memory keeps no permissions: a read-only file is replaced there as anywhere else.
    void ReadOnly(const std::string&) {}
    void Fail(InMemoryFileSystem::Operation operation, const std::string& relative,
              Failure failure) {
        fs_.FailOn(operation, Path(relative), std::move(failure));
    }
    void Capacity(std::uint64_t bytes) { fs_.SetCapacity(bytes); }
    void FoldCaseBelow(const std::string& relative) { fs_.FoldCaseBelow(Path(relative)); }

    bool Exists(const std::string& relative) const { return fs_.Exists(Path(relative)); }
    std::optional<std::string> Content(const std::string& relative) const {
        return fs_.LinkTargetOf(Path(relative)) ? std::nullopt : fs_.ContentOf(Path(relative));
    }
    FileTime Modified(const std::string& relative) const {
        return fs_.ModifiedOf(Path(relative)).value_or(-1);
    }
    std::optional<std::string> LinkTarget(const std::string& relative) const {
        return fs_.LinkTargetOf(Path(relative));
    }
    std::map<std::string, std::string> Snapshot(const std::string& relative) const {
        return fs_.Snapshot(Path(relative));
    }
    int LeftoverTemporaries(const std::string&) const { return 0; }
    std::size_t PendingStagedCopies() const { return fs_.PendingStagedCopies(); }
    std::string Display(std::string line) const { return line; }
    InMemoryFileSystem& memory() { return fs_; }

  private:
    InMemoryFileSystem fs_;
};

}  // namespace tidemark::testing
