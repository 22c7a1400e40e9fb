// tidemark-bench: the synchronization engine without a window, for scripts and benchmarks.
#include <cstdio>
#include <string_view>

#include "bench/compare_command.h"
#include "bench/run_command.h"
#include "bench/tree_command.h"

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "run") {
        return tidemark::bench::RunCommand(argc - 2, argv + 2);
    }
    if (command == "tree") {
        return tidemark::bench::TreeCommand(argc - 2, argv + 2);
    }
    if (command == "compare") {
        return tidemark::bench::CompareCommand(argc - 2, argv + 2);
    }
    std::fprintf(stderr,
                 "usage: tidemark-bench run [options] SOURCE DESTINATION\n"
                 "       tidemark-bench tree [options] ROOT\n"
                 "       tidemark-bench compare [options]\n");
    return 2;
}
