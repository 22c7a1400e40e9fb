#pragma once

#include <memory>
#include <string>

#include "app/settings_store.h"

class QSettings;

namespace tidemark {

/// The settings store as an INI file: group "Settings", values kept as text.
class QtSettingsStore final : public SettingsStore {
  public:
    /// The user's own store of the application "Tidemark".
    QtSettingsStore();
    /// A store kept in the given INI file.
    explicit QtSettingsStore(const std::string& ini_file);
    ~QtSettingsStore() override;

    std::string Read(const std::string& key, const std::string& fallback = {}) override;
    /// Writes the file at once (QSettings replaces it atomically).
    bool Write(const std::string& key, const std::string& value) override;

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace tidemark
