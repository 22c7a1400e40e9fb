// tidemark-crash: kills real passes at random moments and checks that nothing was lost.
#include "bench/crash_campaign.h"

int main(int argc, char** argv) {
    return tidemark::bench::CrashCommand(argc, argv);
}
