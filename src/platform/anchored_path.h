#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/thread_safety.h"

namespace tidemark {

class AnchoredRoots;
int OpenAnchored(const std::string& path, int flags, std::shared_ptr<const AnchoredRoots> roots);

/// The folders a pass works below, each opened once with its links resolved (the user chose
/// them). Below them no link is ever followed. Closed when the last path using them is done.
class AnchoredRoots {
  public:
    explicit AnchoredRoots(const std::vector<std::string>& roots);
    ~AnchoredRoots();
    AnchoredRoots(const AnchoredRoots&) = delete;
    AnchoredRoots& operator=(const AnchoredRoots&) = delete;

  private:
    friend class AnchoredPath;
    friend int OpenAnchored(const std::string& path, int flags,
                            std::shared_ptr<const AnchoredRoots> roots);
    struct Root {
        std::string path;  // without a trailing separator, but "/" for the file system's root
        int fd;            // -1 for a root that could not be opened: nothing below it resolves
    };
    std::vector<Root> roots_;
};

/// A path as an open folder and a name inside it, for the *at system calls. At or below an
/// anchored root, the path is resolved from the root's descriptor without following any link
/// (a link where a folder is needed is an error, ELOOP or ENOTDIR), and callers must not follow
/// one in the name either (beneath_root()). Elsewhere the path is resolved as the system
/// resolves it. Works for paths of any length: one beyond the system's limit is reached by
/// opening its folders one at a time.
class AnchoredPath {
  public:
    explicit AnchoredPath(const std::string& path,
                          std::shared_ptr<const AnchoredRoots> roots = nullptr);
    /// The item `name` of a folder held open below an anchored root.
    AnchoredPath(int folder, std::string name)
        : resolved_(false), folder_(folder), name_(std::move(name)) {}
    ~AnchoredPath();
    AnchoredPath(const AnchoredPath&) = delete;
    AnchoredPath& operator=(const AnchoredPath&) = delete;

    /// False when a folder on the way could not be opened; error() then says why.
    bool ok() const { return error_ == 0; }
    int error() const { return error_; }
    /// The folder to pass as the "at" descriptor.
    int folder() const { return folder_; }
    /// The name to pass with it: "." for an anchored root itself.
    const char* name() const { return name_.c_str(); }
    /// True at or below an anchored root.
    bool beneath_root() const { return roots_ != nullptr || !resolved_; }

    friend int OpenAnchored(const std::string& path, int flags,
                            std::shared_ptr<const AnchoredRoots> roots);

  private:
    void ResolveBeneath(int root_fd, const std::string& relative_folder);
    void OpenStepByStep(int start, const std::string& folders, bool follow_links);

    std::shared_ptr<const AnchoredRoots> roots_;  // keeps the root descriptors open
    bool resolved_ = true;                        // false: a held folder's item
    int folder_;
    bool owns_folder_ = false;
    std::string name_;
    int error_ = 0;
};

/// Opens the item at path with `flags` as openat() would, resolved as AnchoredPath resolves it,
/// in one system call where the kernel can: a descriptor, or -1 with errno set.
int OpenAnchored(const std::string& path, int flags, std::shared_ptr<const AnchoredRoots> roots);

/// The anchored roots of the pass under way, for any thread to resolve paths with.
class RootAnchoring {
  public:
    void Set(std::shared_ptr<const AnchoredRoots> roots) TM_EXCLUDES(mutex_);
    std::shared_ptr<const AnchoredRoots> Get() const TM_EXCLUDES(mutex_);

  private:
    mutable Mutex mutex_;
    std::shared_ptr<const AnchoredRoots> roots_ TM_GUARDED_BY(mutex_);
};

}  // namespace tidemark
