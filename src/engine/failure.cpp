#include "engine/failure.h"

#include <cerrno>
#include <cstring>

namespace tidemark {

Failure FailureFromErrno(int error) {
    const bool denied = error == EACCES || error == EPERM || error == EROFS;
    return Failure{denied ? kAccessDenied : 1000 + error, std::strerror(error)};
}

bool Failure::IsNoSpace() const {
    return number == FailureFromErrno(ENOSPC).number || number == FailureFromErrno(EDQUOT).number;
}

Failure SourceChanged() {
    return Failure{2000, "The file changed while it was being copied"};
}

}  // namespace tidemark
