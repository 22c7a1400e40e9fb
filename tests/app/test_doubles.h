#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/reminders.h"
#include "app/shell_port.h"

namespace tidemark::testing {

/// Records what the program asked the desktop to open; `accept` is what the desktop answers.
class RecordingShell final : public ShellPort {
  public:
    std::vector<std::string> opened;
    bool accept = true;
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return accept;
    }
};

/// A calendar that always says 1 June 2026 and reads no locale dates.
class FixedCalendar final : public LocalCalendar {
  public:
    LocalDateTime Now() override {
        LocalDateTime now;
        now.date = std::chrono::year{2026} / 6 / 1;
        return now;
    }
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string&) override {
        return std::nullopt;
    }
};

}  // namespace tidemark::testing
