#include "tests/support/in_memory_file_system.h"

#include <cerrno>

namespace tidemark::testing {

Failure AccessDenied() {
    return FailureFromErrno(EACCES);
}
Failure NoSuchFile() {
    return FailureFromErrno(ENOENT);
}
Failure NoSpace() {
    return FailureFromErrno(ENOSPC);
}

}  // namespace tidemark::testing
