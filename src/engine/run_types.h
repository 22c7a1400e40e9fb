#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace tidemark {

/// How a file that already exists at the destination is treated. kNone is no selection, and
/// acts as Safe Mode.
enum class SyncStyle : int { kNone = -1, kSafeMode = 0, kNormal = 1, kBackup = 2 };

/// A check box as configurations store it; a greyed box comes only from a configuration.
enum class CheckState : int { kUnchecked = 0, kChecked = 1, kGreyed = 2 };

/// The settings of one run, in the order a configuration stores them.
struct SyncSettings {
    SyncStyle style = SyncStyle::kSafeMode;
    std::string source_path;
    std::string destination_path;
    CheckState use_exclude_list = CheckState::kUnchecked;
    CheckState ignore_hidden = CheckState::kChecked;
    CheckState ignore_system = CheckState::kChecked;
    CheckState log_ignored = CheckState::kUnchecked;
    CheckState reverse_sync = CheckState::kUnchecked;
    CheckState preview_only = CheckState::kUnchecked;

    // A greyed box counts as off for these three options...
    bool UsesExcludeList() const { return use_exclude_list == CheckState::kChecked; }
    bool ReversesAfterwards() const { return reverse_sync == CheckState::kChecked; }
    bool IsPreview() const { return preview_only == CheckState::kChecked; }
    // ...and as on for these three.
    bool IgnoresHidden() const { return ignore_hidden != CheckState::kUnchecked; }
    bool IgnoresSystem() const { return ignore_system != CheckState::kUnchecked; }
    bool LogsIgnored() const { return log_ignored != CheckState::kUnchecked; }

    /// Any style other than Normal or Backup acts as Safe Mode.
    SyncStyle EffectiveStyle() const {
        return style == SyncStyle::kNormal || style == SyncStyle::kBackup ? style
                                                                          : SyncStyle::kSafeMode;
    }

    friend bool operator==(const SyncSettings&, const SyncSettings&) = default;
};

/// The twelve counters of one pass.
struct SyncStats {
    std::int32_t total_files = 0;
    std::int32_t processed_files = 0;
    std::int32_t created_folders = 0;
    std::int32_t excluded_folders = 0;
    std::int32_t existing_files = 0;
    std::int32_t copied_files = 0;
    std::int32_t updated_files = 0;
    std::int32_t excluded_files = 0;
    std::int32_t hidden_ignored = 0;
    std::int32_t system_ignored = 0;
    std::int32_t permission_errors = 0;
    std::int32_t other_errors = 0;

    friend bool operator==(const SyncStats&, const SyncStats&) = default;
};

/// Adds to a counter; throws std::overflow_error rather than wrap past 2,147,483,647.
inline void Count(std::int32_t& counter, std::int64_t amount = 1) {
    const std::int64_t sum = static_cast<std::int64_t>(counter) + amount;
    if (sum > std::numeric_limits<std::int32_t>::max() ||
        sum < std::numeric_limits<std::int32_t>::min()) {
        throw std::overflow_error("Overflow");
    }
    counter = static_cast<std::int32_t>(sum);
}

/// The user's pause and stop requests and the clock reading taken when the walk of a pass starts.
struct RunState {
    bool paused = false;
    bool stop_requested = false;
    double start_time = 0.0;
};

}  // namespace tidemark
