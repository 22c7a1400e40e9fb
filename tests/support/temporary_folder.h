#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tidemark::testing {

/// A fresh folder under the system's temporary folder, removed with everything in it (made
/// writable first, however deep) when the object goes out of scope.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        const char* base = std::getenv("TMPDIR");
        path_ =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tidemark-test-XXXXXX";
        if (::mkdtemp(path_.data()) == nullptr)
            throw std::runtime_error("cannot make a temporary folder");
    }
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    std::string path_;
};

/// Small helpers for building and reading real trees in tests; WriteFile makes the folders.
inline void MakeFolders(const std::string& path) {
    std::filesystem::create_directories(path);
}
inline void WriteFile(const std::string& path, const std::string& content) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << content))
        throw std::runtime_error("cannot write " + path);
}
inline std::string ReadFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}
/// Removes a tree of any depth, unreadable folders included. Tests make folders unreadable; rm
/// works its way down through open folders, so no path is too long for it.
inline void RemoveTree(const std::string& root) {
    (void)std::system(("chmod -R u+rwx '" + root + "' 2>/dev/null; rm -rf '" + root + "'").c_str());
}
inline TemporaryFolder::~TemporaryFolder() {
    RemoveTree(path_);
}
/// Runs the shell command once this process has ended, however it ends (killed at a time limit
/// too), from a process outside its tree, which a runner that kills the tree leaves alone: for
/// unmounting what a test mounted and removing its folder.
inline void RunWhenThisProcessEnds(const std::string& command) {
    const std::string pid = std::to_string(::getpid());
    (void)std::system(("setsid sh -c 'while kill -0 " + pid + "; do sleep 0.2; done; " + command +
                       "' >/dev/null 2>&1 &")
                          .c_str());
}
/// Sets the last-modified time in nanoseconds since 1970 (the link itself for a link).
inline void SetModified(const std::string& path, long long nanoseconds) {
    const timespec times[2] = {{nanoseconds / 1'000'000'000, nanoseconds % 1'000'000'000},
                               {nanoseconds / 1'000'000'000, nanoseconds % 1'000'000'000}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}
inline long long ModifiedOf(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) != 0
               ? -1
               : status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec;
}
/// Every item below the folder by its path after the folder's ("/a/b.txt"): "folder", "link",
/// or a file's content and time as "content@nanoseconds". Links are not followed.
inline std::map<std::string, std::string> TreeOf(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string path = item.path().string();
        tree[path.substr(root.size())] =
            item.is_symlink()     ? "link"
            : item.is_directory() ? "folder"
                                  : ReadFile(path) + "@" + std::to_string(ModifiedOf(path));
    }
    return tree;
}
/// Names of the items in a folder that start with the given prefix.
inline int CountItemsStartingWith(const std::string& folder, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        std::filesystem::directory_iterator(folder), {},
        [&](const auto& entry) { return entry.path().filename().string().starts_with(prefix); }));
}

}  // namespace tidemark::testing
