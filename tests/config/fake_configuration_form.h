#pragma once

#include <string>
#include <vector>

#include "config/configuration_commands.h"

namespace tidemark::testing {

/// A configuration of the given style from the source to /backup.
inline SyncSettings Settings(int style, const std::string& source) {
    SyncSettings values;
    values.style = static_cast<SyncStyle>(style);
    values.source_path = source;
    values.destination_path = "/backup";
    return values;
}

/// The main window's configuration row in memory. Like the real controls, every change made
/// through the form marks the settings changed in `commands`, and picking an entry loads it.
class FakeConfigurationForm final : public ConfigurationForm {
  public:
    ConfigurationCommands* commands = nullptr;
    std::string name;
    std::vector<std::string> entries;
    int selected = -1;
    SyncSettings values;
    bool marker_shown = false;
    int run_resets = 0;
    int results_clears = 0;

    /// The user types into the name field.
    void Type(const std::string& text) {
        name = text;
        Changed();
    }
    /// The user picks an entry: it becomes the selection and the name field's text.
    void Pick(int position) {
        selected = position;
        Type(entries.at(static_cast<std::size_t>(position)));
        commands->ConfigurationPicked();
    }

    std::string ConfigurationName() override { return name; }
    void SetConfigurationName(const std::string& text) override { Type(text); }
    std::vector<std::string> ConfigurationEntries() override { return entries; }
    void SetConfigurationEntries(const std::vector<std::string>& names) override {
        entries = names;
        selected = -1;
        Type("");
    }
    void AppendConfigurationEntry(const std::string& entry) override { entries.push_back(entry); }
    void RemoveConfigurationEntry(int position) override {
        entries.erase(entries.begin() + position);
        selected = -1;
    }
    int SelectedConfigurationEntry() override { return selected; }
    SyncSettings ConfigurationValues() override { return values; }
    void SetConfigurationValues(const SyncSettings& stored) override {
        values = stored;
        Changed();
    }
    void ShowSettingsChanged(bool changed) override { marker_shown = changed; }
    void ResetRun() override { ++run_resets; }
    void ClearResults() override { ++results_clears; }

  private:
    void Changed() {
        if (commands != nullptr)
            commands->MarkSettingsChanged();
    }
};

}  // namespace tidemark::testing
