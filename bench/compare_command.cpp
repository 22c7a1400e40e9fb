#include "bench/compare_command.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/tree_command.h"

namespace tidemark::bench {

namespace {

struct Measurement {
    double seconds = 0;
    long peak_kib = 0;
    int exit_code = -1;
};

/// Runs a command with its output thrown away and measures its wall time and peak memory.
Measurement Measure(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const auto stop = std::chrono::steady_clock::now();
    return Measurement{std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss,
                       WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void ResetFolder(const std::string& path) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

/// Every twentieth regular file of the tree: the files "touched" by the update scenario.
std::vector<std::string> FivePercentOf(const std::string& root) {
    std::vector<std::string> files;
    std::size_t index = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && !entry.is_symlink() && index++ % 20 == 0) {
            files.push_back(entry.path().string());
        }
    }
    return files;
}

void Touch(const std::vector<std::string>& files, std::int64_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    for (const std::string& file : files)
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

struct Scenario {
    std::string name;
    std::vector<std::string> tidemark;
    std::vector<std::string> rival;
    std::string rival_name;
    bool empty_destination;  // start each run from an empty destination
    bool touch_before;       // touch 5% of the files before each run
};

}  // namespace

int CompareCommand(int argc, char** argv) {
    TreeOptions tree;
    int runs = 5;
    std::string work;
    std::string source;
    for (int i = 0; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--files")
            tree.files = std::atoll(argv[i + 1]);
        else if (option == "--runs")
            runs = std::atoi(argv[i + 1]);
        else if (option == "--work")
            work = argv[i + 1];
        else if (option == "--source")
            source = argv[i + 1];
        else {
            std::fprintf(stderr,
                         "usage: tidemark-bench compare [--files N] [--runs N] "
                         "[--work DIR] [--source DIR]\n");
            return 2;
        }
    }
    if (argc % 2 != 0 || runs < 1) {
        std::fprintf(stderr, "tidemark-bench compare: options take one value each\n");
        return 2;
    }
    tree.folders = std::max<std::int64_t>(1, tree.files / 20);
    if (work.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        work = std::string(tmp != nullptr ? tmp : "/var/tmp") + "/tidemark-compare-" +
               std::to_string(::getpid());
    }
    std::filesystem::create_directories(work);
    if (source.empty()) {
        source = work + "/src";
        std::filesystem::remove_all(source);
        std::printf("generating %lld files in %s ...\n", static_cast<long long>(tree.files),
                    source.c_str());
        std::fflush(stdout);
        if (!MakeTree(source, tree))
            return 1;
    }
    const std::string destination = work + "/dst";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    auto tidemark = [&](const char* style) {
        return std::vector<std::string>{
            self, "run",  "--style",  style, "--ignore-hidden", "0", "--ignore-system",
            "0",  source, destination};
    };
    const std::vector<std::string> rsync = {"rsync", "-a", source + "/", destination + "/"};
    const std::vector<std::string> rsync_all = {"rsync", "-a", "-I", source + "/",
                                                destination + "/"};
    const Scenario scenarios[] = {
        {"initial copy", tidemark("safe"), rsync, "rsync -a", true, false},
        {"no-op re-sync", tidemark("normal"), rsync, "rsync -a", false, false},
        {"Normal, 5% touched", tidemark("normal"), rsync, "rsync -a", false, true},
        {"Backup, all replaced", tidemark("backup"), rsync_all, "rsync -a -I", false, false},
    };

    const std::vector<std::string> touched = FivePercentOf(source);
    std::int64_t touch_time = 1'700'000'000;
    long peak_kib = 0;
    std::printf("%-22s %12s %14s %8s\n", "scenario", "tidemark", "rival", "ratio");
    for (const Scenario& scenario : scenarios) {
        ResetFolder(destination);
        if (!scenario.empty_destination) {
            Measure(rsync);  // bring the destination up to date first
        }
        std::vector<double> ours, theirs;
        for (int run = 0; run < runs; ++run) {
            // Alternate who goes first, so that neither always meets a warmer cache.
            for (int turn = 0; turn < 2; ++turn) {
                const bool our_turn = (turn == 0) == (run % 2 == 0);
                if (scenario.empty_destination)
                    ResetFolder(destination);
                if (scenario.touch_before)
                    Touch(touched, ++touch_time);
                const Measurement m = Measure(our_turn ? scenario.tidemark : scenario.rival);
                if (m.exit_code != 0) {
                    std::fprintf(stderr, "%s failed with exit code %d\n",
                                 our_turn ? "tidemark" : scenario.rival_name.c_str(), m.exit_code);
                    return 1;
                }
                (our_turn ? ours : theirs).push_back(m.seconds);
                if (our_turn)
                    peak_kib = std::max(peak_kib, m.peak_kib);
            }
        }
        const double our_median = Median(ours);
        const double their_median = Median(theirs);
        std::printf("%-22s %10.3f s %10.3f s %8.2f   (%s, median of %d)\n", scenario.name.c_str(),
                    our_median, their_median, our_median / their_median,
                    scenario.rival_name.c_str(), runs);
        std::fflush(stdout);
    }
    std::printf("tidemark peak memory: %.1f MiB\n", static_cast<double>(peak_kib) / 1024.0);
    std::filesystem::remove_all(work);
    return 0;
}

}  // namespace tidemark::bench
