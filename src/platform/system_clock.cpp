#include "platform/system_clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tidemark {

double SystemClock::Seconds() {
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

FileTime SystemClock::Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string CLocaleTextFormat::DateTime(FileTime time) {
    std::time_t seconds = static_cast<std::time_t>(time / 1'000'000'000);
    if (time < 0 && time % 1'000'000'000 != 0) {
        --seconds;  // round towards the past, like the clock does
    }
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, "%x %X", &local);
    return std::string(text, length);
}

std::string CLocaleTextFormat::OneDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace tidemark
