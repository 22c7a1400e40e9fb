#include "app/reminders.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <system_error>

namespace tidemark {

namespace {

constexpr const char* kFirstRunDone = "YES";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Exactly `width` decimal digits at `at`.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t width) {
    if (at + width > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::optional<LocalDateTime> ParseIsoDateTime(std::string_view text) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    if (!year || !month || !day) {
        return std::nullopt;
    }
    LocalDateTime parsed;
    parsed.date = std::chrono::year_month_day{std::chrono::year{*year},
                                              std::chrono::month{static_cast<unsigned>(*month)},
                                              std::chrono::day{static_cast<unsigned>(*day)}};
    if (!parsed.date.ok()) {
        return std::nullopt;
    }
    if (text.size() == 10) {
        return parsed;
    }
    if ((text[10] != 'T' && text[10] != ' ') || text.size() < 16 || text[13] != ':') {
        return std::nullopt;
    }
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    std::optional<int> second = 0;
    if (text.size() != 16) {
        if (text.size() != 19 || text[16] != ':') {
            return std::nullopt;
        }
        second = Digits(text, 17, 2);
    }
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    parsed.hour = *hour;
    parsed.minute = *minute;
    parsed.second = *second;
    return parsed;
}

}  // namespace

int CalendarDaysBetween(const LocalDateTime& from, const LocalDateTime& to) {
    const std::chrono::sys_days first{from.date};
    const std::chrono::sys_days last{to.date};
    return static_cast<int>((last - first).count());
}

std::string StoredDateText(const LocalDateTime& date) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d",
                  static_cast<int>(date.date.year()), static_cast<unsigned>(date.date.month()),
                  static_cast<unsigned>(date.date.day()), date.hour, date.minute, date.second);
    return text;
}

std::optional<LocalDateTime> ParseStoredDate(const std::string& text, LocalCalendar& calendar) {
    const std::string_view trimmed = Trimmed(text);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    if (auto iso = ParseIsoDateTime(trimmed)) {
        return iso;
    }
    std::optional<LocalDateTime> local = calendar.ParseLocaleDateTime(std::string(trimmed));
    if (local && !local->date.ok()) {
        return std::nullopt;
    }
    return local;
}

double ReadUsageCounter(SettingsStore& store) {
    const std::string text = store.Read(settings_keys::kFilesProcessed, "0");
    std::string_view number = Trimmed(text);
    if (number.starts_with('+')) {
        number.remove_prefix(1);
        if (number.starts_with('-')) {
            return 0.0;
        }
    }
    double value = 0.0;
    const char* end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value);
    if (number.empty() || error != std::errc{} || stop != end || !std::isfinite(value)) {
        return 0.0;
    }
    return value;
}

bool StoreUsageCounter(SettingsStore& store, double usage_counter) {
    // to_chars ignores the locale, so a comma locale cannot turn 1.5 into "1,5", and it gives
    // the shortest text that reads back exactly ("250" for 250).
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, usage_counter);
    if (error != std::errc{}) {
        return false;
    }
    return store.Write(settings_keys::kFilesProcessed, std::string(text, end));
}

double UsageCounterAfterRun(double usage_counter, std::int32_t last_pass_processed) {
    return usage_counter + last_pass_processed;
}

LocalDateTime ReadLastReminderDate(SettingsStore& store, LocalCalendar& calendar) {
    return ParseStoredDate(store.Read(settings_keys::kLastDonationDisplayDate), calendar)
        .value_or(kZeroDate);
}

bool StartupReminderDue(SettingsStore& store, LocalCalendar& calendar,
                        const LocalDateTime& last_reminder) {
    const bool first_run_pending = store.Read(settings_keys::kFirstRun) != kFirstRunDone;
    const bool overdue = CalendarDaysBetween(last_reminder, calendar.Now()) > kReminderIntervalDays;
    if (!first_run_pending && !overdue) {
        return false;
    }
    store.Write(settings_keys::kFirstRun, kFirstRunDone);
    return true;
}

bool RunExitReminder(SettingsStore& store, LocalCalendar& calendar, ShellPort& shell,
                     const LocalDateTime& last_reminder, const std::string& donation_address) {
    const LocalDateTime now = calendar.Now();
    if (CalendarDaysBetween(last_reminder, now) <= kReminderIntervalDays) {
        return false;
    }
    shell.Open(donation_address);
    store.Write(settings_keys::kLastDonationDisplayDate, StoredDateText(now));
    return true;
}

}  // namespace tidemark
