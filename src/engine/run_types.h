#pragma once

#include <cstdint>
#include <string>

namespace tidemark {

/// How a file that already exists at the destination is treated.
enum class SyncStyle : int { kSafeMode = 0, kNormal = 1, kBackup = 2 };

/// Check-box states as stored in configurations: 0 unchecked, 1 checked, 2 greyed.
inline constexpr int kUnchecked = 0;
inline constexpr int kChecked = 1;

/// The settings of one run, in the order a configuration stores them.
struct SyncSettings {
    int style = static_cast<int>(SyncStyle::kSafeMode);
    std::string source_path;
    std::string destination_path;
    int use_exclude_list = kUnchecked;
    int ignore_hidden = kChecked;
    int ignore_system = kChecked;
    int log_ignored = kUnchecked;
    int reverse_sync = kUnchecked;
    int preview_only = kUnchecked;

    // A greyed box counts as off for these three options...
    bool UsesExcludeList() const { return use_exclude_list == kChecked; }
    bool ReversesAfterwards() const { return reverse_sync == kChecked; }
    bool IsPreview() const { return preview_only == kChecked; }
    // ...and as on for these three.
    bool IgnoresHidden() const { return ignore_hidden != kUnchecked; }
    bool IgnoresSystem() const { return ignore_system != kUnchecked; }
    bool LogsIgnored() const { return log_ignored != kUnchecked; }

    /// Any value other than Normal or Backup (no selection, say) acts as Safe Mode.
    SyncStyle EffectiveStyle() const {
        if (style == static_cast<int>(SyncStyle::kNormal))
            return SyncStyle::kNormal;
        if (style == static_cast<int>(SyncStyle::kBackup))
            return SyncStyle::kBackup;
        return SyncStyle::kSafeMode;
    }
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
void Count(std::int32_t& counter, std::int64_t amount = 1);

/// The user's pause and stop requests and the clock reading taken when the walk of a pass starts.
struct RunState {
    bool paused = false;
    bool stop_requested = false;
    double start_time = 0.0;
};

/// Called first on a thread started to work for the walk.
using HelperThreadStart = void (*)();

}  // namespace tidemark
