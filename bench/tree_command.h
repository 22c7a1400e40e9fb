#pragma once

#include <cstdint>
#include <string>

namespace tidemark::bench {

/// The shape of a generated test tree. The same options always give the same tree: names,
/// sizes, contents and times.
struct TreeOptions {
    std::int64_t files = 50'000;
    std::int64_t folders = 2'500;
    int depth = 6;
    std::uint64_t seed = 1;
    /// Median file size; sizes spread like a source-code tree: mostly a few KiB, a few large.
    std::int64_t median_size = 4'096;
    double hidden_fraction = 0.02;
    double link_fraction = 0.01;
};

/// Writes the tree into `root`, which must not exist yet. Returns false with a message on
/// standard error when it cannot.
bool MakeTree(const std::string& root, const TreeOptions& options);

/// `tidemark-bench tree [--files N] [--folders N] [--depth N] [--seed N] [--median-size BYTES]
/// [--hidden-fraction F] [--link-fraction F] ROOT`.
int TreeCommand(int argc, char** argv);

}  // namespace tidemark::bench
