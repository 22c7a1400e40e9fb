#pragma once

#include "config/configuration_commands.h"
#include "config/configuration_form.h"

namespace tidemark::ui {

class FrmSynchronize;

/// The configuration row of the main window as the configuration commands see it. The
/// unsaved-settings marker is the window's own (its flag and "*Save").
class MainWindowConfigurationForm final : public ConfigurationForm {
  public:
    explicit MainWindowConfigurationForm(FrmSynchronize& window) : window_(window) {}

    std::string ConfigurationName() override;
    /// Also selects the entry of that exact name, when there is one, so that Delete acts on
    /// the name shown.
    void SetConfigurationName(const std::string& name) override;
    std::vector<std::string> ConfigurationEntries() override;
    void SetConfigurationEntries(const std::vector<std::string>& names) override;
    void AppendConfigurationEntry(const std::string& name) override;
    /// Afterwards nothing is selected and the name field is empty, so that a second Delete
    /// cannot silently take the neighbouring entry.
    void RemoveConfigurationEntry(int position) override;
    int SelectedConfigurationEntry() override;
    SyncSettings ConfigurationValues() override;
    void SetConfigurationValues(const SyncSettings& values) override;
    void ShowSettingsChanged(bool changed) override;
    void ResetRun() override;
    void ClearResults() override;

  private:
    FrmSynchronize& window_;
};

/// Hands the main window's configuration events to the commands: filling the list while it
/// opens, picking a name, typing a name (which marks the settings as changed), Save, Delete
/// and Restore. Both must outlive the window's event handling.
void ConnectConfigurationCommands(FrmSynchronize& window, ConfigurationCommands& commands);

}  // namespace tidemark::ui
