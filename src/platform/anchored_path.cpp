#include "platform/anchored_path.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

namespace tidemark {

AnchoredPath::AnchoredPath(const std::string& path) : folder_(AT_FDCWD), name_(path) {
    if (path.size() < PATH_MAX) {
        return;
    }
    const std::size_t last_slash = path.find_last_of('/');
    name_ = path.substr(last_slash + 1);
    std::size_t start = 0;
    if (path.front() == '/') {
        folder_ = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        owns_folder_ = true;
        start = 1;
    }
    while (start < last_slash) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos || end > last_slash)
            end = last_slash;
        if (end > start) {
            const std::string component = path.substr(start, end - start);
            const int next = ::openat(folder_, component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (next < 0) {
                error_ = errno;
                break;
            }
            if (owns_folder_)
                ::close(folder_);
            folder_ = next;
            owns_folder_ = true;
        }
        start = end + 1;
    }
}

AnchoredPath::~AnchoredPath() {
    if (owns_folder_) {
        ::close(folder_);
    }
}

}  // namespace tidemark
