#include "tests/apparatus/tree_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <tuple>

namespace tidemark::testing {

namespace {

using Kind = ItemState::Kind;

/// Adds the 8-byte words of `data`, found at byte `offset` of the file (a multiple of 8). Zero
/// words add nothing, so a hole digests like written zeros.
void AddWords(std::uint64_t& digest, const char* data, std::size_t length, std::uint64_t offset) {
    for (std::size_t i = 0; i < length; i += 8) {
        std::uint64_t z = 0;
        std::memcpy(&z, data + i, std::min<std::size_t>(8, length - i));
        if (z == 0)
            continue;
        z ^= (offset + i) / 8 * 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        digest += z ^ (z >> 31);
    }
}

/// Digests the file's data and skips its holes, so that sparse files of gigabytes are quick.
bool DigestFile(int fd, std::uint64_t size, std::uint64_t& digest) {
    thread_local std::vector<char> buffer(1 << 20);
    for (std::uint64_t at = 0; at < size;) {
        const off_t data = ::lseek(fd, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0)
            return errno == ENXIO;
        const auto end = std::min(size, static_cast<std::uint64_t>(::lseek(fd, data, SEEK_HOLE)));
        for (auto pos = static_cast<std::uint64_t>(data) & ~std::uint64_t{7}; pos < end;) {
            const ssize_t n =
                ::pread(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), end - pos),
                        static_cast<off_t>(pos));
            if (n <= 0)
                return false;
            AddWords(digest, buffer.data(), static_cast<std::size_t>(n), pos);
            pos += static_cast<std::uint64_t>(n);
        }
        at = std::max(end, static_cast<std::uint64_t>(data) + 1);
    }
    return true;
}

/// Every item below an open folder; its listing is read and closed before anything below it is
/// opened, so that deep trees hold one descriptor per level.
bool SnapshotFolder(int folder, const std::string& prefix, TreeSnapshot& snapshot) {
    DIR* listing = ::fdopendir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing == nullptr)
        return false;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing))
        names.emplace_back(entry->d_name);
    ::closedir(listing);
    for (const std::string& name : names) {
        struct stat status {};
        if (name == "." || name == ".." ||
            ::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        ItemState& item = snapshot[prefix + name];
        item.kind = S_ISREG(status.st_mode)   ? Kind::kFile
                    : S_ISDIR(status.st_mode) ? Kind::kFolder
                    : S_ISLNK(status.st_mode) ? Kind::kLink
                                              : Kind::kSpecial;
        item.mode = status.st_mode & 07777;
        item.modified = status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec;
        item.size = static_cast<std::uint64_t>(status.st_size);
        item.allocated = static_cast<std::uint64_t>(status.st_blocks) * 512;
        if (item.kind == Kind::kLink) {
            std::string target(item.size, '\0');
            item.readable = ::readlinkat(folder, name.c_str(), target.data(), item.size) ==
                            static_cast<ssize_t>(item.size);
            AddWords(item.digest, target.data(), target.size(), 0);
        } else if (item.kind != Kind::kSpecial) {
            const bool is_folder = item.kind == Kind::kFolder;
            const int fd = ::openat(folder, name.c_str(),
                                    (is_folder ? O_PATH | O_DIRECTORY : O_RDONLY | O_NONBLOCK) |
                                        O_NOFOLLOW | O_CLOEXEC);
            item.readable =
                fd >= 0 && (is_folder ? SnapshotFolder(fd, prefix + name + "/", snapshot)
                                      : DigestFile(fd, item.size, item.digest));
            if (fd >= 0)
                ::close(fd);
        }
    }
    return true;
}

std::string Describe(const ItemState* item) {
    static constexpr const char* kKinds[] = {"file", "folder", "link", "special"};
    if (item == nullptr)
        return "nothing";
    return std::string(kKinds[static_cast<int>(item->kind)]) + " of " + std::to_string(item->size) +
           " bytes, mode " + std::to_string(item->mode) + ", time " +
           std::to_string(item->modified) + ", digest " + std::to_string(item->digest) +
           (item->readable ? "" : ", unreadable");
}

}  // namespace

void ReportLossTable(const LossTally& tally) {
    std::printf("%-34s %11s %14s %10s %6s %8s\n", "suite", "cases tried", "files compared",
                "bytes lost", "hangs", "crashes");
    char row[256];
    std::snprintf(row, sizeof row, "%-34s %11lld %14lld %10lld %6lld %8lld\n", tally.suite.c_str(),
                  tally.cases, tally.files_compared, tally.bytes_lost, tally.hangs, tally.crashes);
    std::fputs(row, stdout);
    std::fflush(stdout);
    const char* file = std::getenv("TIDEMARK_LOSS_TABLE");
    if (std::FILE* out = file != nullptr && *file != '\0' ? std::fopen(file, "a") : nullptr) {
        std::fputs(row, out);
        std::fclose(out);
    }
}

TreeSnapshot SnapshotTree(const std::string& root) {
    TreeSnapshot snapshot;
    const int folder = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const bool listed = folder >= 0 && SnapshotFolder(folder, "", snapshot);
    if (folder >= 0)
        ::close(folder);
    if (!listed)
        throw std::runtime_error(root + " cannot be listed");
    return snapshot;
}

bool SmallScale() {
    const char* scale = std::getenv("TIDEMARK_CHECK_SCALE");
    return scale != nullptr && std::string(scale) == "small";
}

std::vector<std::string> CheckDestination(const TreeSnapshot& source, const TreeSnapshot& previous,
                                          const TreeSnapshot& now, const DueItem& due,
                                          bool interrupted, LossTally& tally) {
    std::set<std::string> paths;
    for (const TreeSnapshot* tree : {&source, &previous, &now})
        for (const auto& entry : *tree)
            paths.insert(entry.first);
    std::vector<std::string> problems;
    for (const std::string& path : paths) {
        const auto find = [&](const TreeSnapshot& tree) -> const ItemState* {
            const auto found = tree.find(path);
            return found == tree.end() ? nullptr : &found->second;
        };
        const ItemState* from_source = find(source);
        const ItemState* before = find(previous);
        const ItemState* after = find(now);
        const ItemState* wanted = due(path, from_source, before);
        const auto is_folder = [](const ItemState* item) {
            return item != nullptr && item->kind == Kind::kFolder;
        };
        // Folders by kind; links always have the same permission bits.
        const auto holds = [&](const ItemState* item) {
            if (item == nullptr || after == nullptr)
                return item == after;
            return item->kind == after->kind &&
                   (is_folder(item) ||
                    std::tie(item->size, item->digest, item->readable, item->modified,
                             item->mode) == std::tie(after->size, after->digest, after->readable,
                                                     after->modified, after->mode));
        };
        tally.files_compared += is_folder(wanted) || is_folder(after) ? 0 : 1;
        if (holds(wanted) || (interrupted && holds(before)))
            continue;
        problems.push_back(path + " holds " + Describe(after) + ", due " + Describe(wanted));
        const bool copied = after != nullptr && from_source != nullptr && holds(from_source);
        if (before != nullptr && !is_folder(before))
            tally.bytes_lost += copied || (after != nullptr && holds(before)) ? 0 : before->size;
        else if (after != nullptr && !is_folder(after) && !copied)
            tally.bytes_lost += static_cast<std::int64_t>(after->size);
    }
    return problems;
}

}  // namespace tidemark::testing
