// tidemark-crash: kills real passes at random moments and checks that nothing was lost.
#include "tests/apparatus/crash_campaign.h"

int main(int argc, char** argv) {
    return tidemark::testing::CrashCommand(argc, argv);
}
