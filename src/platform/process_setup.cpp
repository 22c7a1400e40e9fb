#include "platform/process_setup.h"

#include <signal.h>
#include <sys/resource.h>

namespace tidemark {

void PrepareProcess() {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace tidemark
