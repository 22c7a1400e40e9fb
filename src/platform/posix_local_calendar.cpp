#include "platform/posix_local_calendar.h"

#include <ctime>

namespace tidemark {

namespace {

LocalDateTime FromTm(const std::tm& local) {
    LocalDateTime result;
    result.date =
        std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                    std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                    std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec;
    return result;
}

}  // namespace

LocalDateTime PosixLocalCalendar::Now() {
    ::tzset();  // follow a changed TZ, as localtime() would
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FromTm(local);
}

std::optional<LocalDateTime> PosixLocalCalendar::ParseLocaleDateTime(const std::string& text) {
    for (const char* format : {"%x %X", "%c", "%x"}) {
        std::tm parsed{};
        const char* end = ::strptime(text.c_str(), format, &parsed);
        if (end == nullptr) {
            continue;
        }
        while (*end == ' ') {
            ++end;
        }
        if (*end != '\0') {
            continue;
        }
        LocalDateTime result = FromTm(parsed);
        if (result.date.ok() && result.hour < 24 && result.minute < 60 && result.second < 60) {
            return result;
        }
    }
    return std::nullopt;
}

}  // namespace tidemark
