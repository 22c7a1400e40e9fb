#include "platform/posix_log_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tidemark {

namespace {

Status Errno() {
    return Status(FailureFromErrno(errno));
}

}  // namespace

Status PosixLogFiles::AppendToFile(const std::string& path, std::string_view text) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            return Errno();
        }
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return Errno();
    }
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const Status failed = Errno();
            ::close(fd);
            return failed;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        return Errno();
    }
    return Status::Ok();
}

std::vector<std::string> PosixLogFiles::FileNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

Status PosixLogFiles::RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return Errno();
    }
    return Status::Ok();
}

}  // namespace tidemark
