#include "platform/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <utility>

#include "engine/path_syntax.h"
#include "platform/anchored_path.h"

namespace tidemark {

namespace {

/// Closes a descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    /// Closes now and reports the error close gives (a delayed write error, say).
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

Failure LastError() {
    return FailureFromErrno(errno);
}

/// A folder held open by its descriptor, with the path it was opened by.
class PosixHeldFolder final : public HeldFolder {
  public:
    PosixHeldFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixHeldFolder() override { ::close(fd_); }
    PosixHeldFolder(const PosixHeldFolder&) = delete;
    PosixHeldFolder& operator=(const PosixHeldFolder&) = delete;
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

const PosixHeldFolder* Held(const HeldFolder* folder) {
    return static_cast<const PosixHeldFolder*>(folder);
}

/// The descriptor of a folder that this file system held; -1 for none.
int HeldFd(const HeldFolder* folder) {
    return folder != nullptr ? Held(folder)->fd() : -1;
}

/// The last part of a path: the name of the item within its folder.
const char* NameIn(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

/// One entry as getdents64 writes it.
struct DirectoryRecord {
    ino64_t inode;
    off64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

FileTime ToFileTime(const struct timespec& time) {
    return static_cast<FileTime>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

EntryKind KindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return EntryKind::kFolder;
    if (S_ISREG(mode))
        return EntryKind::kFile;
    if (S_ISLNK(mode))
        return EntryKind::kSymlink;
    return EntryKind::kSpecial;
}

std::optional<EntryKind> KindOfDirectoryEntry(unsigned char type) {
    switch (type) {
        case DT_DIR:
            return EntryKind::kFolder;
        case DT_REG:
            return EntryKind::kFile;
        case DT_LNK:
            return EntryKind::kSymlink;
        case DT_FIFO:
        case DT_SOCK:
        case DT_CHR:
        case DT_BLK:
            return EntryKind::kSpecial;
        default:
            return std::nullopt;  // the file system did not say: ask with a stat
    }
}

/// What the folder's own status says of its contents: where it is and when they last changed.
std::optional<FolderState> StateOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::nullopt;
    }
    return FolderState{static_cast<std::uint64_t>(status.st_dev),
                       static_cast<std::uint64_t>(status.st_ino), ToFileTime(status.st_mtim),
                       ToFileTime(status.st_ctim)};
}

/// The clock the kernel stamps changes with: the coarse one, which can be a few milliseconds
/// behind the precise time.
FileTime ChangeClockNow() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return ToFileTime(now);
}

/// The folder at path opened with `flags` (O_RDONLY or O_PATH), or why it cannot be.
Result<int> OpenFolder(const std::string& path, int flags) {
    const AnchoredPath at(path);
    if (!at.ok()) {
        return FailureFromErrno(at.error());
    }
    const int fd = ::openat(at.folder(), at.name(), flags | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return LastError();
    }
    return fd;
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Copies `length` bytes at `offset` of `in` to the same offset of `out`, in the kernel where
/// it can. Stops early, without failing, where the source ends sooner.
Status CopyRange(int in, int out, std::uint64_t offset, std::uint64_t length) {
    std::uint64_t copied = 0;
    bool kernel_copy = true;
    while (copied < length && kernel_copy) {
        auto in_offset = static_cast<loff_t>(offset + copied);
        auto out_offset = in_offset;
        const ssize_t n = ::copy_file_range(in, &in_offset, out, &out_offset, length - copied, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == EBADF) {
                kernel_copy = false;  // fall back to read and write below
                break;
            }
            return LastError();
        }
        if (n == 0) {
            return Status::Ok();  // the file shrank since it was examined
        }
        copied += static_cast<std::uint64_t>(n);
    }
    if (kernel_copy) {
        return Status::Ok();
    }
    constexpr std::size_t kBufferSize = 256 * 1024;
    auto buffer = std::make_unique<char[]>(kBufferSize);
    while (copied < length) {
        const auto position = static_cast<off_t>(offset + copied);
        const ssize_t n = ::pread(in, buffer.get(),
                                  std::min<std::uint64_t>(kBufferSize, length - copied), position);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        if (n == 0) {
            return Status::Ok();
        }
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::pwrite(out, buffer.get() + written,
                                       static_cast<size_t>(n - written), position + written);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return LastError();
            }
            written += w;
        }
        copied += static_cast<std::uint64_t>(n);
    }
    return Status::Ok();
}

