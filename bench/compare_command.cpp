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
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/tree_command.h"

namespace tidemark::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Measurement {
    double seconds = 0;
    long peak_kib = 0;
    bool ok = false;
};

/// Runs a command and measures its wall time and peak memory. A contender that prints
/// "clicked <steady-clock nanoseconds>" and "finished <...>" is timed between the two: the
/// window's start-up and shut-down are not part of a run.
Measurement Measure(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    int output[2];
    if (::pipe(output) != 0)
        return {};
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::close(output[0]);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(output[1]);
    // Read what it prints as it goes, so that a long results list never blocks it.
    std::string printed;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;) {
        if (printed.size() < 256)
            printed.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(output[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const auto stop = Clock::now();
    Measurement measured{std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss,
                         WIFEXITED(status) && WEXITSTATUS(status) == 0};
    auto time_of = [&](const std::string& what) -> std::optional<Clock::time_point> {
        const std::size_t at = printed.find(what + " ");
        if (at == std::string::npos)
            return std::nullopt;
        const char* digits = printed.c_str() + at + what.size() + 1;
        return Clock::time_point(std::chrono::nanoseconds(std::atoll(digits)));
    };
    const auto clicked = time_of("clicked");
    const auto finished = time_of("finished");
    if (clicked && finished)
        measured.seconds = std::chrono::duration<double>(*finished - *clicked).count();
    return measured;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

/// Every twentieth regular file of the tree: the files "touched" by the update scenario.
std::vector<std::string> FivePercentOf(const std::string& root) {
    std::vector<std::string> files;
    std::size_t index = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && !entry.is_symlink() && index++ % 20 == 0) {
            files.push_back(entry.path().string());
        }
    }
    return files;
}

/// Makes the files newer than their copies, as an edit would. Every call moves them to a later
/// whole second: rsync compares whole seconds by default, and would take a file touched within
/// the second of its last copy for unchanged.
void Touch(const std::vector<std::string>& files) {
    static std::time_t last = 0;
    last = std::max(last + 2, std::time(nullptr) + 2);
    const struct timespec times[2] = {{last, 0}, {last, 0}};
    for (const std::string& file : files)
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

/// Drops the tree's files from the page cache, keeping them on disk. The copies of earlier runs
/// would otherwise fill the memory, and every later run would wait for the kernel to reclaim
/// it: the initial copies got slower run by run, whoever made them.
void DropFromPageCache(const std::string& root) {
    ::sync();  // only written pages can be dropped
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error) || it->is_symlink(error))
            continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

/// The kernel source tarball of Debian's linux-source package, when it is installed.
std::optional<std::string> KernelTarball() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/usr/src", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("linux-source-") && name.find(".tar") != std::string::npos)
            return entry.path().string();
    }
    return std::nullopt;
}

struct TreeSize {
    long long files = 0;
    long long bytes = 0;
    long long on_disk = 0;  // the blocks of every item, folders included
};

TreeSize SizeOf(const std::string& root) {
    TreeSize size;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_directory() || entry.is_symlink()) {
            ++size.files;
            if (entry.is_regular_file() && !entry.is_symlink())
                size.bytes += static_cast<long long>(entry.file_size());
        }
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) == 0)
            size.on_disk += static_cast<long long>(status.st_blocks) * 512;
    }
    return size;
}

/// Removes the work folder however the comparison ends, unless it is to be kept.
struct WorkFolder {
    std::string path;
    bool keep;
    ~WorkFolder() {
        std::error_code ignored;
        if (!keep)
            fs::remove_all(path, ignored);
    }
};

struct Contender {
    std::string name;
    std::vector<std::string> command;  // without the destination
    std::string destination_suffix;    // "/" for rsync, "/." source for cp is in the command
};

/// The contenders of one scenario, measured in turn; the first is Tidemark headless.
struct Scenario {
    std::string name;
    std::vector<Contender> contenders;
    bool fresh_destination;  // each run writes into a new, empty folder
    bool touch_before;       // 5% of the files are made newer before each run
};

/// The order of the contenders in run `run`. What one contender leaves behind (blocks being
/// freed, say) can slow whoever comes next, so runs follow a Williams design: over `count` runs
/// (twice that for an odd count) each contender comes straight after every other one equally
/// often. A plain rotation had Tidemark follow cp in three runs of five, and its baseline never.
std::vector<std::size_t> BalancedOrder(std::size_t count, int run) {
    const auto row = static_cast<std::size_t>(count % 2 == 0 ? run : run / 2);
    std::vector<std::size_t> order;
    for (std::size_t turn = 0; turn < count; ++turn) {
        // 0, 1, n-1, 2, n-2, ...: the first differences are all different.
        const std::size_t base = turn % 2 == 1 ? (turn + 1) / 2 : (count - turn / 2) % count;
        order.push_back((base + row) % count);
    }
    if (count % 2 == 1 && run % 2 == 1)
        std::reverse(order.begin(), order.end());
    return order;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tidemark-bench compare [--files N] [--runs N] [--work DIR] "
                 "[--source DIR] [--baseline BUILD_BIN_DIR] [--only TEXT] [--keep] [--verbose]\n");
    return 2;
}

}  // namespace

