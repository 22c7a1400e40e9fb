#include "platform/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "engine/path_syntax.h"
#include "platform/creation_mode.h"
#include "platform/file_copy.h"

namespace tidemark {

namespace {

/// Closes a descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    /// Closes now and reports the error close gives (a delayed write error, say).
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

/// The folder of this process's descriptors under /proc, held open for the process's life:
/// through it the file a descriptor refers to can be opened or linked afresh, whatever name it
/// has by then, without looking up /proc/self for each copy. -1 without /proc.
int DescriptorFolder() {
    static const int folder = ::open("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC);
    return folder;
}

/// The name of descriptor `fd` in DescriptorFolder(). Made without allocating: copies need one
/// each.
std::array<char, 16> DescriptorName(int fd) {
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "%d", fd);
    return name;
}

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
    /// See FolderKeepsGivenBits. The question costs two calls, more than the change of mode it
    /// saves, so it is asked only at a folder's second copy: most folders of a pass that copies
    /// a few changed files receive one. The first copy is told no and has its mode set after.
    bool KeepsGivenBits() const {
        signed char known = keeps_given_bits_.load(std::memory_order_relaxed);
        if (known == kNeverAsked) {
            keeps_given_bits_.store(kAskedOnce, std::memory_order_relaxed);
            return false;
        }
        if (known == kAskedOnce) {
            known = FolderKeepsGivenBits(fd_) ? 1 : 0;
            keeps_given_bits_.store(known, std::memory_order_relaxed);
        }
        return known == 1;
    }

  private:
    static constexpr signed char kNeverAsked = -2;
    static constexpr signed char kAskedOnce = -1;

    int fd_;
    std::string path_;
    mutable std::atomic<signed char> keeps_given_bits_{kNeverAsked};  // then 0 or 1
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

/// The flags that keep a call from following a link in the name it is given, where the path
/// lies below an anchored root.
int NoFollowFlag(const AnchoredPath& at) {
    return at.beneath_root() ? O_NOFOLLOW : 0;
}
int NoFollowAtFlag(const AnchoredPath& at) {
    return at.beneath_root() ? AT_SYMLINK_NOFOLLOW : 0;
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

FolderIdentity IdentityOfStatus(const struct stat& status) {
    return FolderIdentity{static_cast<std::uint64_t>(status.st_dev),
                          static_cast<std::uint64_t>(status.st_ino)};
}

FolderState StateOfStatus(const struct stat& status) {
    return FolderState{static_cast<std::uint64_t>(status.st_dev),
                       static_cast<std::uint64_t>(status.st_ino), ToFileTime(status.st_mtim),
                       ToFileTime(status.st_ctim)};
}

/// What the folder's own status says of its contents: where it is and when they last changed.
std::optional<FolderState> StateOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return std::nullopt;
    }
    return StateOfStatus(status);
}

/// The clock the kernel stamps changes with: the coarse one, which can be a few milliseconds
/// behind the precise time.
FileTime ChangeClockNow() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return ToFileTime(now);
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Whether an error from linking or renaming says the file system cannot do it at all, rather
/// than that this link or rename failed.
bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

}  // namespace

PosixFileSystem::PosixFileSystem(FileTime settle_time, Executor* executor)
    : settle_time_(settle_time), umask_(ProcessUmask()), replaced_files_(executor) {}

namespace {

/// While it lives, paths at and below the anchored roots are resolved without following links.
class PosixRootAnchor final : public RootAnchor {
  public:
    explicit PosixRootAnchor(RootAnchoring& anchoring) : anchoring_(anchoring) {}
    ~PosixRootAnchor() override { anchoring_.Set(nullptr); }
    PosixRootAnchor(const PosixRootAnchor&) = delete;
    PosixRootAnchor& operator=(const PosixRootAnchor&) = delete;

  private:
    RootAnchoring& anchoring_;
};

}  // namespace

std::unique_ptr<RootAnchor> PosixFileSystem::AnchorRoots(const std::vector<std::string>& roots) {
    anchoring_.Set(std::make_shared<const AnchoredRoots>(roots));
    return std::make_unique<PosixRootAnchor>(anchoring_);
}