/// Copies the data of a file with holes and leaves the holes out, so that a sparse file (a
/// disk image, say) stays sparse instead of filling the destination with zeros. Answers
/// nullopt when the file system cannot say where the holes are.
std::optional<Status> CopySparse(int in, int out, std::uint64_t size) {
    std::uint64_t position = 0;
    while (position < size) {
        const off_t data = ::lseek(in, static_cast<off_t>(position), SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // only a hole is left
            }
            if (position == 0 && (errno == EINVAL || errno == EOPNOTSUPP)) {
                return std::nullopt;
            }
            return LastError();
        }
        const off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0) {
            return LastError();
        }
        const auto end = std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), size);
        if (static_cast<std::uint64_t>(data) >= end) {
            break;
        }
        if (Status copied = CopyRange(in, out, static_cast<std::uint64_t>(data),
                                      end - static_cast<std::uint64_t>(data));
            !copied) {
            return copied;
        }
        position = end;
    }
    // The length, trailing hole included; a file that shrank meanwhile is not padded.
    struct stat now {};
    std::uint64_t length = size;
    if (::fstat(in, &now) == 0 && static_cast<std::uint64_t>(now.st_size) < size) {
        length = static_cast<std::uint64_t>(now.st_size);
    }
    if (::ftruncate(out, static_cast<off_t>(length)) != 0) {
        return LastError();
    }
    return Status::Ok();
}

/// Copies the bytes of `in` to `out`, in the kernel where it can, leaving out the holes of a
/// sparse file.
Status CopyBytes(int in, const struct stat& source, int out) {
    const auto size = static_cast<std::uint64_t>(source.st_size);
    const auto allocated = static_cast<std::uint64_t>(source.st_blocks) * 512;
    if (allocated < size) {
        if (std::optional<Status> sparse = CopySparse(in, out, size)) {
            return *sparse;
        }
    }
    return CopyRange(in, out, 0, size);
}

/// Puts a finished temporary file in place. Without overwrite an existing target is an error.
Status Commit(const std::string& temporary, const std::string& destination, bool overwrite) {
    const AnchoredPath from(temporary);
    const AnchoredPath to(destination);
    if (!from.ok() || !to.ok()) {
        return FailureFromErrno(from.ok() ? to.error() : from.error());
    }
    if (::renameat2(from.folder(), from.name(), to.folder(), to.name(),
                    overwrite ? 0 : RENAME_NOREPLACE) == 0) {
        return Status::Ok();
    }
    if (overwrite || (errno != EINVAL && errno != ENOSYS)) {
        return LastError();
    }
    // File systems without RENAME_NOREPLACE: a hard link fails just the same on a taken name.
    if (::linkat(from.folder(), from.name(), to.folder(), to.name(), 0) != 0) {
        return LastError();
    }
    ::unlinkat(from.folder(), from.name(), 0);
    return Status::Ok();
}

void Unlink(const std::string& path) {
    const AnchoredPath at(path);
    if (at.ok()) {
        ::unlinkat(at.folder(), at.name(), 0);
    }
}

/// Writes the data, owner, permission bits and times of the open source into `out`.
Status CopyRegularFileInto(int in, const struct stat& source, int out) {
    if (Status copied = CopyBytes(in, source, out); !copied) {
        return copied;
    }
    static const bool privileged = ::geteuid() == 0;
    if (privileged && (source.st_uid != 0 || source.st_gid != 0)) {
        (void)::fchown(out, source.st_uid, source.st_gid);  // best effort, like cp -p
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::fchmod(out, source.st_mode & 07777) != 0 || ::futimens(out, times) != 0) {
        return LastError();
    }
    return Status::Ok();
}

