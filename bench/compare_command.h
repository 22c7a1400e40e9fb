#pragma once

namespace tidemark::bench {

/// `tidemark-bench compare [--files N] [--runs N] [--work DIR] [--source DIR] [--keep]`: times
/// Tidemark headless and through its window against rsync (and cp for the initial copy) on the
/// same tree in one run, taking turns, and prints the medians and their ratios. The tree is
/// the kernel source of Debian's linux-source package when that is installed, a generated tree
/// of 80,000 files otherwise, or the given source.
int CompareCommand(int argc, char** argv);

}  // namespace tidemark::bench