int CompareCommand(int argc, char** argv) {
    TreeOptions tree;
    tree.files = 80'000;
    int runs = 5;
    std::string work;
    std::string source;
    std::string baseline;
    std::string only;  // measures only the scenarios whose names hold it
    bool keep = false;
    bool verbose = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--keep") {
            keep = true;
            continue;
        }
        if (option == "--verbose") {
            verbose = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        if (option == "--files")
            tree.files = std::atoll(argv[++i]);
        else if (option == "--runs")
            runs = std::atoi(argv[++i]);
        else if (option == "--work")
            work = argv[++i];
        else if (option == "--source")
            source = argv[++i];
        else if (option == "--baseline")
            baseline = argv[++i];
        else if (option == "--only")
            only = argv[++i];
        else
            return Usage();
    }
    if (runs < 1 || tree.files < 1)
        return Usage();
    tree.folders = std::max<std::int64_t>(1, tree.files / 20);
    if (work.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        work = std::string(tmp != nullptr ? tmp : "/var/tmp") + "/tidemark-compare-" +
               std::to_string(::getpid());
    }
    fs::create_directories(work);
    const WorkFolder work_folder{work, keep};
    std::string tree_name;
    if (source.empty()) {
        source = work + "/src";
        fs::remove_all(source);
        if (const auto tarball = KernelTarball()) {
            tree_name = "kernel source tree (" + fs::path(*tarball).filename().string() + ")";
            std::printf("unpacking %s ...\n", tarball->c_str());
            std::fflush(stdout);
            fs::create_directories(source);
            if (Measure({"tar", "-xf", *tarball, "-C", source}).ok == false)
                return 1;
        } else {
            tree_name = "generated tree";
            std::printf("generating %lld files ...\n", static_cast<long long>(tree.files));
            std::fflush(stdout);
            if (!MakeTree(source, tree))
                return 1;
        }
    } else {
        tree_name = source;
    }
    const TreeSize size = SizeOf(source);
    std::printf("%s: %lld files, %.2f GiB; medians of %d runs\n", tree_name.c_str(), size.files,
                static_cast<double>(size.bytes) / (1 << 30), runs);

    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string window = (self.parent_path() / "tidemark-window-bench").string();
    const bool has_window = fs::exists(window);
    if (!has_window)
        std::printf("(no %s: the window column is left out)\n", window.c_str());
    auto tidemark = [&](const char* style) {
        return Contender{"headless",
                         {self.string(), "run", "--style", style, "--ignore-hidden", "0",
                          "--ignore-system", "0", source},
                         ""};
    };
    auto windowed = [&](const char* style) {
        return Contender{"window", {window, "--style", style, source}, ""};
    };
    const Contender rsync{"rsync -a", {"rsync", "-a", source + "/"}, "/"};
    const Contender rsync_all{"rsync -a -I", {"rsync", "-a", "-I", source + "/"}, "/"};
    const Contender cp{"cp -a", {"cp", "-a", source + "/."}, ""};
    // Another build's programs, measured in the same turns, for "as fast as before".
    const std::string old_bench = baseline + "/tidemark-bench";
    const std::string old_window = baseline + "/tidemark-window-bench";
    auto scenario = [&](std::string name, const char* style, std::vector<Contender> rivals,
                        bool fresh, bool touch) {
        Scenario made{std::move(name), {tidemark(style)}, fresh, touch};
        if (has_window)
            made.contenders.push_back(windowed(style));
        if (!baseline.empty()) {
            made.contenders.push_back(
                Contender{"old headless",
                          {old_bench, "run", "--style", style, "--ignore-hidden", "0",
                           "--ignore-system", "0", source},
                          ""});
            if (has_window && fs::exists(old_window))
                made.contenders.push_back(
                    Contender{"old window", {old_window, "--style", style, source}, ""});
        }
        for (Contender& rival : rivals)
            made.contenders.push_back(std::move(rival));
        return made;
    };
    const Scenario scenarios[] = {
        scenario("initial copy", "safe", {rsync, cp}, true, false),
        scenario("no-op re-sync", "normal", {rsync}, false, false),
        scenario("Normal, 5% touched", "normal", {rsync}, false, true),
        scenario("Backup, all replaced", "backup", {rsync_all}, false, false),
    };

    // Every initial copy stays until the end, beside the mirror: a disk that fills up on the way
    // would fail the comparison, and whatever else runs on the machine.
    std::size_t copies = 1;
    if (scenarios[0].name.find(only) != std::string::npos)  // the warm-up's copy too
        copies += scenarios[0].contenders.size() * static_cast<std::size_t>(runs) + 1;
    const double needed = static_cast<double>(size.on_disk) * static_cast<double>(copies) * 1.05;
    const double free = static_cast<double>(fs::space(work).available);
    if (needed > free) {
        std::fprintf(stderr,
                     "compare needs about %.1f GiB free in %s for %zu copies of the tree, and "
                     "%.1f GiB is free: give fewer --runs or another --work\n",
                     needed / (1 << 30), work.c_str(), copies, free / (1 << 30));
        return 1;
    }

    // The page cache holds the source from here on; the mirror serves every scenario but the
    // first. Nothing is deleted until the end: a file system that has just freed many inodes
    // is slow to allocate new ones for a while, which would count against whoever runs next.
    const std::string mirror = work + "/mirror";
    fs::create_directories(mirror);
    if (!Measure({"rsync", "-a", source + "/", mirror + "/"}).ok) {
        std::fprintf(stderr, "rsync could not make the mirror\n");
        return 1;
    }
    const std::vector<std::string> touched = FivePercentOf(source);

    long peak_kib = 0;
    std::printf("%-21s %10s %10s %10s %10s %8s %8s %8s\n", "scenario", "headless", "window",
                "rsync", "cp -a", "h/rsync", "h/cp", "w/h");
    for (const Scenario& scenario : scenarios) {
        if (scenario.name.find(only) == std::string::npos)
            continue;
        auto take_turn = [&](const Contender& contender,
                             const std::string& name) -> std::optional<double> {
            std::string destination = mirror;
            if (scenario.fresh_destination) {
                destination = work + "/initial-" + name;
                fs::create_directories(destination);
            }
            if (scenario.touch_before)
                Touch(touched);
            ::sync();  // every run starts with nothing waiting to be written
            std::vector<std::string> command = contender.command;
            command.push_back(destination + contender.destination_suffix);
            const Measurement measured = Measure(command);
            if (!measured.ok) {
                std::fprintf(stderr, "%s failed in \"%s\"\n", contender.name.c_str(),
                             scenario.name.c_str());
                return std::nullopt;
            }
            if (contender.name == "headless")
                peak_kib = std::max(peak_kib, measured.peak_kib);
            if (scenario.fresh_destination)
                DropFromPageCache(destination);
            return measured.seconds;
        };
        // The first turn of a scenario comes after another kind of work and is slower,
        // whoever takes it; it is taken once untimed, so that it counts against nobody.
        if (!take_turn(scenario.contenders[0], "warm-up"))
            return 1;
        std::map<std::string, std::vector<double>> seconds;
        const std::size_t count = scenario.contenders.size();
        for (int run = 0; run < runs; ++run) {
            const std::vector<std::size_t> order = BalancedOrder(count, run);
            for (std::size_t turn = 0; turn < count; ++turn) {
                const Contender& contender = scenario.contenders[order[turn]];
                const auto taken =
                    take_turn(contender, std::to_string(run) + "-" + std::to_string(turn));
                if (!taken)
                    return 1;
                seconds[contender.name].push_back(*taken);
                if (verbose)
                    std::printf("  %s run %d: %s %.3f s\n", scenario.name.c_str(), run + 1,
                                contender.name.c_str(), *taken);
            }
        }
        auto median = [&](const std::string& name) -> std::optional<double> {
            const auto found = seconds.find(name);
            if (found == seconds.end())
                return std::nullopt;
            return Median(found->second);
        };
        auto cell = [](std::optional<double> value, const char* unit) {
            char text[32] = "-";
            if (value)
                std::snprintf(text, sizeof text, "%.3f%s", *value, unit);
            return std::string(text);
        };
        auto ratio = [](std::optional<double> a, std::optional<double> b) {
            return a && b ? std::optional<double>(*a / *b) : std::nullopt;
        };
        const auto headless = median("headless");
        const auto window_run = median("window");
        auto rival = median("rsync -a");
        if (!rival)
            rival = median("rsync -a -I");
        const auto copier = median("cp -a");
        std::printf("%-21s %10s %10s %10s %10s %8s %8s %8s\n", scenario.name.c_str(),
                    cell(headless, " s").c_str(), cell(window_run, " s").c_str(),
                    cell(rival, " s").c_str(), cell(copier, " s").c_str(),
                    cell(ratio(headless, rival), "").c_str(),
                    cell(ratio(headless, copier), "").c_str(),
                    cell(ratio(window_run, headless), "").c_str());
        if (!baseline.empty()) {
            const auto old_headless = median("old headless");
            const auto old_window_run = median("old window");
            std::printf("%-21s %10s %10s %21s h/old %s, w/old %s\n", "  baseline",
                        cell(old_headless, " s").c_str(), cell(old_window_run, " s").c_str(), "",
                        cell(ratio(headless, old_headless), "").c_str(),
                        cell(ratio(window_run, old_window_run), "").c_str());
        }
        std::fflush(stdout);
    }
    std::printf(
        "rsync is rsync -a, and rsync -a -I for Backup; h/rsync and h/cp are Tidemark "
        "headless against them, w/h the window against headless\n");
    std::printf("Tidemark headless peak memory: %.1f MiB\n",
                static_cast<double>(peak_kib) / 1024.0);
    return 0;
}

}  // namespace tidemark::bench
