#pragma once

#include "app/reminders.h"

namespace tidemark {

/// The system clock in the C library's local time zone (TZ, else the system's zone), and
/// dates in the C library's current locale (as set with setlocale).
class PosixLocalCalendar final : public LocalCalendar {
  public:
    LocalDateTime Now() override;
    /// Accepts the locale's date and time ("%x %X"), the locale's full form ("%c") and the
    /// locale's date alone ("%x").
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string& text) override;
};

}  // namespace tidemark
