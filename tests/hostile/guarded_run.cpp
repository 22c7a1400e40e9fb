#include "tests/hostile/guarded_run.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/process_setup.h"

namespace tidemark::testing {

namespace {

constexpr uid_t kUnprivilegedUser = 65534;

[[noreturn]] void RunChild(const std::function<std::vector<std::string>()>& body,
                           const GuardedOptions& options, int out) {
    // The time limit: the alarm's default action ends the process, however stuck it is.
    ::alarm(static_cast<unsigned>(options.time_limit.count()));
    PrepareProcess();  // as the program's main() does
    const auto limit = [](int resource, rlim_t most) {
        const rlimit both = {most, most};  // the hard limit too, so that nothing raises it again
        return most == RLIM_INFINITY || ::setrlimit(resource, &both) == 0;
    };
    if ((!options.unprivileged_tree.empty() && ::geteuid() == 0 &&
         (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedUser) != 0 ||
          ::setuid(kUnprivilegedUser) != 0)) ||
        !limit(RLIMIT_FSIZE, options.file_size_limit) ||
        !limit(RLIMIT_NOFILE, options.open_files_limit))
        ::_exit(90);
    // The answer travels as NUL-terminated lines (no line holds a NUL); the exit status says
    // whether it is whole.
    std::string bytes;
    for (const std::string& line : body())
        bytes += line + '\0';
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::write(out, bytes.data() + written, bytes.size() - written);
        if (n <= 0 && errno != EINTR)
            ::_exit(91);
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::_exit(0);
}

class LossTableEnvironment final : public ::testing::Environment {
  public:
    void TearDown() override { ReportLossTable(Tally()); }
};

const bool kTableRegistered =
    ::testing::AddGlobalTestEnvironment(new LossTableEnvironment) != nullptr;

}  // namespace

GuardedResult RunGuarded(const std::function<std::vector<std::string>()>& body,
                         const GuardedOptions& options) {
    if (!options.unprivileged_tree.empty() && ::geteuid() == 0) {
        const std::string owner = std::to_string(kUnprivilegedUser);
        (void)std::system(
            ("chown -hR " + owner + ":" + owner + " '" + options.unprivileged_tree + "'").c_str());
    }
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("no pipe: ") + std::strerror(errno));
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        RunChild(body, options, pipe_fds[1]);
    }
    ::close(pipe_fds[1]);
    std::string bytes;
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            bytes.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    GuardedResult result;
    for (std::size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
        result.lines.push_back(bytes.substr(at, end - at));
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        result.end = GuardedResult::End::kHung;
        result.how = "no answer after " + std::to_string(options.time_limit.count()) + " s";
    } else if (WIFSIGNALED(status)) {
        result.end = GuardedResult::End::kCrashed;
        result.how = std::string("ended by signal ") + strsignal(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        result.end = GuardedResult::End::kCrashed;
        result.how = "ended with status " + std::to_string(WEXITSTATUS(status));
    }
    ++Tally().cases;
    Tally().hangs += result.end == GuardedResult::End::kHung ? 1 : 0;
    Tally().crashes += result.end == GuardedResult::End::kCrashed ? 1 : 0;
    return result;
}

LossTally& Tally() {
    static LossTally tally;
    return tally;
}

}  // namespace tidemark::testing
