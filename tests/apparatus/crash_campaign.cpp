#include "tests/apparatus/crash_campaign.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>
#include <thread>
#include <type_traits>

#include "bench/split_mix64.h"
#include "tests/apparatus/tree_snapshot.h"
#include "engine/file_decision.h"
#include "platform/posix_file_system.h"

extern char** environ;

namespace tidemark::testing {

using bench::SplitMix64;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kBaseTime = 1'600'000'000 * kSecond + 123'456'789;
const char* const kFolders[] = {"docs", "docs/old", "media", "media/raw", ".cache"};

/// One file or link of the source tree.
struct SourceItem {
    std::string relative;
    bool link = false;
    std::int64_t size = 0;  ///< files
    std::string target;     ///< links
    std::int64_t modified = 0;
    mode_t mode = 0644;
};

std::vector<SourceItem> PlanSource(const CrashCampaignOptions& options, SplitMix64& random) {
    std::vector<SourceItem> items;
    for (int i = 0; i < options.small_files; ++i) {
        const char* folder = kFolders[random.Below(std::size(kFolders))];
        char name[48];
        std::snprintf(name, sizeof name, "%s/file%04d.txt", folder, i);
        SourceItem item;
        item.relative = i % 7 == 0 ? name + std::strlen(folder) + 1 : name;  // some at the root
        // Mostly a few KiB, some empty, a few of a megabyte.
        const std::int64_t roll = random.Below(100);
        item.size = roll < 5 ? 0 : roll < 95 ? random.Below(64 << 10) : random.Below(1 << 20);
        item.modified = kBaseTime + i * 1'234'567;
        item.mode = i % 11 == 0 ? 0444 : 0644;
        items.push_back(item);
    }
    for (int i = 0; i < options.large_files; ++i) {
        SourceItem item;
        item.relative = "media/raw/video" + std::to_string(i) + ".bin";
        item.size = options.large_size + random.Below(1 << 20);
        item.modified = kBaseTime + 7 * kSecond + i;
        items.push_back(item);
    }
    for (int i = 0; i < 4; ++i) {
        SourceItem link;
        link.relative = "docs/link" + std::to_string(i);
        link.link = true;
        char target[32];
        std::snprintf(target, sizeof target, "../file%04d.txt", i * 7);
        link.target = target;
        link.modified = kBaseTime + 9 * kSecond + i;
        items.push_back(link);
    }
    return items;
}

bool WriteContent(const std::string& path, std::int64_t size, std::uint64_t seed, mode_t mode,
                  std::int64_t modified, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    SplitMix64 random(seed);
    std::vector<std::uint64_t> block(8192);
    bool ok = true;
    for (std::int64_t written = 0; written < size && ok;) {
        for (std::uint64_t& word : block) {
            word = random.Next();
        }
        const auto chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(size - written, static_cast<std::int64_t>(block.size() * 8)));
        ok = ::write(fd, block.data(), chunk) == static_cast<ssize_t>(chunk);
        written += static_cast<std::int64_t>(chunk);
    }
    const struct timespec times[2] = {{modified / kSecond, modified % kSecond},
                                      {modified / kSecond, modified % kSecond}};
    ok = ok && ::fchmod(fd, mode) == 0 && ::futimens(fd, times) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        error = path + ": " + std::strerror(errno);
    }
    return ok;
}

