#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/run_log.h"

namespace tidemark::testing {

/// The run log's files in memory; `failure` makes every append fail.
class MemoryLogFiles final : public LogFilesPort {
  public:
    std::map<std::string, std::string> files;
    std::optional<Failure> failure;
    int appends = 0;

    Status AppendToFile(const std::string& path, std::string_view text) override {
        ++appends;
        if (failure)
            return *failure;
        files[path] += text;
        return Status::Ok();
    }
    std::vector<std::string> FileNames(const std::string& folder) override {
        std::vector<std::string> names;
        for (const auto& [path, text] : files) {
            if (path.starts_with(folder + "/"))
                names.push_back(path.substr(folder.size() + 1));
        }
        return names;
    }
    Status RemoveFile(const std::string& path) override {
        files.erase(path);
        return Status::Ok();
    }
};

/// A calendar whose date and time a test sets; it reads no locale dates.
class SetCalendar final : public LocalCalendar {
  public:
    LocalDateTime now{std::chrono::year{2026} / 6 / 1, 2, 0, 5};
    LocalDateTime Now() override { return now; }
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string&) override {
        return std::nullopt;
    }
};

}  // namespace tidemark::testing
