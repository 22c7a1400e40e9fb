// Runs the file-system contract as on a kernel, or in a sandbox, that has no openat2: every
// path below a root is then resolved one folder at a time, and must refuse links just the same.
// Older kernels answer ENOSYS; some container sandboxes EPERM (TIDEMARK_OPENAT2_ERRNO=EPERM).
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/openat2.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace {

// Installed before main, while this is the only thread: every thread started later inherits it.
// Checked at once, so that the suite cannot pass on the path it means to leave out.
const bool kOpenat2Refused = [] {
    const char* chosen = std::getenv("TIDEMARK_OPENAT2_ERRNO");
    const int answer = chosen != nullptr && std::string_view(chosen) == "EPERM" ? EPERM : ENOSYS;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(answer)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    open_how how{.flags = O_RDONLY | O_DIRECTORY, .mode = 0, .resolve = 0};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0 ||
        ::syscall(SYS_openat2, AT_FDCWD, "/", &how, sizeof how) != -1 || errno != answer) {
        std::perror("cannot refuse openat2");
        std::abort();
    }
    return true;
}();

}  // namespace