/// Gives an unnamed file a name. Without the privilege to link a descriptor directly, the
/// descriptor's entry under /proc does the same.
Status LinkUnnamed(int file, const std::string& name) {
    const AnchoredPath at(name);
    if (!at.ok()) {
        return FailureFromErrno(at.error());
    }
    if (::linkat(file, "", at.folder(), at.name(), AT_EMPTY_PATH) == 0) {
        return Status::Ok();
    }
    if (errno != ENOENT && errno != EPERM) {
        return LastError();
    }
    const std::string self = "/proc/self/fd/" + std::to_string(file);
    if (::linkat(AT_FDCWD, self.c_str(), at.folder(), at.name(), AT_SYMLINK_FOLLOW) != 0) {
        return LastError();
    }
    return Status::Ok();
}

Status CopySymlink(const std::string& source, const std::string& temporary) {
    const AnchoredPath from(source);
    const AnchoredPath to(temporary);
    if (!from.ok() || !to.ok()) {
        return FailureFromErrno(from.ok() ? to.error() : from.error());
    }
    struct stat link_status {};
    if (::fstatat(from.folder(), from.name(), &link_status, AT_SYMLINK_NOFOLLOW) != 0) {
        return LastError();
    }
    std::string target(static_cast<std::size_t>(link_status.st_size) + 1, '\0');
    const ssize_t length = ::readlinkat(from.folder(), from.name(), target.data(), target.size());
    if (length < 0) {
        return LastError();
    }
    target.resize(static_cast<std::size_t>(length));
    if (::symlinkat(target.c_str(), to.folder(), to.name()) != 0) {
        return LastError();
    }
    const struct timespec times[2] = {link_status.st_atim, link_status.st_mtim};
    if (::utimensat(to.folder(), to.name(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        return LastError();
    }
    return Status::Ok();
}

}  // namespace

PosixFileSystem::PosixFileSystem(FileTime settle_time) : settle_time_(settle_time) {
    // Under a file-size limit (ulimit -f) the system would end the program in the middle of a
    // large copy; ignoring its signal makes the write fail instead, as that file's error.
    static const bool ignored = ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ignored;
    // Files prepared ahead of the walk hold descriptors; the soft limit is often far below
    // what the system allows the process.
    static const bool raised = [] {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) {
            return false;
        }
        limit.rlim_cur = limit.rlim_max;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }();
    (void)raised;
}

bool PosixFileSystem::FolderExists(const std::string& path) {
    const AnchoredPath at(path);
    struct stat status {};
    return at.ok() && ::fstatat(at.folder(), at.name(), &status, 0) == 0 && S_ISDIR(status.st_mode);
}

Result<FolderListing> PosixFileSystem::ListFolder(const std::string& path) {
    const Result<int> fd = OpenFolder(path, O_RDONLY);
    if (!fd) {
        return fd.failure();
    }
    return ListOpenFolder(*fd, path);
}

