#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/application_state.h"
#include "app/folder_picker_port.h"
#include "app/run_log.h"
#include "app/settings_store.h"
#include "app/shell_port.h"
#include "engine/clock.h"
#include "engine/file_system_port.h"
#include "engine/run_controller.h"
#include "engine/run_report.h"
#include "ui/caption_fit.h"
#include "ui/main_window_layout.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tidemark::ui {

class LinkLabel;
class ResultsList;
class ResultsModel;
class WindowRunView;

/// What the main window works with; all of it outlives the window.
struct MainWindowPorts {
    FileSystemPort& fs;
    Clock& clock;
    TextFormat& format;
    SettingsStore& settings;
    ShellPort& shell;
    MessagePort& messages;
    FolderPickerPort& picker;
    ApplicationState& state;
    /// The folder that holds the configurations and the exclude list.
    std::string program_folder;
    /// The built-in Source and Destination, and where the folder chooser starts when a box
    /// names no existing folder.
    std::string home_folder;
    /// The threads that work for a run.
    RunConcurrency concurrency = {};
    /// Writes the file chosen by "Save As..." of the results list; none offers no saving.
    TextFilePort* files = nullptr;
    /// The log every run appends its lines to; none keeps no log.
    RunLog* run_log = nullptr;
};

/// The other windows and the configuration commands, which the main window calls but does not
/// own. A hook left empty does nothing, except `end_program`, which defaults to leaving the
/// event loop.
struct MainWindowHooks {
    std::function<void()> show_help;          ///< lblHelp: the Help window, modeless
    std::function<void()> show_about;         ///< lblAbout: the About window, modeless
    std::function<void()> show_exclude_list;  ///< lblExcludeList: the editor, modal
    /// Last step of the load, before the window shows: the start-up reminder.
    std::function<void()> start_up_reminder;
    /// Close sequence, once the window is hidden: the exit reminder, then the farewell.
    std::function<void()> exit_reminder;
    std::function<void()> farewell;

    /// Fills the list of cboConfiguration.
    std::function<void()> load_configuration_list;
    /// Loads the configuration named in cboConfiguration into the controls (also at load,
    /// for the remembered name).
    std::function<void()> configuration_selected;
    /// The text of cboConfiguration was typed.
    std::function<void()> configuration_edited;
    std::function<void()> save_configuration;
    std::function<void()> delete_configuration;
    std::function<void()> restore_configurations;

    std::function<void()> end_program;

    /// "Save As..." of the results list: the file to write, starting from `suggested`; empty
    /// when cancelled. Defaults to the desktop's file dialog.
    std::function<std::string(const std::string& suggested)> choose_results_file;
};

/// The main window: the settings of a run, the run itself, its results and the links to the
/// other windows.
class FrmSynchronize final : public QWidget {
    Q_OBJECT

  public:
    FrmSynchronize(MainWindowPorts ports, MainWindowHooks hooks = {});
    ~FrmSynchronize() override;

    /// The load sequence: geometry, caption, configurations folder and list, the remembered
    /// configuration or the built-in defaults, link styles, ResetRun, an unchanged marker and
    /// the start-up reminder. Runs once, before the window is first shown.
    void Load();

    MainWindowHooks& Hooks() { return hooks_; }

    /// The settings as the controls hold them.
    SyncSettings CurrentSettings() const;
    /// Puts the settings into the controls; their change handlers run as for a user's edit.
    void ApplySettings(const SyncSettings& settings);
    QComboBox& ConfigurationBox() { return *cbo_configuration_; }

    bool SettingsChanged() const { return settings_changed_; }
    /// Sets the unsaved-settings marker: "*Save" in bold.
    void MarkSettingsChanged();
    void ClearSettingsChanged();

    /// Counters, flags, status line "Ready!", progress bar and style description back to
    /// their start.
    void ResetRun();
    void ClearResults();
    bool IsRunning() const { return running_; }

    /// The style description for the selected style; left unchanged when none is selected.
    void UpdateDescription();

    /// The window's places in twips after the last layout, by control name.
    const Placement& CurrentPlacement() const { return placement_; }
    /// The run view the engine writes to.
    WindowRunView& View();
    const RunController& Controller() const { return *controller_; }

  public Q_SLOTS:
    void SynchronizeNowClicked();
    void PauseClicked();
    void StopClicked();
    /// The "..." buttons: 0 for the Source box, 1 for the Destination box.
    void BrowseClicked(int element);
    /// Double-click on a results line: offers to open the path the line names.
    void LaunchFromLine(int row);
    void ConfigSaveClicked();
    void ConfigDeleteClicked();
    void ConfigRestoreClicked();
    /// "Save As..." of the results list: writes the shown lines to a chosen file.
    void SaveResultsAs();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void ConnectHandlers();
    void SetTabOrder();
    void ApplyBuiltInDefaults();
    void RestoreWindowGeometry();
    void SaveWindowGeometry();
    void StorePersistentValues();
    /// The anchoring rules of the designed layout for this client size, with room made for
    /// captions that need more than their designed boxes.
    PixelPlacement PlaceControls(int client_width, int client_height, const CaptionNeeds& needs,
                                 Placement& places) const;
    CaptionNeeds MeasureCaptions() const;
    /// The designed minimum, widened until every caption fits.
    void UpdateMinimumSize();
    void LayoutMainWindow();
    static void Call(const std::function<void()>& hook);

    MainWindowPorts ports_;
    MainWindowHooks hooks_;

    QWidget* frm_controls_ = nullptr;
    QComboBox* cbo_configuration_ = nullptr;
    QPushButton* cmd_config_save_ = nullptr;
    QPushButton* cmd_config_del_ = nullptr;
    QPushButton* cmd_config_restore_ = nullptr;
    QComboBox* cbo_style_ = nullptr;
    QLabel* lbl_description_ = nullptr;
    QLineEdit* txt_source_ = nullptr;
    QLineEdit* txt_destination_ = nullptr;
    std::array<QPushButton*, 2> cmd_file_{};
    QCheckBox* chk_use_exclude_list_ = nullptr;
    LinkLabel* lbl_exclude_list_ = nullptr;
    QCheckBox* chk_ignore_hidden_ = nullptr;
    QCheckBox* chk_ignore_system_ = nullptr;
    QCheckBox* chk_log_ignored_ = nullptr;
    QCheckBox* chk_reverse_sync_ = nullptr;
    QCheckBox* chk_preview_ = nullptr;
    QPushButton* cmd_synchronize_ = nullptr;
    QPushButton* cmd_pause_ = nullptr;
    QPushButton* cmd_stop_ = nullptr;
    QLabel* lbl_approx_ = nullptr;
    QLabel* lbl_time_remaining_ = nullptr;
    QLabel* lbl_calculated_time_msg_ = nullptr;
    LinkLabel* lbl_help_ = nullptr;
    LinkLabel* lbl_about_ = nullptr;
    LinkLabel* lbl_donate_ = nullptr;
    QLabel* lbl_output_ = nullptr;
    ResultsModel* results_model_ = nullptr;
    ResultsList* lst_results_ = nullptr;
    QProgressBar* progress_bar_ = nullptr;
    std::map<std::string, QWidget*> controls_by_name_;

    std::unique_ptr<WindowRunView> run_view_;
    std::unique_ptr<RunController> controller_;
    Placement placement_;
    bool settings_changed_ = false;
    bool running_ = false;
    bool closing_ = false;
    /// The window was asked to close during a run; it closes when the run has returned.
    bool close_requested_ = false;
};

}  // namespace tidemark::ui
