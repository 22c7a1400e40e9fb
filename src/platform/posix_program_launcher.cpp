#include "platform/posix_program_launcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

extern char** environ;

namespace tidemark {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Writes the whole buffer to a pipe; used between fork and exec, so only plain system calls.
void WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

PosixProgramLauncher::PosixProgramLauncher(std::string search_path)
    : search_path_(std::move(search_path)) {}

PosixProgramLauncher PosixProgramLauncher::FromEnvironment() {
    const char* path = std::getenv("PATH");
    return PosixProgramLauncher(path != nullptr ? path : "");
}

std::string PosixProgramLauncher::FindOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    std::string_view rest = search_path_;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (folder.empty() || folder.front() != '/') {
            continue;
        }
        std::string candidate(folder);
        if (candidate.back() != '/') {
            candidate += '/';
        }
        candidate += name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

Status PosixProgramLauncher::StartDetached(const std::string& program) {
    // The grandchild runs the program; the child exits at once so that nothing is left to reap.
    // A close-on-exec pipe carries the errno of a failed exec back, so a program that cannot
    // start is reported instead of silently vanishing.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return FailureFromErrno(errno);
    }
    char* const arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return FailureFromErrno(error);
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            const int error = errno;
            WriteAll(report[1], &error, sizeof error);
            ::_exit(1);
        }
        if (grandchild == 0) {
            ::execve(program.c_str(), arguments, environ);
            const int error = errno;
            WriteAll(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int error = 0;
    std::size_t received = 0;
    while (received < sizeof error) {
        const ssize_t got =
            ::read(report[0], reinterpret_cast<char*>(&error) + received, sizeof error - received);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        received += static_cast<std::size_t>(got);
    }
    ::close(report[0]);
    int child_status = 0;
    while (::waitpid(child, &child_status, 0) < 0 && errno == EINTR) {
    }
    if (received == sizeof error) {
        return FailureFromErrno(error);
    }
    return Status::Ok();
}

}  // namespace tidemark
