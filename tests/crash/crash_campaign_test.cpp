// The crash campaign in CI: real passes killed with SIGKILL at random moments, fewer trials
// than by hand (tidemark-crash --trials 120 runs the full campaign).
#include "tests/apparatus/crash_campaign.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tidemark::testing {
namespace {

int FromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

TEST(CrashCampaign, EveryFileIsItsPreviousOrItsNewVersionAfterEachKill) {
    const char* scale = std::getenv("TIDEMARK_CHECK_SCALE");
    const bool small = scale != nullptr && std::string(scale) == "small";
    CrashCampaignOptions options;
    options.bench_path = TIDEMARK_BENCH_PATH;
    options.trials = FromEnvironment("TIDEMARK_CRASH_TRIALS", small ? 6 : 24);
    options.seed = static_cast<std::uint64_t>(FromEnvironment("TIDEMARK_CRASH_SEED", 1));
    if (small) {
        options.small_files = 120;
        options.large_size = 4 << 20;
    }

    const CrashCampaignResult result = RunCrashCampaign(options, stdout);
    ReportLossTable({result.tally});

    for (const std::string& problem : result.problems) {
        ADD_FAILURE() << problem;
    }
    EXPECT_EQ(result.tally.cases, options.trials);
    EXPECT_EQ(result.tally.bytes_lost, 0);
    EXPECT_EQ(result.tally.hangs, 0);
    EXPECT_EQ(result.tally.crashes, 0);
    // Kills that come after the pass has ended test nothing; most must land inside it.
    EXPECT_GE(result.kills_during_pass * 2, result.tally.cases);
}

}  // namespace
}  // namespace tidemark::testing
