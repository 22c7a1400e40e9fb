#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/reminders.h"
#include "app/run_log.h"
#include "app/settings_store.h"
#include "app/shell_port.h"
#include "app/sys_info.h"

namespace tidemark::testing {

/// A settings store in memory.
class MemorySettingsStore final : public SettingsStore {
  public:
    std::map<std::string, std::string> values;

    std::string Read(const std::string& key, const std::string& fallback = {}) override {
        const auto found = values.find(key);
        return found == values.end() ? fallback : found->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
        values[key] = value;
        return true;
    }
};

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

/// A calendar whose date and time a test sets (1 June 2026, 02:00:05 unless set), and whose
/// locale writes "DD.MM.YYYY HH:MM".
class TestCalendar final : public LocalCalendar {
  public:
    LocalDateTime now{std::chrono::year{2026} / 6 / 1, 2, 0, 5};
    LocalDateTime Now() override { return now; }
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string& text) override {
        unsigned day = 0, month = 0;
        int year = 0, hour = 0, minute = 0;
        char extra = 0;
        if (std::sscanf(text.c_str(), "%2u.%2u.%4d %2d:%2d%c", &day, &month, &year, &hour, &minute,
                        &extra) != 5)
            return std::nullopt;
        return LocalDateTime{std::chrono::year{year} / month / day, hour, minute, 0};
    }
};

/// Programs found on the path by name (none unless installed); starting them is recorded.
class FakeLauncher final : public ProgramLauncher {
  public:
    std::map<std::string, std::string> installed;  // name -> full path
    bool start_fails = false;
    std::vector<std::string> started;

    std::string FindOnPath(const std::string& name) override {
        const auto found = installed.find(name);
        return found == installed.end() ? "" : found->second;
    }
    Status StartDetached(const std::string& program) override {
        started.push_back(program);
        return start_fails ? Status(Failure{1008, "Exec format error"}) : Status::Ok();
    }
};

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
        for (const auto& [path, text] : files)
            if (path.starts_with(folder + "/"))
                names.push_back(path.substr(folder.size() + 1));
        return names;
    }
    Status RemoveFile(const std::string& path) override {
        files.erase(path);
        return Status::Ok();
    }
};

}  // namespace tidemark::testing
