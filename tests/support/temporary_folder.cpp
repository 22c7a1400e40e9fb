#include "tests/support/temporary_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tidemark::testing {

TemporaryFolder::TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tidemark-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& root) {
    // Tests make folders unreadable; rm works its way down through open folders, so no path is
    // too long for it.
    (void)std::system(("chmod -R u+rwx '" + root + "' 2>/dev/null; rm -rf '" + root + "'").c_str());
}

void WriteFile(const std::string& path, const std::string& content) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void MakeFolders(const std::string& path) {
    std::filesystem::create_directories(path);
}

void SetModified(const std::string& path, long long nanoseconds) {
    const timespec time = {nanoseconds / 1'000'000'000, nanoseconds % 1'000'000'000};
    const timespec times[2] = {time, time};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}

long long ModifiedOf(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return -1;
    return static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
}

std::map<std::string, std::string> TreeOf(const std::string& root) {
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

int CountItemsStartingWith(const std::string& folder, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        std::filesystem::directory_iterator(folder), {},
        [&](const auto& entry) { return entry.path().filename().string().starts_with(prefix); }));
}

}  // namespace tidemark::testing
