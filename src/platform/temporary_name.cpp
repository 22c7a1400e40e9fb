#include "platform/temporary_name.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <fstream>

namespace tidemark {

namespace {

std::string Hex(std::uint64_t value) {
    char text[17];
    const auto end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    return std::string(text, end);
}

bool ParseHex(std::string_view text, std::uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

const std::string& TemporaryName::BootId() {
    static const std::string boot_id = [] {
        std::ifstream file("/proc/sys/kernel/random/boot_id");
        std::string text;
        std::getline(file, text);
        std::erase(text, '-');
        const bool hex = std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        });
        return hex ? text : std::string();
    }();
    return boot_id;
}

std::string TemporaryName::Next() {
    static std::atomic<std::uint64_t> counter = 0;
    const std::string& boot = BootId().empty() ? std::string("0") : BootId();
    return std::string(kPrefix) + boot + "-" + Hex(static_cast<std::uint64_t>(::getpid())) + "-" +
           Hex(++counter) + ".tmp";
}

std::uint64_t TemporaryName::MakerOf(std::string_view name) {
    if (BootId().empty() || !name.starts_with(kPrefix) || !name.ends_with(".tmp")) {
        return 0;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(4);
    const std::size_t first = name.find('-');
    const std::size_t second = name.find('-', first == name.npos ? first : first + 1);
    if (second == name.npos || name.substr(0, first) != BootId()) {
        return 0;
    }
    std::uint64_t process = 0;
    std::uint64_t count = 0;
    if (!ParseHex(name.substr(first + 1, second - first - 1), process) ||
        !ParseHex(name.substr(second + 1), count) || process > INT32_MAX) {
        return 0;
    }
    return process;
}

bool TemporaryName::IsLeftover(std::string_view name) {
    const std::uint64_t process = MakerOf(name);
    return process != 0 && ::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH;
}

}  // namespace tidemark
