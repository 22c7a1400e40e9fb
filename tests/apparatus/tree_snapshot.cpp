#include "tests/apparatus/tree_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tidemark::testing {

namespace {

/// Adds the 8-byte words of `data`, which starts at byte `offset` of the file (a multiple of
/// 8), into the digest. Zero words add nothing, so a hole digests like written zeros.
void AddWords(std::uint64_t& digest, const char* data, std::size_t length, std::uint64_t offset) {
    for (std::size_t i = 0; i < length; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + i, std::min<std::size_t>(8, length - i));
        if (word != 0) {
            std::uint64_t z = word ^ ((offset + i) / 8 * 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            digest += z ^ (z >> 31);
        }
    }
}

/// Digests the file's data, skipping its holes; false when reading fails.
bool DigestFile(int fd, std::uint64_t size, std::uint64_t& digest) {
    thread_local std::vector<char> buffer(1 << 20);  // a multiple of 8
    for (std::uint64_t position = 0; position < size;) {
        const off_t data = ::lseek(fd, static_cast<off_t>(position), SEEK_DATA);
        if (data < 0)
            return errno == ENXIO;
        const auto hole = static_cast<std::uint64_t>(std::max(::lseek(fd, data, SEEK_HOLE), data));
        std::uint64_t at = static_cast<std::uint64_t>(data) & ~std::uint64_t{7};
        for (const std::uint64_t end = std::min(hole, size); at < end;) {
            const ssize_t n =
                ::pread(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), end - at),
                        static_cast<off_t>(at));
            if (n <= 0)
                return false;
            AddWords(digest, buffer.data(), static_cast<std::size_t>(n), at);
            at += static_cast<std::uint64_t>(n);
        }
        position = std::max(at, position + 1);
    }
    return true;
}

/// The names in a folder, read and closed before anything below it is opened, so that deep
/// trees do not hold a listing open per level.
std::optional<std::vector<std::string>> NamesIn(int folder) {
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* directory = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (directory == nullptr) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const struct dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(directory);
    return names;
}

bool SnapshotFolder(int folder, const std::string& prefix, TreeSnapshot& snapshot) {
    const auto names = NamesIn(folder);
    for (const std::string& name : names.value_or(std::vector<std::string>{})) {
        struct stat status {};
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone since it was listed
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        ItemState item;
        item.kind = S_ISREG(status.st_mode)   ? ItemState::Kind::kFile
                    : S_ISDIR(status.st_mode) ? ItemState::Kind::kFolder
                    : S_ISLNK(status.st_mode) ? ItemState::Kind::kLink
                                              : ItemState::Kind::kSpecial;
        item.mode = status.st_mode & 07777;
        item.modified = status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec;
        item.size = static_cast<std::uint64_t>(status.st_size);
        item.allocated = static_cast<std::uint64_t>(status.st_blocks) * 512;
        const int flags = item.kind == ItemState::Kind::kFolder
                              ? O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC
                              : O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        if (item.kind == ItemState::Kind::kLink) {
            item.link_target.resize(item.size + 1);
            const ssize_t n = ::readlinkat(folder, name.c_str(), item.link_target.data(),
                                           item.link_target.size());
            item.readable = n >= 0;
            item.link_target.resize(n >= 0 ? static_cast<std::size_t>(n) : 0);
            item.digest = DigestOf(item.link_target);
        } else if (item.kind != ItemState::Kind::kSpecial) {
            const int fd = ::openat(folder, name.c_str(), flags);
            item.readable = fd >= 0 && (item.kind == ItemState::Kind::kFolder
                                            ? SnapshotFolder(fd, relative, snapshot)
                                            : DigestFile(fd, item.size, item.digest));
            if (fd >= 0)
                ::close(fd);
        }
        snapshot[relative] = item;
    }
    return names.has_value();
}

bool RemoveContents(int folder) {
    ::fchmod(folder, 0700);
    bool removed = true;
    for (const std::string& name : NamesIn(folder).value_or(std::vector<std::string>{})) {
        if (::unlinkat(folder, name.c_str(), 0) == 0)
            continue;
        ::fchmodat(folder, name.c_str(), 0700, 0);  // an unreadable folder of ours
        const int child = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        removed = child >= 0 && RemoveContents(child) && removed;
        if (child >= 0)
            ::close(child);
        removed = ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 && removed;
    }
    return removed;
}

}  // namespace

bool ItemState::SameVersion(const ItemState& other) const {
    if (kind != other.kind || size != other.size || digest != other.digest ||
        link_target != other.link_target || readable != other.readable)
        return false;
    if ((kind == Kind::kFile || kind == Kind::kLink) && modified != other.modified)
        return false;
    return kind == Kind::kLink || kind == Kind::kSpecial || mode == other.mode;
}

std::optional<TreeSnapshot> SnapshotTree(const std::string& root, std::string* error) {
    const int folder = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    TreeSnapshot snapshot;
    const bool listed = folder >= 0 && SnapshotFolder(folder, "", snapshot);
    if (folder >= 0)
        ::close(folder);
    if (!listed) {
        if (error != nullptr)
            *error = root + ": cannot be listed";
        return std::nullopt;
    }
    return snapshot;
}

std::uint64_t DigestOf(const std::string& content) {
    std::uint64_t digest = 0;
    AddWords(digest, content.data(), content.size(), 0);
    return digest;
}

bool RemoveTree(const std::string& root) {
    if (::unlink(root.c_str()) == 0)
        return true;
    ::chmod(root.c_str(), 0700);
    const int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return errno == ENOENT;
    const bool emptied = RemoveContents(folder);
    ::close(folder);
    return ::rmdir(root.c_str()) == 0 && emptied;
}

std::string Describe(const ItemState& item) {
    static constexpr const char* kKinds[] = {"file", "folder", "link", "special"};
    char text[160];
    std::snprintf(text, sizeof text, "%s size %llu mode %o time %lld digest %016llx%s",
                  kKinds[static_cast<int>(item.kind)], static_cast<unsigned long long>(item.size),
                  item.mode, static_cast<long long>(item.modified),
                  static_cast<unsigned long long>(item.digest),
                  item.readable ? "" : " (unreadable)");
    return text + (item.kind == ItemState::Kind::kLink ? " -> " + item.link_target : "");
}

}  // namespace tidemark::testing
