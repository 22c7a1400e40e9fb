#include "app/run_log.h"

#include <cstdio>

namespace tidemark {

namespace {

constexpr std::string_view kExtension = ".log";
// Written in pieces of about this size, so a long run is in the file while it goes on.
constexpr std::size_t kWriteSize = 64 * 1024;

std::string DateText(const std::chrono::year_month_day& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

/// The date a day file is named after; nullopt for any other name.
std::optional<std::chrono::year_month_day> DateOfDayFile(std::string_view name) {
    if (name.size() != 10 + kExtension.size() || !name.ends_with(kExtension) || name[4] != '-' ||
        name[7] != '-') {
        return std::nullopt;
    }
    int fields[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8};
    const std::size_t widths[3] = {4, 2, 2};
    for (int field = 0; field < 3; ++field) {
        for (std::size_t i = starts[field]; i < starts[field] + widths[field]; ++i) {
            if (name[i] < '0' || name[i] > '9') {
                return std::nullopt;
            }
            fields[field] = fields[field] * 10 + (name[i] - '0');
        }
    }
    const std::chrono::year_month_day date{std::chrono::year{fields[0]},
                                           std::chrono::month{static_cast<unsigned>(fields[1])},
                                           std::chrono::day{static_cast<unsigned>(fields[2])}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return date;
}

}  // namespace

RunLog::RunLog(LogFilesPort& files, LocalCalendar& calendar, std::string folder)
    : files_(files), calendar_(calendar), folder_(std::move(folder)) {}

void RunLog::RemoveOldFiles() {
    const LocalDateTime today = calendar_.Now();
    for (const std::string& name : files_.FileNames(folder_)) {
        const auto date = DateOfDayFile(name);
        if (date && CalendarDaysBetween(LocalDateTime{*date}, today) > kLogKeptDays) {
            (void)files_.RemoveFile(folder_ + "/" + name);
        }
    }
}

void RunLog::BeginRun(const std::string& configuration) {
    const LocalDateTime now = calendar_.Now();
    path_ = folder_ + "/" + DateText(now.date) + std::string(kExtension);
    char time[16];
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", now.hour, now.minute, now.second);
    heading_ = "--- " + DateText(now.date) + time;
    if (!configuration.empty()) {
        heading_ += " " + configuration;
    }
    heading_ += " ---\n";
    failure_.reset();
}

void RunLog::AddLine(std::string_view text) {
    if (failure_) {
        return;
    }
    if (!heading_.empty()) {
        held_ += heading_;
        heading_.clear();
    }
    held_ += text;
    held_ += '\n';
    if (held_.size() >= kWriteSize) {
        Flush();
    }
}

void RunLog::Flush() {
    if (held_.empty() || failure_) {
        return;
    }
    if (Status written = files_.AppendToFile(path_, held_); !written) {
        failure_ = written.failure();
    }
    held_.clear();
}

std::optional<std::string> RunLog::EndRun() {
    Flush();
    if (!failure_) {
        return std::nullopt;
    }
    return "The log " + path_ + " could not be written.  " + failure_->description;
}

}  // namespace tidemark
