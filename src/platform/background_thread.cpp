#include "platform/background_thread.h"

#include <sched.h>

namespace tidemark {

void MarkThreadAsBackground() {
    // SCHED_BATCH keeps the thread's share of the processor but gives up preempting on
    // wake-up. The walk hands work over many thousand times a second; every hand-over that
    // pushed the walk off its core cost a context switch on a machine with few cores.
    const sched_param parameters{};
    ::sched_setscheduler(0, SCHED_BATCH, &parameters);  // a refusal leaves it as it was
}

}  // namespace tidemark