bool PosixFileSystem::FolderExistsIn(const HeldFolder* folder, const std::string& path) {
    if (folder != nullptr) {
        struct stat status {};
        return ::fstatat(HeldFd(folder), NameIn(path), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(status.st_mode);
    }
    const Result<int> fd = OpenFolder(path, O_PATH);
    return fd && ::close(*fd) == 0;
}

std::optional<FolderIdentity> PosixFileSystem::IdentityOf(const std::string& folder) {
    const Result<int> opened = OpenFolder(folder, O_PATH);
    if (!opened) {
        return std::nullopt;
    }
    const FileDescriptor fd(*opened);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return std::nullopt;
    }
    return IdentityOfStatus(status);
}

Result<int> PosixFileSystem::OpenFolder(const std::string& path, int flags) const {
    const int fd = OpenAnchored(path, flags | O_DIRECTORY, anchoring_.Get());
    if (fd < 0) {
        return LastError();
    }
    return fd;
}

Result<int> PosixFileSystem::OpenFolderIn(const HeldFolder* parent, const std::string& path,
                                          int flags) const {
    if (parent == nullptr) {
        return OpenFolder(path, flags);
    }
    // One level below a folder reached without links: a link in its place is not a folder.
    const int fd =
        ::openat(HeldFd(parent), NameIn(path), flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return LastError();
    }
    return fd;
}

AnchoredPath PosixFileSystem::AtIn(const HeldFolder* folder, const std::string& path) const {
    return folder != nullptr ? AnchoredPath(HeldFd(folder), NameIn(path)) : At(path);
}

Result<FolderListing> PosixFileSystem::ListFolderIn(const HeldFolder* parent,
                                                    const std::string& path) {
    const Result<int> fd = OpenFolderIn(parent, path, O_RDONLY);
    if (!fd) {
        return fd.failure();
    }
    return ListOpenFolder(*fd, path);
}

