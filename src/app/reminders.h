#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/settings_store.h"
#include "app/shell_port.h"

namespace tidemark {

/// A date and time as the local wall clock shows it.
struct LocalDateTime {
    std::chrono::year_month_day date{std::chrono::year{1899}, std::chrono::month{12},
                                     std::chrono::day{30}};
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

/// The date that stands for "never": 30 December 1899, 00:00. It makes both reminders due.
inline constexpr LocalDateTime kZeroDate{};

/// The local calendar: the current local date and time, and the user's own way of writing
/// dates.
class LocalCalendar {
  public:
    virtual ~LocalCalendar() = default;
    /// The current local date and time.
    virtual LocalDateTime Now() = 0;
    /// Reads a date and time written in the user's locale format; nullopt when the text is not
    /// one.
    virtual std::optional<LocalDateTime> ParseLocaleDateTime(const std::string& text) = 0;
};

/// The donation page the reminders and the donate commands open.
inline constexpr const char* kDonationAddress = "https://tidemark.example.org/donate";

/// Reminders come back once more than this many calendar days have passed.
inline constexpr int kReminderIntervalDays = 30;

/// The number of midnights from `from` to `to`, whatever the time of day: 23:59 to 00:01 of the
/// next day counts 1. Negative when `to` falls on an earlier day.
int CalendarDaysBetween(const LocalDateTime& from, const LocalDateTime& to);

/// The date as it is stored: ISO 8601 local time, "YYYY-MM-DDTHH:MM:SS".
std::string StoredDateText(const LocalDateTime& date);

/// Reads a stored date: ISO 8601 (a date alone, or with "T" or a blank before HH:MM or
/// HH:MM:SS), else the user's locale format. Nullopt when the text is neither or names no real
/// date.
std::optional<LocalDateTime> ParseStoredDate(const std::string& text, LocalCalendar& calendar);

/// The usage counter as stored under "FilesProcessed"; 0 when the key is missing or its text
/// is not a finite number.
double ReadUsageCounter(SettingsStore& store);

/// Writes the usage counter under "FilesProcessed" as text that ReadUsageCounter reads back
/// exactly, whatever the locale. Returns false when the store could not be written.
bool StoreUsageCounter(SettingsStore& store, double usage_counter);

/// The usage counter after one press of Synchronize Now!: it grows by the processed-file count
/// that the press's last pass left (the reverse pass alone when Auto Reverse ran).
double UsageCounterAfterRun(double usage_counter, std::int32_t last_pass_processed);

/// When the last reminder fired, as stored under "LastDonationDisplayDate"; the zero date when
/// the key is missing or does not read as a date.
LocalDateTime ReadLastReminderDate(SettingsStore& store, LocalCalendar& calendar);

/// The start-up reminder. Due when "FirstRun" is not exactly "YES" or the last reminder is more
/// than 30 calendar days old; then writes "FirstRun" = "YES" and answers true, and the caller
/// shows the Help window modally before the main window.
bool StartupReminderDue(SettingsStore& store, LocalCalendar& calendar,
                        const LocalDateTime& last_reminder);

/// The exit reminder. Due when the last reminder is more than 30 calendar days old; then opens
/// the donation page and stores the current date and time under "LastDonationDisplayDate",
/// also when the desktop could not open the page. Answers whether it was due.
bool RunExitReminder(SettingsStore& store, LocalCalendar& calendar, ShellPort& shell,
                     const LocalDateTime& last_reminder,
                     const std::string& donation_address = kDonationAddress);

}  // namespace tidemark
