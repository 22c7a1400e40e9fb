#include "config/configuration_commands.h"

#include <vector>

namespace tidemark {

namespace configuration_messages {

std::string DeleteQuestion(const std::string& name) {
    return "This will remove the configuration from the drop down list.\r\n\r\nAre you sure "
           "you want to remove configuration '" +
           name + "'?";
}

}  // namespace configuration_messages

ConfigurationCommands::ConfigurationCommands(ConfigurationStore& store, ConfigurationForm& form,
                                             MessagePort& messages)
    : store_(store), form_(form), messages_(messages) {}

bool ConfigurationCommands::Open(const std::string& remembered_name) {
    (void)store_.EnsureConfigurationFolder();
    LoadConfigurationList();
    if (remembered_name.empty()) {
        return false;
    }
    form_.SetConfigurationName(remembered_name);
    ConfigurationPicked();
    return true;
}

void ConfigurationCommands::LoadConfigurationList() {
    // Keeping the old list matters: the next save rewrites the index from it.
    if (Result<std::vector<std::string>> names = store_.LoadConfigurationList()) {
        form_.SetConfigurationEntries(*names);
    }
}

void ConfigurationCommands::ConfigurationPicked() {
    // An unreadable file has been reported; like a missing one it leaves the settings alone.
    if (Result<std::optional<SyncSettings>> values =
            store_.LoadConfiguration(form_.ConfigurationName());
        values && values->has_value()) {
        form_.SetConfigurationValues(**values);
    }
    ClearSettingsChanged();
    form_.ResetRun();
    form_.ClearResults();
}

bool ConfigurationCommands::SaveClicked() {
    const std::string name = form_.ConfigurationName();
    if (!store_.SaveConfigurations(form_.ConfigurationEntries(), name,
                                   form_.ConfigurationValues())) {
        return false;
    }
    LoadConfigurationList();
    form_.SetConfigurationName(name);
    ClearSettingsChanged();
    return true;
}

void ConfigurationCommands::DeleteClicked() {
    const int selected = form_.SelectedConfigurationEntry();
    std::vector<std::string> entries = form_.ConfigurationEntries();
    if (selected < 0 || selected >= static_cast<int>(entries.size())) {
        messages_.ShowMessage(configuration_messages::kSelectConfiguration, MessageButtons::kOk,
                              MessageIcon::kNone);
        return;
    }
    // The question names the entry that goes, even when the name field was edited after it
    // was picked.
    const std::string name = entries[static_cast<std::size_t>(selected)];
    if (messages_.ShowMessage(configuration_messages::DeleteQuestion(name), MessageButtons::kYesNo,
                              MessageIcon::kQuestion) != MessageAnswer::kYes) {
        return;
    }
    entries.erase(entries.begin() + selected);
    if (store_.SaveConfigurations(entries, "", form_.ConfigurationValues())) {
        form_.RemoveConfigurationEntry(selected);
    }
}

void ConfigurationCommands::RestoreClicked() {
    if (messages_.ShowMessage(configuration_messages::kRestoreQuestion, MessageButtons::kYesNo,
                              MessageIcon::kQuestion) != MessageAnswer::kYes) {
        return;
    }
    if (Result<std::vector<std::string>> names = store_.RestoreConfigurations()) {
        for (const std::string& name : *names) {
            form_.AppendConfigurationEntry(name);
        }
    }
}

void ConfigurationCommands::MarkSettingsChanged() {
    settings_changed_ = true;
    form_.ShowSettingsChanged(true);
}

void ConfigurationCommands::ClearSettingsChanged() {
    settings_changed_ = false;
    form_.ShowSettingsChanged(false);
}

}  // namespace tidemark
