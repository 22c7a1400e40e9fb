// Real passes of the headless driver, in Normal and in Backup, killed with SIGKILL at a random
// moment: every destination file must then be its previous version or the one the pass was to
// put there, any temporary file named for the killed process; the next pass completes the work
// and removes them. TIDEMARK_CRASH_TRIALS and TIDEMARK_CRASH_SEED run a longer campaign.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>

#include "bench/split_mix64.h"
#include "engine/file_preparation.h"
#include "platform/temporary_name.h"
#include "tests/apparatus/tree_snapshot.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

using bench::SplitMix64;
constexpr long long kBaseTime = 1'600'000'000'123'456'789;
constexpr int kKilled = 128 + SIGKILL;  // a pass that had to be killed, as a shell shows it

int FromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

/// A file of the source: its path, seed, size and time; the destination's versions differ.
struct Item {
    std::string relative;
    std::uint64_t seed;
    std::int64_t size;
    long long modified;
};

void Put(const std::string& root, const Item& item, mode_t mode = 0644) {
    SplitMix64 random(item.seed);
    std::string content(static_cast<std::size_t>(item.size), '\0');
    for (char& byte : content)
        byte = static_cast<char>(random.Next());
    const std::string path = root + "/" + item.relative;
    WriteFile(path, content);
    ::chmod(path.c_str(), mode);
    SetModified(path, item.modified);
}

/// Runs the driver's pass from `folder`/src to `folder`/dst, killed after `seconds` unless it
/// ended before; answers its process id and its exit status (kKilled when it was killed). The
/// pass is waited for until it is gone, so that the next one cannot take it for a live run.
std::pair<pid_t, int> Pass(const std::string& folder, bool backup, double seconds) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        ::execl(TIDEMARK_BENCH_PATH, TIDEMARK_BENCH_PATH, "run", "--style",
                backup ? "backup" : "normal", "--ignore-hidden", "0", (folder + "/src").c_str(),
                (folder + "/dst").c_str(), nullptr);
        ::_exit(127);
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >=
            seconds) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        ::usleep(500);
    }
    return {child, WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status)};
}

TEST(CrashCampaign, EveryFileIsItsPreviousOrItsNewVersionAfterEachKill) {
    const bool small = SmallScale();
    const int trials = FromEnvironment("TIDEMARK_CRASH_TRIALS", small ? 6 : 24);
    const auto seed = static_cast<std::uint64_t>(FromEnvironment("TIDEMARK_CRASH_SEED", 1));
    TemporaryFolder folder;
    const std::string source = folder / "src";
    const std::string destination = folder / "dst";
    const char* folders[] = {"", "docs/", "docs/old/", "media/", ".cache/"};
    SplitMix64 plan(seed);
    std::vector<Item> items;
    for (int i = 0; i < (small ? 120 : 400); ++i) {  // mostly a few KiB, a few of a megabyte
        const std::int64_t size = plan.Below(100) < 95 ? plan.Below(64 << 10) : plan.Below(1 << 20);
        items.push_back({folders[plan.Below(5)] + ("file" + std::to_string(i)), plan.Next(), size,
                         kBaseTime + i * 1'234'567});
    }
    for (int i = 0; i < 3; ++i)
        items.push_back({"media/video" + std::to_string(i), plan.Next(),
                         (small ? 4 << 20 : 24 << 20) + plan.Below(1 << 20), kBaseTime + i});
    for (const Item& item : items)
        Put(source, item);
    const TreeSnapshot source_state = SnapshotTree(source);

    /// A destination as an earlier pass or the user left it: each file missing, older, newer
    /// or equal, some read-only, and files of its own.
    const auto build_previous = [&](SplitMix64& random) {
        RemoveTree(destination);
        for (const Item& item : items) {
            const std::int64_t roll = random.Below(100);
            const long long shift = (1 + random.Below(1000)) * 1'000'000'007LL;
            const Item other{item.relative, random.Next(), item.size + random.Below(200),
                             roll < 60 ? item.modified - shift : item.modified + shift};
            if (roll >= 20)
                Put(destination, roll < 75 ? other : item, random.Below(5) == 0 ? 0444 : 0644);
        }
        Put(destination, {"docs/only-here", random.Next(), 5000, kBaseTime});
    };
    // What a whole pass takes bounds the moments of the kills: the shorter of two, so that
    // one slowed by other work on the machine does not put the kills after the end.
    double seconds[2] = {1e9, 1e9};
    for (int pass = 0; pass < 4; ++pass) {
        SplitMix64 random(seed);
        build_previous(random);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Pass(folder.path(), pass % 2 == 1, 600).second, 0);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        seconds[pass % 2] = std::min(seconds[pass % 2], took.count());
    }

    ReportedLossTally tally{{"crash campaign, SIGKILL"}};
    int kills = 0;
    for (int trial = 0; trial < trials; ++trial) {
        SplitMix64 random(seed * 1'000'003 + static_cast<std::uint64_t>(trial));
        const bool backup = trial % 2 == 1;
        build_previous(random);
        const TreeSnapshot previous = SnapshotTree(destination);
        const auto [pid, status] =
            Pass(folder.path(), backup, 0.001 + random.Uniform() * seconds[backup]);
        ++tally.cases;
        kills += status == kKilled ? 1 : 0;
        tally.crashes += status != 0 && status != kKilled ? 1 : 0;

        // Each file: its previous version, or the one due; once finished, the one due. Only a
        // killed pass leaves temporary files, named for it.
        const auto check = [&, pid = pid](bool finished, const std::string& when) {
            TreeSnapshot now = SnapshotTree(destination);
            std::erase_if(now, [&](const auto& entry) {
                const std::string name = entry.first.substr(entry.first.rfind('/') + 1);
                const std::uint64_t maker = TemporaryName::MakerOf(name);
                if (previous.contains(entry.first) || maker == 0)
                    return false;
                EXPECT_FALSE(finished) << when << ": " << entry.first << " was not removed";
                EXPECT_EQ(maker, static_cast<std::uint64_t>(pid)) << when << ": " << entry.first;
                return true;
            });
            const auto due = [&](const std::string&, const ItemState* from_source,
                                 const ItemState* before) {
                return from_source != nullptr &&
                               (before == nullptr || backup ||
                                SourceIsNewer(from_source->modified, before->modified, 1))
                           ? from_source
                           : before;
            };
            for (const std::string& problem :
                 CheckDestination(source_state, previous, now, due, !finished, tally))
                ADD_FAILURE() << "trial " << trial << " " << when << ": " << problem;
        };
        check(status != kKilled, "after the kill");
        const int completed = Pass(folder.path(), backup, 300).second;
        (completed == kKilled ? tally.hangs : tally.crashes) += completed != 0 ? 1 : 0;
        check(true, "after the completing pass");
    }
    EXPECT_EQ(tally.bytes_lost + tally.hangs + tally.crashes, 0);
    // Kills that come after the pass has ended test nothing; most must land inside it.
    EXPECT_GE(kills * 2, trials);
}

}  // namespace
}  // namespace tidemark::testing
