#pragma once

#include <string>

namespace tidemark {

/// A path as an open folder and a name inside it, so that system calls work on paths of any
/// length. A path within the system's limit stays as it is; a longer one is reached by opening
/// its folders one at a time, each relative to the one before.
class AnchoredPath {
  public:
    explicit AnchoredPath(const std::string& path);
    ~AnchoredPath();
    AnchoredPath(const AnchoredPath&) = delete;
    AnchoredPath& operator=(const AnchoredPath&) = delete;

    /// False when a folder on the way could not be opened; error() then says why.
    bool ok() const { return error_ == 0; }
    int error() const { return error_; }
    /// The folder to pass as the "at" descriptor (AT_FDCWD for a short path).
    int folder() const { return folder_; }
    /// The name to pass with it.
    const char* name() const { return name_.c_str(); }

  private:
    int folder_;
    bool owns_folder_ = false;
    std::string name_;
    int error_ = 0;
};

}  // namespace tidemark
