#pragma once

#include <map>
#include <string>

namespace tidemark::testing {

/// A fresh folder under the system's temporary folder, removed with everything in it (made
/// writable first, however deep) when the object goes out of scope.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    std::string path_;
};

/// Small helpers for building and reading real trees in tests; WriteFile makes the folders.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
void MakeFolders(const std::string& path);
/// Removes a tree of any depth, unreadable folders included.
void RemoveTree(const std::string& root);
/// Sets the last-modified time in nanoseconds since 1970 (the link itself for a link).
void SetModified(const std::string& path, long long nanoseconds);
long long ModifiedOf(const std::string& path);
/// Every item below the folder by its path after the folder's ("/a/b.txt"): "folder", "link",
/// or a file's content and time as "content@nanoseconds". Links are not followed.
std::map<std::string, std::string> TreeOf(const std::string& root);
/// Names of the items in a folder that start with the given prefix.
int CountItemsStartingWith(const std::string& folder, const std::string& prefix);

}  // namespace tidemark::testing
