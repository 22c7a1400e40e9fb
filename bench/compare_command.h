#pragma once

namespace tidemark::bench {

/// `tidemark-bench compare [--files N] [--runs N] [--work DIR] [--source DIR]`: times
/// Tidemark against rsync on the same tree in one run, alternating the two, and prints the
/// medians and their ratios.
int CompareCommand(int argc, char** argv);

}  // namespace tidemark::bench
