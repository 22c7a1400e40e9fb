#pragma once

#include <map>
#include <string>

#include "app/settings_store.h"

namespace tidemark::testing {

/// A settings store in memory; `writable` false makes every write fail.
class MemorySettingsStore final : public SettingsStore {
  public:
    std::map<std::string, std::string> values;
    bool writable = true;

    std::string Read(const std::string& key, const std::string& fallback = {}) override {
        const auto found = values.find(key);
        return found == values.end() ? fallback : found->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
        if (!writable)
            return false;
        values[key] = value;
        return true;
    }
};

}  // namespace tidemark::testing
