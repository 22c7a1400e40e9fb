#include "bench/tree_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bench/split_mix64.h"

namespace tidemark::bench {

namespace {
constexpr const char* kExtensions[] = {".c", ".h", ".cpp", ".txt", ".md", ".json", ".py", ".rs"};
constexpr std::int64_t kLargestFile = 8 << 20;
constexpr std::int64_t kBaseTime = 1'600'000'000;

bool Fail(const std::string& what) {
    std::perror(what.c_str());
    return false;
}

bool WriteContent(const std::string& path, std::int64_t size, SplitMix64& random) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return Fail(path);
    std::vector<char> block(static_cast<std::size_t>(std::min<std::int64_t>(size, 64 * 1024)));
    for (char& c : block)
        c = static_cast<char>('a' + random.Below(26));
    for (std::int64_t written = 0; written < size;) {
        const auto chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(size - written, static_cast<std::int64_t>(block.size())));
        if (::write(fd, block.data(), chunk) != static_cast<ssize_t>(chunk)) {
            ::close(fd);
            return Fail(path);
        }
        written += static_cast<std::int64_t>(chunk);
    }
    return ::close(fd) == 0 || Fail(path);
}

void SetTime(const std::string& path, std::int64_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

bool MakeTree(const std::string& root, const TreeOptions& options) {
    if (::mkdir(root.c_str(), 0755) != 0)
        return Fail(root);
    SplitMix64 random(options.seed);

    struct Folder {
        std::string path;
        int depth;
    };
    std::vector<Folder> folders{{root, 0}};
    for (std::int64_t i = 0; i < options.folders; ++i) {
        // Prefer recent folders as parents, so that the tree gets deep as well as wide.
        Folder parent = folders[static_cast<std::size_t>(
            random.Below(static_cast<std::int64_t>(folders.size())))];
        while (parent.depth >= options.depth) {
            parent = folders[static_cast<std::size_t>(
                random.Below(static_cast<std::int64_t>(folders.size())))];
        }
        char name[32];
        std::snprintf(name, sizeof name, "dir%05lld", static_cast<long long>(i));
        Folder folder{parent.path + "/" + name, parent.depth + 1};
        if (::mkdir(folder.path.c_str(), 0755) != 0)
            return Fail(folder.path);
        folders.push_back(std::move(folder));
    }

    std::string previous_file;
    for (std::int64_t i = 0; i < options.files; ++i) {
        const Folder& folder = folders[static_cast<std::size_t>(
            random.Below(static_cast<std::int64_t>(folders.size())))];
        const bool hidden = random.Uniform() < options.hidden_fraction;
        const bool link = !previous_file.empty() && random.Uniform() < options.link_fraction;
        char name[48];
        std::snprintf(name, sizeof name, "%sfile%06lld%s", hidden ? "." : "",
                      static_cast<long long>(i), kExtensions[random.Below(8)]);
        const std::string path = folder.path + "/" + name;
        if (link) {
            if (::symlink(previous_file.c_str(), path.c_str()) != 0)
                return Fail(path);
        } else {
            const double size =
                static_cast<double>(options.median_size) * std::exp(1.3 * random.Normal());
            if (!WriteContent(path, std::clamp<std::int64_t>(std::llround(size), 0, kLargestFile),
                              random)) {
                return false;
            }
            previous_file = path;
        }
        SetTime(path, kBaseTime + i);
    }
    return true;
}

int TreeCommand(int argc, char** argv) {
    TreeOptions options;
    std::string root;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](auto& target) {
            if (value == nullptr)
                return false;
            target = static_cast<std::remove_reference_t<decltype(target)>>(std::atof(value));
            ++i;
            return true;
        };
        bool ok = true;
        if (argument == "--files")
            ok = number(options.files);
        else if (argument == "--folders")
            ok = number(options.folders);
        else if (argument == "--depth")
            ok = number(options.depth);
        else if (argument == "--seed")
            ok = number(options.seed);
        else if (argument == "--median-size")
            ok = number(options.median_size);
        else if (argument == "--hidden-fraction")
            ok = number(options.hidden_fraction);
        else if (argument == "--link-fraction")
            ok = number(options.link_fraction);
        else if (argument.starts_with("--"))
            ok = false;
        else
            root = argument;
        if (!ok) {
            std::fprintf(stderr, "tidemark-bench tree: bad option %s\n", argv[i]);
            return 2;
        }
    }
    if (root.empty() || options.files < 0 || options.folders < 0 || options.depth < 1) {
        std::fprintf(stderr,
                     "usage: tidemark-bench tree [--files N] [--folders N] [--depth N] "
                     "[--seed N] [--median-size BYTES] [--hidden-fraction F] "
                     "[--link-fraction F] ROOT\n");
        return 2;
    }
    return MakeTree(root, options) ? 0 : 1;
}

}  // namespace tidemark::bench
