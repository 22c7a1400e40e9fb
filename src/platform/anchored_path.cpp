#include "platform/anchored_path.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace tidemark {

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

/// The part of `path` below `root`, or nullopt when the path is not at or below it.
std::optional<std::string> Below(const std::string& path, const std::string& root) {
    if (root == "/") {
        return path.starts_with('/') ? std::optional(WithoutTrailingSeparators(path.substr(1)))
                                     : std::nullopt;
    }
    if (!path.starts_with(root) || (path.size() > root.size() && path[root.size()] != '/')) {
        return std::nullopt;
    }
    std::string relative = path.substr(std::min(path.size(), root.size() + 1));
    while (!relative.empty() && relative.back() == '/') {
        relative.pop_back();
    }
    return relative;
}

}  // namespace

AnchoredRoots::AnchoredRoots(const std::vector<std::string>& roots) {
    for (const std::string& root : roots) {
        const std::string path = WithoutTrailingSeparators(root);
        roots_.push_back(Root{path, ::open(path.c_str(), kFolderFlags)});
    }
}

AnchoredRoots::~AnchoredRoots() {
    for (const Root& root : roots_) {
        if (root.fd >= 0) {
            ::close(root.fd);
        }
    }
}

AnchoredPath::AnchoredPath(const std::string& path, std::shared_ptr<const AnchoredRoots> roots)
    : folder_(AT_FDCWD), name_(path) {
    const AnchoredRoots::Root* root = nullptr;
    std::string relative;
    if (roots != nullptr) {
        for (const AnchoredRoots::Root& candidate : roots->roots_) {
            // The innermost root decides: a destination inside the source is its own root.
            if (root != nullptr && candidate.path.size() <= root->path.size()) {
                continue;
            }
            if (auto below = Below(path, candidate.path)) {
                root = &candidate;
                relative = std::move(*below);
            }
        }
    }
    if (root == nullptr) {
        if (path.size() >= PATH_MAX) {
            const std::size_t last_slash = path.find_last_of('/');
            name_ = path.substr(last_slash + 1);
            OpenStepByStep(AT_FDCWD,
                           last_slash == 0 ? std::string("/") : path.substr(0, last_slash), true);
        }
        return;
    }
    roots_ = std::move(roots);
    if (root->fd < 0) {
        error_ = ENOENT;
        return;
    }
    folder_ = root->fd;
    const std::size_t last_slash = relative.find_last_of('/');
    if (relative.empty()) {
        name_.assign(1, '.');  // not = ".", which GCC 12 warns about wrongly at -O3
    } else if (last_slash == std::string::npos) {
        name_ = relative;
    } else {
        name_ = relative.substr(last_slash + 1);
        ResolveBeneath(root->fd, relative.substr(0, last_slash));
    }
}

AnchoredPath::~AnchoredPath() {
    if (owns_folder_) {
        ::close(folder_);
    }
}

void AnchoredPath::ResolveBeneath(int root_fd, const std::string& relative_folder) {
    open_how how{};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
    const long fd = ::syscall(SYS_openat2, root_fd, relative_folder.c_str(), &how, sizeof how);
    if (fd >= 0) {
        folder_ = static_cast<int>(fd);
        owns_folder_ = true;
        return;
    }
    // Kernels or sandboxes without openat2, and folders too long for one call, are resolved
    // one level at a time, which refuses links just the same.
    if (errno == ENOSYS || errno == EPERM || errno == E2BIG || errno == EINVAL ||
        errno == ENAMETOOLONG || errno == EAGAIN) {
        OpenStepByStep(root_fd, relative_folder, false);
        return;
    }
    error_ = errno;
}

void AnchoredPath::OpenStepByStep(int start, const std::string& folders, bool follow_links) {
    int current = start;
    bool owns_current = false;
    std::size_t begin = 0;
    if (folders.starts_with('/')) {
        current = ::open("/", kFolderFlags);
        if (current < 0) {
            error_ = errno;
            return;
        }
        owns_current = true;
        begin = 1;
    }
    while (begin <= folders.size()) {
        std::size_t end = folders.find('/', begin);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string component = folders.substr(begin, end - begin);
        begin = end + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        if (!follow_links && component == "..") {
            error_ = EXDEV;  // never above the root
            break;
        }
        const int next =
            ::openat(current, component.c_str(), kFolderFlags | (follow_links ? 0 : O_NOFOLLOW));
        if (next < 0) {
            error_ = errno;
            break;
        }
        if (owns_current) {
            ::close(current);
        }
        current = next;
        owns_current = true;
    }
    if (error_ != 0) {
        if (owns_current) {
            ::close(current);
        }
        return;
    }
    folder_ = current;
    owns_folder_ = owns_current;
}

int OpenAnchored(const std::string& path, int flags, std::shared_ptr<const AnchoredRoots> roots) {
    const AnchoredRoots::Root* root = nullptr;
    std::string relative;
    if (roots != nullptr) {
        for (const AnchoredRoots::Root& candidate : roots->roots_) {
            if (root != nullptr && candidate.path.size() <= root->path.size()) {
                continue;  // the innermost root decides
            }
            if (auto below = Below(path, candidate.path)) {
                root = &candidate;
                relative = std::move(*below);
            }
        }
    }
    if (root != nullptr && root->fd >= 0 && !relative.empty()) {
        // One call resolves the whole path below the root, refusing every link on the way.
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        const long fd = ::syscall(SYS_openat2, root->fd, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM && errno != E2BIG &&
                        errno != ENAMETOOLONG && errno != EAGAIN)) {
            return static_cast<int>(fd);
        }
    }
    const AnchoredPath at(path, std::move(roots));
    if (!at.ok()) {
        errno = at.error();
        return -1;
    }
    return ::openat(at.folder(), at.name(),
                    flags | O_CLOEXEC | (at.beneath_root() ? O_NOFOLLOW : 0));
}

void RootAnchoring::Set(std::shared_ptr<const AnchoredRoots> roots) {
    MutexLock lock(mutex_);
    roots_ = std::move(roots);
}

std::shared_ptr<const AnchoredRoots> RootAnchoring::Get() const {
    MutexLock lock(mutex_);
    return roots_;
}

}  // namespace tidemark
