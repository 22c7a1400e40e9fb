#include "tests/hostile/guarded_run.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/process_setup.h"

namespace tidemark::testing {

namespace {

constexpr uid_t kUnprivilegedUser = 65534;

// The report travels as NUL-terminated fields (no path or line holds a NUL): the three
// counters, the number of lines, the lines, then the problems.
std::string Serialize(const CaseReport& report) {
    std::string out;
    for (const std::int64_t number : {report.files_compared, report.bytes_lost, report.faults_fired,
                                      static_cast<std::int64_t>(report.lines.size())}) {
        out += std::to_string(number) + '\0';
    }
    for (const auto* texts : {&report.lines, &report.problems})
        for (const std::string& text : *texts)
            out += text + '\0';
    return out;
}

/// Reads what Serialize wrote; false when the bytes end early.
bool Deserialize(const std::string& bytes, CaseReport& report) {
    std::vector<std::string> fields;
    for (std::size_t at = 0, end; at < bytes.size(); at = end + 1) {
        if ((end = bytes.find('\0', at)) == std::string::npos)
            return false;
        fields.push_back(bytes.substr(at, end - at));
    }
    if (fields.size() < 4 || fields.size() - 4 < std::stoull(fields[3]))
        return false;
    report.files_compared = std::stoll(fields[0]);
    report.bytes_lost = std::stoll(fields[1]);
    report.faults_fired = std::stoll(fields[2]);
    const auto problems = fields.begin() + 4 + std::stol(fields[3]);
    report.lines.assign(fields.begin() + 4, problems);
    report.problems.assign(problems, fields.end());
    return true;
}

[[noreturn]] void RunChild(const std::function<CaseReport()>& body, const GuardedOptions& options,
                           int out) {
    // The time limit: the alarm's default action ends the process, however stuck it is.
    ::alarm(static_cast<unsigned>(options.time_limit.count()));
    PrepareProcess();  // as the program's main() does
    if (options.unprivileged && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedUser) != 0 ||
         ::setuid(kUnprivilegedUser) != 0)) {
        ::_exit(90);
    }
    if (options.file_size_limit) {
        const struct rlimit limit = {*options.file_size_limit, *options.file_size_limit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(91);
    }
    std::string bytes;
    try {
        bytes = Serialize(body());
    } catch (const std::exception& error) {
        CaseReport failed;
        failed.problems.push_back(std::string("exception: ") + error.what());
        bytes = Serialize(failed);
    }
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::write(out, bytes.data() + written, bytes.size() - written);
        if (n <= 0 && errno != EINTR)
            ::_exit(92);
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::_exit(0);
}

class LossTableEnvironment final : public ::testing::Environment {
  public:
    void TearDown() override { ReportLossTable({Tally()}); }
};

const bool kTableRegistered =
    ::testing::AddGlobalTestEnvironment(new LossTableEnvironment) != nullptr;

}  // namespace

GuardedResult RunGuarded(const std::function<CaseReport()>& body, const GuardedOptions& options) {
    GuardedResult result;
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        result.end = GuardedResult::End::kCrashed;
        result.how = std::string("no pipe: ") + std::strerror(errno);
        return result;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        RunChild(body, options, pipe_fds[1]);
    }
    ::close(pipe_fds[1]);
    std::string bytes;
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        result.end = GuardedResult::End::kHung;
        result.how = "no answer after " + std::to_string(options.time_limit.count()) + " s";
    } else if (WIFSIGNALED(status)) {
        result.end = GuardedResult::End::kCrashed;
        result.how = std::string("ended by signal ") + strsignal(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0 || !Deserialize(bytes, result.report)) {
        result.end = GuardedResult::End::kCrashed;
        result.how = "ended with status " + std::to_string(WEXITSTATUS(status));
    }
    return result;
}

void HandOverToUnprivilegedUser(const std::string& root) {
    if (::geteuid() != 0)
        return;
    ::lchown(root.c_str(), kUnprivilegedUser, kUnprivilegedUser);
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        ::lchown(it->path().c_str(), kUnprivilegedUser, kUnprivilegedUser);
    }
}

LossTally& Tally() {
    static LossTally tally;
    return tally;
}

void Record(const GuardedResult& result) {
    LossTally& tally = Tally();
    ++tally.cases;
    tally.files_compared += result.report.files_compared;
    tally.bytes_lost += result.report.bytes_lost;
    tally.hangs += result.end == GuardedResult::End::kHung ? 1 : 0;
    tally.crashes += result.end == GuardedResult::End::kCrashed ? 1 : 0;
}

}  // namespace tidemark::testing
