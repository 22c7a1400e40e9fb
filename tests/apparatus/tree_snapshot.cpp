#include "tests/apparatus/tree_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace tidemark::testing {

namespace {

/// Adds the 8-byte words of `data`, which starts at byte `offset` of the file (a multiple of
/// 8), into the digest. Zero words add nothing, so a hole digests like written zeros.
void AddWords(std::uint64_t& digest, const unsigned char* data, std::size_t length,
              std::uint64_t offset) {
    for (std::size_t i = 0; i < length; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + i, std::min<std::size_t>(8, length - i));
        if (word == 0) {
            continue;
        }
        std::uint64_t z = word ^ ((offset + i) / 8 * 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        digest += z ^ (z >> 31);
    }
}

/// Digests `length` bytes from `offset` (a multiple of 8) on; false when reading fails.
bool DigestRange(int fd, std::uint64_t offset, std::uint64_t length, std::uint64_t& digest,
                 std::vector<unsigned char>& buffer) {
    while (length > 0) {
        const ssize_t n = ::pread(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), length),
                                  static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        AddWords(digest, buffer.data(), static_cast<std::size_t>(n), offset);
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::uint64_t>(n);
    }
    return true;
}

bool DigestFile(int fd, const struct stat& status, std::uint64_t& digest) {
    thread_local std::vector<unsigned char> buffer(1 << 20);  // a multiple of 8
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (static_cast<std::uint64_t>(status.st_blocks) * 512 >= size) {
        return DigestRange(fd, 0, size, digest, buffer);
    }
    std::uint64_t position = 0;
    while (position < size) {
        const off_t data = ::lseek(fd, static_cast<off_t>(position), SEEK_DATA);
        if (data < 0) {
            return errno == ENXIO;
        }
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0) {
            return false;
        }
        const std::uint64_t start = static_cast<std::uint64_t>(data) & ~std::uint64_t{7};
        const std::uint64_t end = std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), size);
        if (start < end && !DigestRange(fd, start, end - start, digest, buffer)) {
            return false;
        }
        position = std::max(end, position + 1);
    }
    return true;
}

ItemState::Kind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return ItemState::Kind::kFile;
    if (S_ISDIR(mode))
        return ItemState::Kind::kFolder;
    if (S_ISLNK(mode))
        return ItemState::Kind::kLink;
    return ItemState::Kind::kSpecial;
}

/// The names in a folder, read and closed before anything below it is opened, so that deep
/// trees do not hold a listing open per level.
std::optional<std::vector<std::string>> NamesIn(int folder) {
    const int listing_fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, int (*)(DIR*)> directory(
        listing_fd >= 0 ? ::fdopendir(listing_fd) : nullptr, &::closedir);
    if (!directory) {
        if (listing_fd >= 0) {
            ::close(listing_fd);
        }
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const struct dirent* entry = ::readdir(directory.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    return names;
}

void SnapshotFolder(int folder, const std::string& prefix, TreeSnapshot& snapshot,
                    ItemState& folder_state) {
    const std::optional<std::vector<std::string>> names = NamesIn(folder);
    if (!names) {
        folder_state.readable = false;
        return;
    }
    for (const std::string& name : *names) {
        struct stat status {};
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // gone since it was listed
        }
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        ItemState item;
        item.kind = KindOf(status.st_mode);
        item.mode = status.st_mode & 07777;
        item.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                        status.st_mtim.tv_nsec;
        item.size = static_cast<std::uint64_t>(status.st_size);
        item.allocated = static_cast<std::uint64_t>(status.st_blocks) * 512;
        switch (item.kind) {
            case ItemState::Kind::kFile: {
                const int fd =
                    ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
                item.readable = fd >= 0 && DigestFile(fd, status, item.digest);
                if (fd >= 0) {
                    ::close(fd);
                }
                break;
            }
            case ItemState::Kind::kLink: {
                std::string target(item.size + 1, '\0');
                const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
                item.readable = n >= 0;
                target.resize(n >= 0 ? static_cast<std::size_t>(n) : 0);
                item.link_target = target;
                item.digest = DigestOf(target);
                break;
            }
            case ItemState::Kind::kFolder: {
                const int child =
                    ::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child < 0) {
                    item.readable = false;
                    break;
                }
                SnapshotFolder(child, relative, snapshot, item);
                ::close(child);
                break;
            }
            case ItemState::Kind::kSpecial:
                break;
        }
        snapshot[relative] = item;
    }
}

bool RemoveContents(int folder) {
    ::fchmod(folder, 0700);
    const std::optional<std::vector<std::string>> names = NamesIn(folder);
    if (!names) {
        return false;
    }
    bool removed = true;
    for (const std::string& name : *names) {
        if (::unlinkat(folder, name.c_str(), 0) == 0) {
            continue;
        }
        if (errno != EISDIR) {
            removed = false;
            continue;
        }
        const int child =
            ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
            // An unreadable folder of ours: make it readable and try once more.
            ::fchmodat(folder, name.c_str(), 0700, 0);
        }
        const int retry = child >= 0 ? child
                                     : ::openat(folder, name.c_str(),
                                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (retry < 0) {
            removed = false;
            continue;
        }
        removed = RemoveContents(retry) && removed;
        ::close(retry);
        removed = ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 && removed;
    }
    return removed;
}

}  // namespace

bool ItemState::SameVersion(const ItemState& other) const {
    if (kind != other.kind || size != other.size || digest != other.digest ||
        link_target != other.link_target || readable != other.readable) {
        return false;
    }
    if ((kind == Kind::kFile || kind == Kind::kLink) && modified != other.modified) {
        return false;
    }
    return kind == Kind::kLink || kind == Kind::kSpecial || mode == other.mode;
}

std::optional<TreeSnapshot> SnapshotTree(const std::string& root, std::string* error) {
    const int folder = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        if (error != nullptr) {
            *error = root + ": " + std::strerror(errno);
        }
        return std::nullopt;
    }
    TreeSnapshot snapshot;
    ItemState root_state;
    SnapshotFolder(folder, "", snapshot, root_state);
    ::close(folder);
    if (!root_state.readable) {
        if (error != nullptr) {
            *error = root + ": cannot be listed";
        }
        return std::nullopt;
    }
    return snapshot;
}

std::uint64_t DigestOf(const std::string& content) {
    std::uint64_t digest = 0;
    AddWords(digest, reinterpret_cast<const unsigned char*>(content.data()), content.size(), 0);
    return digest;
}

bool RemoveTree(const std::string& root) {
    if (::unlink(root.c_str()) == 0) {
        return true;
    }
    ::chmod(root.c_str(), 0700);
    const int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return errno == ENOENT;
    }
    const bool emptied = RemoveContents(folder);
    ::close(folder);
    return ::rmdir(root.c_str()) == 0 && emptied;
}

std::string Describe(const ItemState& item) {
    static constexpr const char* kKinds[] = {"file", "folder", "link", "special"};
    std::string text = kKinds[static_cast<int>(item.kind)];
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, " size %llu mode %o time %lld digest %016llx",
                  static_cast<unsigned long long>(item.size), item.mode,
                  static_cast<long long>(item.modified),
                  static_cast<unsigned long long>(item.digest));
    text += numbers;
    if (item.kind == ItemState::Kind::kLink) {
        text += " -> " + item.link_target;
    }
    if (!item.readable) {
        text += " (unreadable)";
    }
    return text;
}

}  // namespace tidemark::testing
