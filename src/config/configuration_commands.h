#pragma once

#include <string>

#include "config/configuration_form.h"
#include "config/configuration_store.h"
#include "engine/messages.h"

namespace tidemark {

/// The texts of the configuration commands' messages.
namespace configuration_messages {
inline constexpr const char* kSelectConfiguration = "Please select a specific configuration!";
inline constexpr const char* kRestoreQuestion =
    "This will search the default configuration folder and restore any configurations that "
    "were not permanently deleted.\r\n\r\nAre you sure you want to restore previously removed "
    "configurations?";
/// The question before a configuration leaves the drop-down list.
std::string DeleteQuestion(const std::string& name);
}  // namespace configuration_messages

/// The configuration row of the main window and the unsaved-settings marker: picking a name
/// loads it, Save, Delete and Restore, and the questions that offer to save changed settings
/// before a run and at exit. The window forwards its events here and shows what the form is
/// told to show.
class ConfigurationCommands {
  public:
    ConfigurationCommands(ConfigurationStore& store, ConfigurationForm& form,
                          MessagePort& messages);

    /// While the window opens: makes sure the configurations folder exists (a failure is left
    /// to the later commands to report), fills the drop-down list from the index and, when
    /// `remembered_name` is not empty, puts it into the name field and loads it. Answers
    /// whether a name was put in; when not, the window applies its built-in defaults.
    bool Open(const std::string& remembered_name);

    /// Empties the drop-down list and its name field and fills the list from the index. When
    /// the index cannot be read (reported), the list keeps what it showed.
    void LoadConfigurationList();

    /// An entry was picked from the drop-down: loads the configuration of the name field's
    /// text. A missing, short or malformed file leaves the settings as they are. Then clears the
    /// marker, resets the run display and empties the results list.
    void ConfigurationPicked();

    /// Save: writes the configuration of the name field's text and the index, refills the list
    /// and puts the name back, then clears the marker. Answers false when a write failed: the
    /// failure was reported and nothing else changed.
    bool SaveClicked();

    /// Delete: asks, then takes the selected entry out of the list and the index; its file
    /// stays. The marker is not touched.
    void DeleteClicked();

    /// Restore: asks, then appends the names of unlisted configuration files to the list. The
    /// index is written by the next save. The marker is not touched.
    void RestoreClicked();

    /// Every change notification of the settings controls and the name field calls this.
    void MarkSettingsChanged();
    void ClearSettingsChanged();
    bool SettingsChanged() const { return settings_changed_; }

  private:
    ConfigurationStore& store_;
    ConfigurationForm& form_;
    MessagePort& messages_;
    bool settings_changed_ = false;
};

}  // namespace tidemark