Result<FolderListing> PosixFileSystem::ListFolderAgain(const std::string& path,
                                                       FolderListing earlier) {
    // Held only to reach its items, the folder needs no descriptor that can read it.
    const Result<int> opened = OpenFolder(path, O_PATH);
    if (!opened) {
        return opened.failure();
    }
    const int held = *opened;
    if (earlier.state && StateOf(held) == earlier.state) {
        earlier.folder = std::make_shared<PosixHeldFolder>(held, path);
        return earlier;
    }
    const int fd = ::openat(held, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int error = errno;
    ::close(held);
    if (fd < 0) {
        return FailureFromErrno(error);
    }
    return ListOpenFolder(fd, path);
}

Result<FolderListing> PosixFileSystem::ListOpenFolder(int fd, const std::string& path) {
    FolderListing listing;
    listing.folder = std::make_shared<PosixHeldFolder>(fd, path);
    // A change within the file system's time steps of the last one could leave the folder's
    // times as they are: only a folder that has been still for a while has a state to compare.
    // The moment is taken first, so any change after it is stamped with that moment or later.
    const FileTime now = ChangeClockNow();
    if (auto state = StateOf(fd);
        state && std::max(state->modified, state->changed) < now - settle_time_) {
        listing.state = state;
    }
    // Read straight from the kernel in large blocks: the folder stays open for the walk, and a
    // large folder takes few calls.
    alignas(DirectoryRecord) static thread_local char buffer[32 * 1024];
    while (true) {
        const long filled = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (filled < 0) {
            return LastError();
        }
        if (filled == 0) {
            break;
        }
        for (long offset = 0; offset < filled;) {
            const auto* entry = reinterpret_cast<const DirectoryRecord*>(buffer + offset);
            offset += entry->length;
            const std::string_view name = entry->name;
            if (name == "." || name == "..") {
                continue;
            }
            if (const auto owner = TemporaryFileOwner(name)) {
                // Our own temporary file is never a file of the tree. One left behind by a run
                // that died is removed; one of a run still going is left to it.
                if (::kill(static_cast<pid_t>(*owner), 0) != 0 && errno == ESRCH) {
                    ::unlinkat(fd, entry->name, 0);
                }
                continue;
            }
            std::optional<EntryKind> kind = KindOfDirectoryEntry(entry->type);
            if (!kind) {
                struct stat status {};
                if (::fstatat(fd, entry->name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;  // vanished since it was listed
                }
                kind = KindOfMode(status.st_mode);
            }
            FileEntry item{JoinPath(path, name, syntax_), std::string(name), *kind, 0};
            if (name.front() == '.') {
                item.attributes |= kHiddenAttribute;
            }
            if (*kind == EntryKind::kSpecial) {
                item.attributes |= kSystemAttribute;
            }
            (*kind == EntryKind::kFolder ? listing.sub_folders : listing.files)
                .push_back(std::move(item));
        }
    }
    return listing;
}

std::shared_ptr<const HeldFolder> PosixFileSystem::HoldFolder(const std::string& path) {
    const Result<int> fd = OpenFolder(path, O_PATH);
    return fd ? std::make_shared<PosixHeldFolder>(*fd, path) : nullptr;
}

Result<std::optional<FileStatus>> PosixFileSystem::FindFile(const std::string& path) {
    return FindFileIn(nullptr, path);
}

Result<std::optional<FileStatus>> PosixFileSystem::FindFileIn(const HeldFolder* folder,
                                                              const std::string& path) {
    struct stat status {};
    int error = 0;
    if (folder != nullptr) {
        if (::fstatat(HeldFd(folder), NameIn(path), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        }
    } else if (const AnchoredPath at(path); !at.ok()) {
        error = at.error();
    } else if (::fstatat(at.folder(), at.name(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
    }
    if (error == ENOENT || error == ENOTDIR || (error == 0 && S_ISDIR(status.st_mode))) {
        return std::optional<FileStatus>();
    }
    if (error != 0) {
        return FailureFromErrno(error);
    }
    return std::optional<FileStatus>(FileStatus{KindOfMode(status.st_mode),
                                                ToFileTime(status.st_mtim),
                                                static_cast<std::uint64_t>(status.st_size)});
}

std::optional<unsigned> PosixFileSystem::TemporaryFileOwner(std::string_view name) {
    const std::string_view prefix = kTemporaryPrefix;
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) {
        return std::nullopt;
    }
    unsigned owner = 0;
    unsigned long long counter = 0;
    char end = '\0';
    const std::string rest(name.substr(prefix.size()));
    if (std::sscanf(rest.c_str(), "%x-%llx.tm%c", &owner, &counter, &end) != 3 || end != 'p') {
        return std::nullopt;
    }
    return owner;
}

std::string PosixFileSystem::TemporaryPathFor(const std::string& destination,
                                              const HeldFolder* staging_folder) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%x-%llx.tmp", kTemporaryPrefix,
                  static_cast<unsigned>(::getpid()),
                  static_cast<unsigned long long>(++temporary_counter_));
    if (staging_folder != nullptr) {
        return JoinPath(Held(staging_folder)->path(), name, syntax_);
    }
    const std::size_t slash = destination.find_last_of('/');
    return slash == std::string::npos ? std::string(name) : destination.substr(0, slash + 1) + name;
}

Result<StagedCopy> PosixFileSystem::StageCopy(const FileEntry& source,
                                              const std::string& destination) {
    return StageCopyIn(nullptr, nullptr, source, destination);
}

Result<StagedCopy> PosixFileSystem::StageCopyIn(const HeldFolder* source_folder,
                                                const HeldFolder* destination_folder,
                                                const FileEntry& source,
                                                const std::string& destination) {
    if (source.kind == EntryKind::kSpecial) {
        return FailureFromErrno(EOPNOTSUPP);  // pipes, sockets and devices are never opened
    }
    StagedCopy staged{{}, destination, -1};
    if (source.kind != EntryKind::kSymlink) {
        // O_NONBLOCK: should the file have turned into a pipe since it was listed, opening
        // it must not wait for a writer.
        constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        FileDescriptor in;
        if (source_folder != nullptr) {
            in = FileDescriptor(::openat(HeldFd(source_folder), source.name.c_str(), kFlags));
        } else if (const AnchoredPath at(source.path); at.ok()) {
            in = FileDescriptor(::openat(at.folder(), at.name(), kFlags));
        } else {
            return FailureFromErrno(at.error());
        }
        if (in.valid()) {
            struct stat status {};
            if (::fstat(in.get(), &status) != 0) {
                return LastError();
            }
            if (!S_ISREG(status.st_mode)) {
                return FailureFromErrno(EOPNOTSUPP);
            }
            staged.bytes = static_cast<std::uint64_t>(status.st_size);
            return StageRegularFile(in.get(), status, std::move(staged), destination_folder);
        }
        if (errno != ELOOP) {
            return LastError();
        }
        // It turned into a link since it was listed: copy the link.
    }
    staged.temporary_path = TemporaryPathFor(destination, destination_folder);
    if (Status written = CopySymlink(source.path, staged.temporary_path); !written) {
        Unlink(staged.temporary_path);
        return written.failure();
    }
    return staged;
}

Result<StagedCopy> PosixFileSystem::StageRegularFile(int in, const struct stat& source,
                                                     StagedCopy staged,
                                                     const HeldFolder* destination_folder) {
    // An unnamed file in the destination folder needs no cleaning up if the program dies
    // before it is put in place; where the file system has none, a hidden name serves.
    constexpr int kUnnamed = O_TMPFILE | O_WRONLY | O_CLOEXEC;
    int unnamed = -1;
    if (destination_folder != nullptr) {
        unnamed = ::openat(HeldFd(destination_folder), ".", kUnnamed, 0600);
    } else if (const AnchoredPath folder(ParentOf(staged.destination)); folder.ok()) {
        unnamed = ::openat(folder.folder(), folder.name(), kUnnamed, 0600);
    } else {
        return FailureFromErrno(folder.error());
    }
    if (unnamed >= 0) {
        if (Status written = CopyRegularFileInto(in, source, unnamed); !written) {
            ::close(unnamed);
            return written.failure();
        }
        staged.unnamed_file = unnamed;
        return staged;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return LastError();
    }
    staged.temporary_path = TemporaryPathFor(staged.destination, destination_folder);
    const AnchoredPath at(staged.temporary_path);
    FileDescriptor out(
        at.ok() ? ::openat(at.folder(), at.name(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)
                : -1);
    if (!out.valid()) {
        return FailureFromErrno(at.ok() ? errno : at.error());
    }
    Status written = CopyRegularFileInto(in, source, out.get());
    if (written) {
        if (const int error = out.Close(); error != 0) {
            written = FailureFromErrno(error);
        }
    }
    if (!written) {
        Unlink(staged.temporary_path);
        return written.failure();
    }
    return staged;
}

void PosixFileSystem::StartWritingOut(const StagedCopy& staged) {
    // ext4 writes out a file renamed over another before the rename returns (its guard for
    // programs that replace files without syncing them); begun here, the rename finds it done.
    if (staged.unnamed_file >= 0) {
        ::sync_file_range(staged.unnamed_file, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
}

Status PosixFileSystem::CommitCopy(const StagedCopy& staged, bool overwrite) {
    if (staged.unnamed_file < 0) {
        return Commit(staged.temporary_path, staged.destination, overwrite);
    }
    if (!overwrite) {
        // Linking fails on a taken name, which is what a copy without overwrite needs.
        Status linked = LinkUnnamed(staged.unnamed_file, staged.destination);
        if (linked) {
            ::close(staged.unnamed_file);
        }
        return linked;
    }
    const std::string temporary = TemporaryPathFor(staged.destination);
    if (Status linked = LinkUnnamed(staged.unnamed_file, temporary); !linked) {
        return linked;
    }
    // Held open across the rename, the replaced file is freed when this is closed, on the
    // closer's thread rather than in the rename.
    const AnchoredPath replaced_at(staged.destination);
    const int replaced = replaced_at.ok() ? ::openat(replaced_at.folder(), replaced_at.name(),
                                                     O_PATH | O_NOFOLLOW | O_CLOEXEC)
                                          : -1;
    Status renamed = Commit(temporary, staged.destination, /*overwrite=*/true);
    if (replaced >= 0) {
        replaced_files_.Close(replaced);
    }
    if (!renamed) {
        Unlink(temporary);
        return renamed;
    }
    ::close(staged.unnamed_file);
    return Status::Ok();
}

void PosixFileSystem::DiscardCopy(const StagedCopy& staged) {
    if (staged.unnamed_file >= 0) {
        ::close(staged.unnamed_file);
    } else {
        Unlink(staged.temporary_path);
    }
}

Status PosixFileSystem::CheckDeletable(const std::string& path) {
    // Removing a directory entry needs write and search permission on its folder; the
    // file's own permission bits do not matter, so read-only files can be replaced.
    const AnchoredPath at(ParentOf(path));
    if (!at.ok()) {
        return FailureFromErrno(at.error());
    }
    if (::faccessat(at.folder(), at.name(), W_OK | X_OK, AT_EACCESS) != 0) {
        return LastError();
    }
    return Status::Ok();
}

Status PosixFileSystem::CreateFolder(const std::string& path) {
    const AnchoredPath at(path);
    if (!at.ok()) {
        return FailureFromErrno(at.error());
    }
    if (::mkdirat(at.folder(), at.name(), 0777) != 0) {
        return LastError();
    }
    return Status::Ok();
}

std::optional<std::string> PosixFileSystem::ResolveFolder(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), &::free);
    if (!resolved || !FolderExists(resolved.get())) {
        return std::nullopt;
    }
    return std::string(resolved.get());
}

Result<std::string> PosixFileSystem::ReadTextFile(const std::string& path) {
    FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::string();
        }
        return LastError();
    }
    struct stat status {};
    if (::fstat(in.get(), &status) != 0) {
        return LastError();
    }
    if (!S_ISREG(status.st_mode)) {
        return std::string();
    }
    std::string text;
    char buffer[64 * 1024];
    while (true) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        if (n == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

Status PosixFileSystem::WriteTextFile(const std::string& path, const std::string& text) {
    const std::string temporary = TemporaryPathFor(path);
    auto fail = [&temporary](int error) {
        ::unlink(temporary.c_str());
        return Status(FailureFromErrno(error));
    };
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.valid()) {
        return LastError();
    }
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(out.get(), text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    // The program's own files must survive a crash whole: flush before the rename.
    if (::fsync(out.get()) != 0) {
        return fail(errno);
    }
    if (const int error = out.Close(); error != 0) {
        return fail(error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(errno);
    }
    return Status::Ok();
}

}  // namespace tidemark