Result<FolderListing> PosixFileSystem::ListFolderAgainIn(const HeldFolder* parent,
                                                         const std::string& path,
                                                         FolderListing earlier) {
    // Held only to reach its items, the folder needs no descriptor that can read it.
    const Result<int> opened = OpenFolderIn(parent, path, O_PATH);
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
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        listing.identity = IdentityOfStatus(status);
        const FolderState state = StateOfStatus(status);
        if (std::max(state.modified, state.changed) < now - settle_time_) {
            listing.state = state;
        }
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
            std::optional<EntryKind> kind = KindOfDirectoryEntry(entry->type);
            if (!kind) {
                struct stat item_status {};
                if (::fstatat(fd, entry->name, &item_status, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;  // vanished since it was listed
                }
                kind = KindOfMode(item_status.st_mode);
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

void PosixFileSystem::RemoveLeftoversIn(const HeldFolder* held, const std::string& folder) {
    int opened = -1;
    if (held != nullptr) {
        opened = ::openat(HeldFd(held), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else if (const Result<int> by_path = OpenFolder(folder, O_RDONLY)) {
        opened = *by_path;
    }
    if (opened < 0) {
        return;
    }
    const FileDescriptor fd(opened);
    alignas(DirectoryRecord) char buffer[8 * 1024];
    long filled = 0;
    while ((filled = ::syscall(SYS_getdents64, fd.get(), buffer, sizeof buffer)) > 0) {
        for (long offset = 0; offset < filled;) {
            const auto* entry = reinterpret_cast<const DirectoryRecord*>(buffer + offset);
            offset += entry->length;
            if (entry->type != DT_DIR && TemporaryName::IsLeftover(entry->name)) {
                ::unlinkat(fd.get(), entry->name, 0);
            }
        }
    }
}

std::shared_ptr<const HeldFolder> PosixFileSystem::HoldFolderIn(const HeldFolder* parent,
                                                                const std::string& path) {
    const Result<int> fd = OpenFolderIn(parent, path, O_PATH);
    return fd ? std::make_shared<PosixHeldFolder>(*fd, path) : nullptr;
}

Result<std::optional<FileStatus>> PosixFileSystem::FindFileIn(const HeldFolder* folder,
                                                              const std::string& path) {
    struct stat status {};
    int error = 0;
    if (folder != nullptr) {
        if (::fstatat(HeldFd(folder), NameIn(path), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        }
    } else if (const AnchoredPath at = At(path); !at.ok()) {
        // A link where a folder should be leads nowhere the walk may go: nothing is there.
        error = at.error() == ELOOP ? ENOTDIR : at.error();
    } else if (::fstatat(at.folder(), at.name(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
    }
    if (error == ENOENT || error == ENOTDIR || (error == 0 && S_ISDIR(status.st_mode))) {
        return std::optional<FileStatus>();
    }
    if (error != 0) {
        return FailureFromErrno(error);
    }
    return std::optional<FileStatus>(FileStatus{
        KindOfMode(status.st_mode), ToFileTime(status.st_mtim),
        static_cast<std::uint64_t>(status.st_size), static_cast<std::uint64_t>(status.st_ino)});
}

std::optional<std::uint64_t> PosixFileSystem::FreeSpace(const std::string& folder) {
    const Result<int> opened = OpenFolder(folder, O_PATH);
    if (!opened) {
        return std::nullopt;
    }
    const FileDescriptor fd(*opened);
    struct statvfs space {};
    if (::fstatvfs(fd.get(), &space) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
}

FileTime PosixFileSystem::TimeStep(const std::string& folder) {
    constexpr FileTime kSecond = 1'000'000'000;
    const Result<int> opened = OpenFolder(folder, O_PATH);
    if (!opened) {
        return 1;
    }
    const FileDescriptor fd(*opened);
    struct statfs about {};
    if (::fstatfs(fd.get(), &about) != 0) {
        return 1;
    }
    switch (static_cast<unsigned long>(about.f_type)) {
        case 0x4d44:      // FAT
        case 0x2011BAB0:  // exFAT
        case 0x65735546:  // FUSE, where exFAT and FAT are mostly mounted from: as coarse
            return 2 * kSecond;
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2 and later
        case 0x517B:      // SMB
        case 0x4244:      // HFS
        case 0x482b:      // HFS+
            return kSecond;
        case 0x5346544e:  // NTFS
        case 0x7366746e:  // ntfs3
            return 100;
        default:
            return 1;
    }
}

std::string PosixFileSystem::TemporaryPathFor(const std::string& destination,
                                              const HeldFolder* staging_folder) const {
    const std::string name = TemporaryName::Next();
    if (staging_folder != nullptr) {
        return JoinPath(Held(staging_folder)->path(), name, syntax_);
    }
    const std::size_t slash = destination.find_last_of('/');
    return slash == std::string::npos ? name : destination.substr(0, slash + 1) + name;
}

Result<StagedCopy> PosixFileSystem::StageCopyIn(const HeldFolder* source_folder,
                                                const HeldFolder* staging_folder,
                                                const FileEntry& source,
                                                const std::string& destination) {
    if (source.kind == EntryKind::kSpecial) {
        return FailureFromErrno(EOPNOTSUPP);  // pipes, sockets and devices are never opened
    }
    // What is there now is pinned without being opened for reading, and examined: should it
    // have turned into a pipe or a device since it was listed, opening it could block or act.
    // A regular file is then opened through the pinned entry, so what is read is what was
    // examined, whatever its name leads to meanwhile; the copy counts only if it is unchanged
    // once it is copied.
    const AnchoredPath at = AtIn(source_folder, source.path);
    if (!at.ok()) {
        return FailureFromErrno(at.error());
    }
    const FileDescriptor pinned(::openat(at.folder(), at.name(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat examined {};
    if (!pinned.valid() || ::fstat(pinned.get(), &examined) != 0) {
        return LastError();
    }
    StagedCopy staged{{}, destination, -1};
    if (S_ISLNK(examined.st_mode)) {
        return StageSymlink(pinned.get(), examined, std::move(staged), staging_folder);
    }
    if (!S_ISREG(examined.st_mode)) {
        return FailureFromErrno(EOPNOTSUPP);
    }
    constexpr int kRead = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int opened = ::openat(DescriptorFolder(), DescriptorName(pinned.get()).data(), kRead);
    if (opened < 0 && (errno == ENOENT || errno == EBADF)) {
        // Without /proc, by name; the check after the copy still refuses another file.
        opened = ::openat(at.folder(), at.name(), kRead | O_NOFOLLOW);
    }
    const FileDescriptor in(opened);
    if (!in.valid()) {
        return LastError();
    }
    staged.bytes = static_cast<std::uint64_t>(examined.st_size);
    return StageRegularFile(in.get(), examined, std::move(staged), staging_folder);
}

Result<StagedCopy> PosixFileSystem::StageSymlink(int link, const struct stat& source,
                                                 StagedCopy staged,
                                                 const HeldFolder* destination_folder) {
    std::string target(static_cast<std::size_t>(source.st_size) + 1, '\0');
    const ssize_t length = ::readlinkat(link, "", target.data(), target.size());
    if (length < 0) {
        return LastError();
    }
    target.resize(static_cast<std::size_t>(length));
    staged.temporary_path = TemporaryPathFor(staged.destination, destination_folder);
    const AnchoredPath to = At(staged.temporary_path);
    if (!to.ok()) {
        return FailureFromErrno(to.error());
    }
    if (::symlinkat(target.c_str(), to.folder(), to.name()) != 0) {
        return LastError();
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::utimensat(to.folder(), to.name(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        const Failure failure = LastError();
        ::unlinkat(to.folder(), to.name(), 0);
        return failure;
    }
    return staged;
}

Result<StagedCopy> PosixFileSystem::StageRegularFile(int in, const struct stat& source,
                                                     StagedCopy staged,
                                                     const HeldFolder* destination_folder) {
    // An unnamed file in the destination folder needs no cleaning up if the program dies
    // before it is put in place; where the file system has none, a hidden name serves.
    constexpr int kUnnamed = O_TMPFILE | O_WRONLY | O_CLOEXEC;
    // Made with the source's bits where they stay as given, the copy needs no change of mode
    // afterwards: one call less for each file.
    const mode_t bits = source.st_mode & 07777;
    const bool final_bits = destination_folder != nullptr && umask_ &&
                            (bits & (S_ISUID | S_ISGID | S_ISVTX | *umask_)) == 0 &&
                            Held(destination_folder)->KeepsGivenBits();
    int unnamed = -1;
    if (destination_folder != nullptr) {
        unnamed = ::openat(HeldFd(destination_folder), ".", kUnnamed, final_bits ? bits : 0600);
    } else if (const AnchoredPath folder = At(ParentOf(staged.destination)); folder.ok()) {
        unnamed = ::openat(folder.folder(), folder.name(), kUnnamed | NoFollowFlag(folder), 0600);
    } else {
        return FailureFromErrno(folder.error());
    }
    if (unnamed >= 0) {
        if (Status written = CopyRegularFileInto(in, source, unnamed, final_bits); !written) {
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
    const AnchoredPath at = At(staged.temporary_path);
    FileDescriptor out(at.ok()
                           ? ::openat(at.folder(), at.name(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                           : -1);
    if (!out.valid()) {
        return FailureFromErrno(at.ok() ? errno : at.error());
    }
    Status written = CopyRegularFileInto(in, source, out.get(), /*has_bits=*/false);
    if (written) {
        if (const int error = out.Close(); error != 0) {
            written = FailureFromErrno(error);
        }
    }
    if (!written) {
        ::unlinkat(at.folder(), at.name(), 0);
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

Status PosixFileSystem::Rename(const AnchoredPath& from, const AnchoredPath& to,
                               bool overwrite) const {
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
    // Without a rename that refuses a taken name, a hard link refuses it just the same.
    if (::linkat(from.folder(), from.name(), to.folder(), to.name(), 0) == 0) {
        ::unlinkat(from.folder(), from.name(), 0);
        return Status::Ok();
    }
    if (!Unsupported(errno)) {
        return LastError();
    }
    // Nor hard links (exFAT through FUSE, say): the name must be free just before the rename.
    struct stat taken {};
    if (::fstatat(to.folder(), to.name(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        return FailureFromErrno(EEXIST);
    }
    if (errno != ENOENT) {
        return LastError();
    }
    if (::renameat(from.folder(), from.name(), to.folder(), to.name()) != 0) {
        return LastError();
    }
    return Status::Ok();
}

Status PosixFileSystem::LinkUnnamed(int file, const AnchoredPath& to) const {
    if (!to.ok()) {
        return FailureFromErrno(to.error());
    }
    if (::linkat(file, "", to.folder(), to.name(), AT_EMPTY_PATH) == 0) {
        return Status::Ok();
    }
    if (errno != ENOENT && errno != EPERM) {
        return LastError();
    }
    // Without the privilege to link a descriptor directly, its entry under /proc does the same.
    if (::linkat(DescriptorFolder(), DescriptorName(file).data(), to.folder(), to.name(),
                 AT_SYMLINK_FOLLOW) != 0) {
        return LastError();
    }
    return Status::Ok();
}

void PosixFileSystem::Unlink(const std::string& path) const {
    const AnchoredPath at = At(path);
    if (at.ok()) {
        ::unlinkat(at.folder(), at.name(), 0);
    }
}

Status PosixFileSystem::CommitCopyIn(const HeldFolder* folder, const StagedCopy& staged,
                                     bool overwrite) {
    const AnchoredPath to = AtIn(folder, staged.destination);
    if (staged.unnamed_file < 0) {
        return Rename(At(staged.temporary_path), to, overwrite);
    }
    if (!overwrite) {
        // Linking fails on a taken name, which is what a copy without overwrite needs.
        Status linked = LinkUnnamed(staged.unnamed_file, to);
        if (linked) {
            ::close(staged.unnamed_file);
        }
        return linked;
    }
    const std::string temporary = TemporaryPathFor(staged.destination);
    const AnchoredPath temporary_at = AtIn(folder, temporary);
    if (Status linked = LinkUnnamed(staged.unnamed_file, temporary_at); !linked) {
        return linked;
    }
    // Held open across the rename, the replaced file is freed when this is closed, on the
    // closer's thread rather than in the rename.
    const int replaced =
        to.ok() ? ::openat(to.folder(), to.name(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
    Status renamed = Rename(temporary_at, to, /*overwrite=*/true);
    if (replaced >= 0) {
        replaced_files_.Close(replaced);
    }
    if (!renamed) {
        ::unlinkat(temporary_at.folder(), temporary_at.name(), 0);
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

Status PosixFileSystem::CheckDeletableIn(const HeldFolder* folder, const std::string& path) {
    // Removing a directory entry needs write and search permission on its folder; the
    // file's own permission bits do not matter, so read-only files can be replaced.
    const AnchoredPath at =
        folder != nullptr ? AnchoredPath(HeldFd(folder), ".") : At(ParentOf(path));
    if (!at.ok()) {
        return FailureFromErrno(at.error());
    }
    if (::faccessat(at.folder(), at.name(), W_OK | X_OK, AT_EACCESS | NoFollowAtFlag(at)) != 0) {
        return LastError();
    }
    return Status::Ok();
}

Status PosixFileSystem::CreateFolderIn(const HeldFolder* parent, const std::string& path) {
    const AnchoredPath at = AtIn(parent, path);
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
    struct stat status {};
    if (!resolved || ::stat(resolved.get(), &status) != 0 || !S_ISDIR(status.st_mode)) {
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

namespace {

/// Where a file's content lives: the path itself, or the end of the chain of links it starts.
std::string ContentPathOf(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
        if (length < 0) {
            break;  // not a link, or nothing there yet
        }
        const std::string next(target, static_cast<std::size_t>(length));
        current = next.starts_with('/') ? next : ParentOf(current) + "/" + next;
    }
    return current;
}

}  // namespace

Status PosixFileSystem::WriteTextFile(const std::string& path, const std::string& text) {
    // A link (settings kept in a dotfiles folder, say) stays a link: what it leads to is
    // replaced, beside itself, keeping its mode.
    const std::string target = ContentPathOf(path);
    struct stat replaced {};
    const bool replacing = ::stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);
    const std::string temporary = TemporaryPathFor(target);
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
    if (replacing && ::fchmod(out.get(), replaced.st_mode & 07777) != 0) {
        return fail(errno);
    }
    // The program's own files must survive a crash whole: flush before the rename.
    if (::fsync(out.get()) != 0) {
        return fail(errno);
    }
    if (const int error = out.Close(); error != 0) {
        return fail(error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    return Status::Ok();
}

}  // namespace tidemark
