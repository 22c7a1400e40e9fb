#pragma once

#include <string>
#include <vector>

#include "engine/run_types.h"

namespace tidemark {

/// What the configuration commands see of the main window: the configuration row (the editable
/// drop-down cboConfiguration and the Save button), the nine settings controls and the run
/// display. Setting a control here raises the same change notification as a user edit, which
/// the window forwards to ConfigurationCommands::MarkSettingsChanged.
class ConfigurationForm {
  public:
    virtual ~ConfigurationForm() = default;

    /// The text of the name field of cboConfiguration.
    virtual std::string ConfigurationName() = 0;
    /// Puts text into the name field (raises its change notification).
    virtual void SetConfigurationName(const std::string& name) = 0;

    /// The entries of the drop-down list, in list order.
    virtual std::vector<std::string> ConfigurationEntries() = 0;
    /// Replaces every entry; afterwards no entry is selected and the name field is empty.
    virtual void SetConfigurationEntries(const std::vector<std::string>& names) = 0;
    /// Adds an entry at the end of the list; the name field and the selection stay.
    virtual void AppendConfigurationEntry(const std::string& name) = 0;
    /// Removes the entry at this list position.
    virtual void RemoveConfigurationEntry(int position) = 0;
    /// The list position of the selected entry, or -1 when none is selected.
    virtual int SelectedConfigurationEntry() = 0;

    /// The nine configuration values as the controls show them: the style position (-1 when
    /// none is selected), the two location texts exactly as shown and the six check states.
    virtual SyncSettings ConfigurationValues() = 0;
    /// Puts the nine values into their controls, in stored order (raises their notifications).
    virtual void SetConfigurationValues(const SyncSettings& values) = 0;

    /// Shows the unsaved-settings marker: Save reads "*Save" in bold when changed, "Save" in
    /// normal weight otherwise.
    virtual void ShowSettingsChanged(bool changed) = 0;

    /// Puts the run display back to its start: status "Ready!", counters, progress bar, pause
    /// and stop requests.
    virtual void ResetRun() = 0;
    /// Empties the results list.
    virtual void ClearResults() = 0;
};

}  // namespace tidemark
