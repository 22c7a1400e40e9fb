#pragma once

#include <string>

namespace tidemark {

/// The per-user key/value store of the program (application "Tidemark", section "Settings").
/// Values are text; readers convert them and fall back to a default when they do not convert.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    /// The stored text of the key, or `fallback` when the key was never written.
    virtual std::string Read(const std::string& key, const std::string& fallback = {}) = 0;

    /// Replaces the key's value. Returns false when the store could not be written.
    virtual bool Write(const std::string& key, const std::string& value) = 0;
};

/// Every key the program keeps in the store.
namespace settings_keys {
inline constexpr const char* kConfiguration = "Configuration";
inline constexpr const char* kFirstRun = "FirstRun";
inline constexpr const char* kScreenWidth = "ScreenWidth";
inline constexpr const char* kScreenHeight = "ScreenHeight";
inline constexpr const char* kScreenTop = "ScreenTop";
inline constexpr const char* kScreenLeft = "ScreenLeft";
inline constexpr const char* kFilesProcessed = "FilesProcessed";
inline constexpr const char* kLastDonationDisplayDate = "LastDonationDisplayDate";
}  // namespace settings_keys

}  // namespace tidemark
