#include "tests/hostile/guarded_run.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tidemark::testing {

namespace {

void PutNumber(std::string& out, std::uint64_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, const std::string& text) {
    PutNumber(out, text.size());
    out += text;
}

void PutTexts(std::string& out, const std::vector<std::string>& texts) {
    PutNumber(out, texts.size());
    for (const std::string& text : texts) {
        PutText(out, text);
    }
}

std::string Serialize(const CaseReport& report) {
    std::string out;
    PutNumber(out, static_cast<std::uint64_t>(report.files_compared));
    PutNumber(out, static_cast<std::uint64_t>(report.bytes_lost));
    PutNumber(out, static_cast<std::uint64_t>(report.faults_fired));
    PutTexts(out, report.lines);
    PutTexts(out, report.problems);
    return out;
}

/// Reads what Serialize wrote; false when the bytes end early.
class Reader {
  public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool Number(std::uint64_t& value) {
        if (bytes_.size() - at_ < sizeof value)
            return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool Texts(std::vector<std::string>& texts) {
        std::uint64_t count = 0;
        if (!Number(count))
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t size = 0;
            if (!Number(size) || bytes_.size() - at_ < size)
                return false;
            texts.push_back(bytes_.substr(at_, size));
            at_ += size;
        }
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

  private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

bool Deserialize(const std::string& bytes, CaseReport& report) {
    Reader reader(bytes);
    std::uint64_t files = 0;
    std::uint64_t lost = 0;
    std::uint64_t fired = 0;
    if (!reader.Number(files) || !reader.Number(lost) || !reader.Number(fired) ||
        !reader.Texts(report.lines) || !reader.Texts(report.problems) || !reader.AtEnd()) {
        return false;
    }
    report.files_compared = static_cast<std::int64_t>(files);
    report.bytes_lost = static_cast<std::int64_t>(lost);
    report.faults_fired = static_cast<std::int64_t>(fired);
    return true;
}

[[noreturn]] void RunChild(const std::function<CaseReport()>& body, const GuardedOptions& options,
                           int out) {
    if (options.unprivileged && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedUser) != 0 ||
            ::setuid(kUnprivilegedUser) != 0) {
            ::_exit(90);
        }
    }
    if (options.file_size_limit) {
        const struct rlimit limit = {*options.file_size_limit, *options.file_size_limit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(91);
        }
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
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ::_exit(92);
        written += static_cast<std::size_t>(n);
    }
    ::_exit(0);
}

class LossTableEnvironment final : public ::testing::Environment {
  public:
    void TearDown() override { bench::ReportLossTable({Tally()}); }
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
    const auto deadline = std::chrono::steady_clock::now() + options.time_limit;
    std::string bytes;
    bool hung = false;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        struct pollfd wait_for = {pipe_fds[0], POLLIN, 0};
        const int ready = ::poll(&wait_for, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            hung = true;
            break;
        }
        char buffer[65536];
        const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipe_fds[0]);
    if (hung) {
        ::kill(child, SIGKILL);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (hung) {
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
    if (::geteuid() != 0) {
        return;
    }
    namespace stdfs = std::filesystem;
    ::lchown(root.c_str(), kUnprivilegedUser, kUnprivilegedUser);
    std::error_code ignored;
    for (auto it = stdfs::recursive_directory_iterator(root, ignored);
         it != stdfs::recursive_directory_iterator(); it.increment(ignored)) {
        ::lchown(it->path().c_str(), kUnprivilegedUser, kUnprivilegedUser);
    }
}

bench::LossTally& Tally() {
    static bench::LossTally tally;
    return tally;
}

void Record(const GuardedResult& result) {
    bench::LossTally& tally = Tally();
    ++tally.cases;
    tally.files_compared += result.report.files_compared;
    tally.bytes_lost += result.report.bytes_lost;
    tally.hangs += result.end == GuardedResult::End::kHung ? 1 : 0;
    tally.crashes += result.end == GuardedResult::End::kCrashed ? 1 : 0;
}

}  // namespace tidemark::testing