bool WriteLink(const std::string& path, const std::string& target, std::int64_t modified,
               std::string& error) {
    const struct timespec times[2] = {{modified / kSecond, modified % kSecond},
                                      {modified / kSecond, modified % kSecond}};
    if (::symlink(target.c_str(), path.c_str()) != 0 ||
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool MakeFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string ParentOf(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string NameOf(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

bool BuildSource(const std::string& root, const std::vector<SourceItem>& items, std::uint64_t seed,
                 std::string& error) {
    if (!MakeFolder(root, error)) {
        return false;
    }
    for (const char* folder : kFolders) {
        if (!MakeFolder(root + "/" + folder, error)) {
            return false;
        }
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const SourceItem& item = items[i];
        const std::string path = root + "/" + item.relative;
        const bool written = item.link ? WriteLink(path, item.target, item.modified, error)
                                       : WriteContent(path, item.size, seed * 7919 + i, item.mode,
                                                      item.modified, error);
        if (!written) {
            return false;
        }
    }
    return true;
}

/// Writes a destination as an earlier pass or the user may have left it: per file missing,
/// older, newer or equal, some read-only, some folders missing, and files of its own.
bool BuildPrevious(const std::string& root, const std::string& source_root,
                   const std::vector<SourceItem>& items, SplitMix64& random, std::string& error) {
    if (!MakeFolder(root, error)) {
        return false;
    }
    std::set<std::string> missing_folders;
    for (const char* folder : kFolders) {
        const std::string parent = ParentOf(folder);
        if (missing_folders.contains(parent) || random.Below(100) < 15) {
            missing_folders.insert(folder);
        } else if (!MakeFolder(root + "/" + folder, error)) {
            return false;
        }
    }
    for (const SourceItem& item : items) {
        if (missing_folders.contains(ParentOf(item.relative))) {
            continue;
        }
        const std::string path = root + "/" + item.relative;
        const std::int64_t roll = random.Below(100);
        bool written = true;
        if (roll < 20) {
            continue;  // missing
        } else if (roll < 75) {
            // Older (most) or newer, with other content.
            const std::int64_t shift = (1 + random.Below(1000)) * kSecond + random.Below(kSecond);
            const std::int64_t modified = roll < 60 ? item.modified - shift : item.modified + shift;
            written =
                item.link
                    ? WriteLink(path, "previous-" + std::to_string(roll), modified, error)
                    : WriteContent(
                          path, std::max<std::int64_t>(0, item.size + 100 - random.Below(200)),
                          random.Next(), random.Below(5) == 0 ? 0444 : 0644, modified, error);
        } else if (item.link) {
            written = WriteLink(path, item.target, item.modified, error);
        } else {
            // Equal: a copy of the source with its time and permission bits.
            const std::string from = source_root + "/" + item.relative;
            const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
            const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            struct stat status {};
            written = in >= 0 && out >= 0 && ::fstat(in, &status) == 0;
            for (off_t left = status.st_size; written && left > 0;) {
                const ssize_t n =
                    ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(left), 0);
                written = n > 0;
                left -= n;
            }
            const struct timespec times[2] = {status.st_atim, status.st_mtim};
            written = written && ::fchmod(out, status.st_mode & 07777) == 0 &&
                      ::futimens(out, times) == 0;
            if (in >= 0)
                ::close(in);
            if (out >= 0)
                ::close(out);
            if (!written) {
                error = path + ": " + std::strerror(errno);
            }
        }
        if (!written) {
            return false;
        }
    }
    for (int i = 0; i < 5; ++i) {
        const std::string folder = i == 0 ? std::string() : std::string(kFolders[i - 1]);
        if (missing_folders.contains(folder)) {
            continue;
        }
        const std::string path =
            root + "/" + (folder.empty() ? "" : folder + "/") + "only-here" + std::to_string(i);
        if (!WriteContent(path, random.Below(10'000), random.Next(), 0644, kBaseTime, error)) {
            return false;
        }
    }
    return true;
}

/// A running child process of the driver.
class Pass {
  public:
    Pass(const std::string& bench, const std::vector<std::string>& arguments) {
        std::vector<std::string> all = {bench, "run"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        started_ = Clock::now();
        if (::posix_spawn(&pid_, bench.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    Clock::time_point started_at() const { return started_; }

    /// Waits until `deadline` at most; true when the process ended, its status in `status`.
    bool WaitUntil(Clock::time_point deadline, int& status) {
        while (true) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                return true;
            }
            if (done < 0 && errno != EINTR) {
                status = -1;
                return true;
            }
            if (Clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }

    void Kill(int& status) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }

  private:
    pid_t pid_ = -1;
    Clock::time_point started_;
};

enum class PassEnd { kCompleted, kHung, kCrashed };

/// Runs a pass to its end within the time limit.
PassEnd RunToEnd(const std::string& bench, const std::vector<std::string>& arguments,
                 int time_limit_seconds, std::string& how) {
    Pass pass(bench, arguments);
    if (!pass.started()) {
        how = "could not be started";
        return PassEnd::kCrashed;
    }
    int status = 0;
    if (!pass.WaitUntil(Clock::now() + std::chrono::seconds(time_limit_seconds), status)) {
        pass.Kill(status);
        how = "did not end within " + std::to_string(time_limit_seconds) + " s";
        return PassEnd::kHung;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        how = WIFSIGNALED(status) ? std::string("ended by signal ") + strsignal(WTERMSIG(status))
                                  : "ended with status " + std::to_string(WEXITSTATUS(status));
        return PassEnd::kCrashed;
    }
    return PassEnd::kCompleted;
}

const ItemState* Find(const TreeSnapshot& snapshot, const std::string& path) {
    const auto found = snapshot.find(path);
    return found == snapshot.end() ? nullptr : &found->second;
}

bool IsFolder(const ItemState* item) {
    return item != nullptr && item->kind == ItemState::Kind::kFolder;
}

/// The version the pass is to leave: the source's or the previous one.
const ItemState* DueAfterPass(const ItemState* from_source, const ItemState* previous,
                              bool backup) {
    if (from_source == nullptr || IsFolder(from_source)) {
        return previous;
    }
    if (previous == nullptr || backup) {
        return from_source;
    }
    // The trials run on file systems that keep every nanosecond.
    return SourceIsNewer(from_source->modified, previous->modified, 1) ? from_source : previous;
}

struct TrialCounts {
    std::int64_t files = 0;
    std::int64_t lost = 0;
    std::int64_t previous = 0;
    std::int64_t replaced = 0;
    std::int64_t temporary = 0;
};

/// Compares a destination with the source and its previous state. With `finished` every file
/// must hold what the pass was due to leave; otherwise its previous or its due version will
/// do. Temporary files must be named for `owner`; `temporary_allowed` says whether any may be
/// left at all.
TrialCounts CheckDestination(const TreeSnapshot& source, const TreeSnapshot& previous,
                             const TreeSnapshot& now, bool backup, bool finished, pid_t owner,
                             bool temporary_allowed, const std::string& when,
                             std::vector<std::string>& problems) {
    TrialCounts counts;
    std::set<std::string> paths;
    for (const TreeSnapshot* snapshot : {&previous, &now}) {
        for (const auto& [path, item] : *snapshot) {
            paths.insert(path);
        }
    }
    for (const std::string& path : paths) {
        const ItemState* before = Find(previous, path);
        const ItemState* after = Find(now, path);
        const ItemState* from_source = Find(source, path);
        if (before == nullptr && after != nullptr) {
            if (const auto process = TemporaryName::MakerOf(NameOf(path))) {
                ++counts.temporary;
                if (!temporary_allowed) {
                    problems.push_back(when + ": temporary file " + path + " was not removed");
                } else if (owner <= 0 || process != static_cast<std::uint64_t>(owner)) {
                    problems.push_back(when + ": temporary file " + path +
                                       " is not named for the killed process");
                }
                continue;
            }
        }
        if (IsFolder(before) || IsFolder(after)) {
            if (IsFolder(before) && !IsFolder(after)) {
                problems.push_back(when + ": folder " + path + " is gone");
            } else if (!IsFolder(before) && !IsFolder(from_source)) {
                problems.push_back(when + ": folder " + path + " should not be there");
            }
            continue;
        }
        ++counts.files;
        const ItemState* due = DueAfterPass(from_source, before, backup);
        const bool holds_previous =
            after != nullptr && before != nullptr && after->SameVersion(*before);
        const bool holds_due = after != nullptr && due != nullptr && after->SameVersion(*due);
        const bool acceptable =
            finished ? (holds_due || (after == nullptr && due == nullptr))
                     : (holds_previous || holds_due || (after == nullptr && before == nullptr));
        if (holds_due && due == from_source && before != nullptr && !holds_previous) {
            ++counts.replaced;
        } else if (holds_previous) {
            ++counts.previous;
        }
        if (acceptable) {
            continue;
        }
        const std::string holds = after == nullptr ? "nothing" : Describe(*after);
        problems.push_back(when + ": " + path + " holds " + holds +
                           (before == nullptr ? "" : ", was " + Describe(*before)) +
                           (due == nullptr ? "" : ", due " + Describe(*due)));
        // Lost: a previous version gone without its complete replacement, or a torn copy.
        if (before != nullptr && !holds_previous && !holds_due) {
            counts.lost += static_cast<std::int64_t>(before->size);
        } else if (before == nullptr && after != nullptr && !holds_due) {
            counts.lost += static_cast<std::int64_t>(after->size);
        }
    }
    return counts;
}

std::optional<TreeSnapshot> Snapshot(const std::string& root, std::vector<std::string>& problems) {
    std::string error;
    std::optional<TreeSnapshot> snapshot = SnapshotTree(root, &error);
    if (!snapshot) {
        problems.push_back("cannot read " + error);
    }
    return snapshot;
}

std::string MakeWorkFolder(const CrashCampaignOptions& options, std::string& error) {
    if (!options.work_folder.empty()) {
        if (::mkdir(options.work_folder.c_str(), 0700) != 0) {
            error = options.work_folder + ": " + std::strerror(errno);
            return {};
        }
        return options.work_folder;
    }
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tidemark-crash-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = pattern + ": " + std::strerror(errno);
        return {};
    }
    return pattern;
}

}  // namespace

CrashCampaignResult RunCrashCampaign(const CrashCampaignOptions& options, std::FILE* log) {
    CrashCampaignResult result;
    result.tally.suite = "crash campaign, SIGKILL";
    std::string error;
    const std::string work = MakeWorkFolder(options, error);
    if (work.empty()) {
        result.problems.push_back(error);
        return result;
    }
    const std::string source = work + "/src";
    const std::string destination = work + "/dst";
    SplitMix64 plan(options.seed);
    const std::vector<SourceItem> items = PlanSource(options, plan);
    std::optional<TreeSnapshot> source_state;
    if (!BuildSource(source, items, options.seed, error)) {
        result.problems.push_back(error);
    } else {
        source_state = Snapshot(source, result.problems);
    }

    // How long a whole pass takes, per style, bounds the moments of the kills: the shortest of
    // a few passes, so that one slowed by other work on the machine does not put the kills
    // after the end.
    constexpr int kCalibrationPasses = 3;
    double pass_seconds[2] = {0.0, 0.0};
    for (int pass = 0; pass < 2 * kCalibrationPasses && source_state; ++pass) {
        const int backup = pass % 2;
        SplitMix64 random(options.seed ^ 0xca11b2a7e);
        RemoveTree(destination);
        std::string how;
        if (!BuildPrevious(destination, source, items, random, error)) {
            result.problems.push_back(error);
            break;
        }
        const auto built = Clock::now();
        if (RunToEnd(options.bench_path,
                     {"--style", backup ? "backup" : "normal", "--ignore-hidden", "0", source,
                      destination},
                     options.time_limit_seconds, how) != PassEnd::kCompleted) {
            result.problems.push_back("a calibration pass " + how);
            break;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - built).count();
        if (pass < 2 || seconds < pass_seconds[backup]) {
            pass_seconds[backup] = seconds;
        }
    }

    const int first = options.only_trial.value_or(0);
    const int last = options.only_trial ? *options.only_trial + 1 : options.trials;
    // Every trial runs even after one found a problem, so that the table counts them all.
    const bool ready = result.problems.empty();
    for (int trial = first; trial < last && ready; ++trial) {
        SplitMix64 random(options.seed * 1'000'003 + static_cast<std::uint64_t>(trial));
        const bool backup = trial % 2 == 1;
        const char* style = backup ? "backup" : "normal";
        const double kill_after = random.Uniform() * pass_seconds[backup ? 1 : 0];
        RemoveTree(destination);
        std::vector<std::string> problems;
        if (!BuildPrevious(destination, source, items, random, error)) {
            result.problems.push_back(error);
            break;
        }
        const std::optional<TreeSnapshot> previous = Snapshot(destination, problems);
        const std::string label = "trial " + std::to_string(trial) + " (" + style + ")";
        ++result.tally.cases;

        // The pass, killed at its moment.
        Pass pass(options.bench_path,
                  {"--style", style, "--ignore-hidden", "0", source, destination});
        int status = 0;
        bool killed = false;
        if (!pass.started()) {
            problems.push_back(label + ": the pass could not be started");
        } else if (!pass.WaitUntil(
                       pass.started_at() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(kill_after)),
                       status)) {
            pass.Kill(status);
            // It may have ended on its own just before the signal.
            killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        }
        const bool ended_well = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (killed) {
            ++result.kills_during_pass;
        } else if (pass.started() && !ended_well) {
            ++result.tally.crashes;
            problems.push_back(label + ": the pass ended with status " + std::to_string(status));
        }
        TrialCounts after_kill;
        if (const auto now = Snapshot(destination, problems); now && previous) {
            after_kill =
                CheckDestination(*source_state, *previous, *now, backup,
                                 /*finished=*/!killed, pass.pid(),
                                 /*temporary_allowed=*/true, label + " after the kill", problems);
            result.tally.files_compared += after_kill.files;
            result.tally.bytes_lost += after_kill.lost;
            result.temporary_files_left += after_kill.temporary;
        }

        // The next pass completes the work, and removes what the killed pass left in the
        // folders it writes to: those of the files the killed pass was putting in place.
        std::string how;
        const PassEnd completed = RunToEnd(
            options.bench_path, {"--style", style, "--ignore-hidden", "0", source, destination},
            options.time_limit_seconds, how);
        if (completed != PassEnd::kCompleted) {
            (completed == PassEnd::kHung ? result.tally.hangs : result.tally.crashes) += 1;
            problems.push_back(label + ": the completing pass " + how);
        } else if (const auto now = Snapshot(destination, problems); now && previous) {
            const TrialCounts done = CheckDestination(
                *source_state, *previous, *now, backup, /*finished=*/true, pass.pid(),
                /*temporary_allowed=*/false, label + " after the completing pass", problems);
            result.tally.files_compared += done.files;
            result.tally.bytes_lost += done.lost;
        }

        if (log != nullptr) {
            std::fprintf(log,
                         "%s: %s after %.0f ms of %.0f: %lld previous, %lld replaced, %lld "
                         "temporary files\n",
                         label.c_str(), killed ? "killed" : "not killed, it ended",
                         kill_after * 1000.0, pass_seconds[backup ? 1 : 0] * 1000.0,
                         static_cast<long long>(after_kill.previous),
                         static_cast<long long>(after_kill.replaced),
                         static_cast<long long>(after_kill.temporary));
            for (const std::string& problem : problems) {
                std::fprintf(log, "  %s\n", problem.c_str());
            }
            std::fflush(log);
        }
        result.problems.insert(result.problems.end(), problems.begin(), problems.end());
    }
    if (!options.keep_work_folder && result.problems.empty()) {
        RemoveTree(work);
    } else if (log != nullptr) {
        std::fprintf(log, "work folder kept: %s\n", work.c_str());
    }
    return result;
}

int CrashCommand(int argc, char** argv) {
    CrashCampaignOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](auto& target) {
            if (value == nullptr)
                return false;
            char* end = nullptr;
            const long long parsed = std::strtoll(value, &end, 10);
            if (end == value || *end != '\0' || parsed < 0)
                return false;
            target = static_cast<std::remove_reference_t<decltype(target)>>(parsed);
            ++i;
            return true;
        };
        bool ok = true;
        if (argument == "--trials") {
            ok = number(options.trials);
        } else if (argument == "--seed") {
            ok = number(options.seed);
        } else if (argument == "--trial") {
            int trial = 0;
            ok = number(trial);
            options.only_trial = trial;
        } else if (argument == "--small-files") {
            ok = number(options.small_files);
        } else if (argument == "--large-files") {
            ok = number(options.large_files);
        } else if (argument == "--large-size") {
            ok = number(options.large_size);
        } else if (argument == "--work" && value != nullptr) {
            options.work_folder = value;
            ++i;
        } else if (argument == "--bench" && value != nullptr) {
            options.bench_path = value;
            ++i;
        } else if (argument == "--keep") {
            options.keep_work_folder = true;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr,
                         "usage: tidemark-crash [--trials N] [--seed N] [--trial N] "
                         "[--small-files N] [--large-files N] [--large-size BYTES] "
                         "[--work FOLDER] [--keep] [--bench PATH]\n");
            return 2;
        }
    }
    if (options.bench_path.empty()) {
        // By default the driver beside this program.
        char self[4096];
        const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
        const std::string program(self, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
        options.bench_path = ParentOf(program) + "/tidemark-bench";
    }
    std::printf("crash campaign: seed %llu, %d trials\n",
                static_cast<unsigned long long>(options.seed), options.trials);
    const CrashCampaignResult result = RunCrashCampaign(options, stdout);
    std::printf(
        "%lld of %lld trials killed a running pass; %lld temporary files left, all "
        "removed by the next walk\n",
        static_cast<long long>(result.kills_during_pass),
        static_cast<long long>(result.tally.cases),
        static_cast<long long>(result.temporary_files_left));
    ReportLossTable({result.tally});
    return result.problems.empty() && result.tally.Clean() ? 0 : 1;
}

}  // namespace tidemark::testing
