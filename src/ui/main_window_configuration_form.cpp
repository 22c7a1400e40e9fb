#include "ui/main_window_configuration_form.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "ui/frm_synchronize.h"

namespace tidemark::ui {

std::string MainWindowConfigurationForm::ConfigurationName() {
    return window_.ConfigurationBox().currentText().toStdString();
}

void MainWindowConfigurationForm::SetConfigurationName(const std::string& name) {
    QComboBox& box = window_.ConfigurationBox();
    const QString text = QString::fromStdString(name);
    const int entry = box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0) {
        box.setCurrentIndex(entry);
    }
    box.setEditText(text);
}

std::vector<std::string> MainWindowConfigurationForm::ConfigurationEntries() {
    const QComboBox& box = window_.ConfigurationBox();
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(box.count()));
    for (int i = 0; i < box.count(); ++i) {
        names.push_back(box.itemText(i).toStdString());
    }
    return names;
}

void MainWindowConfigurationForm::SetConfigurationEntries(const std::vector<std::string>& names) {
    QComboBox& box = window_.ConfigurationBox();
    // Filling an empty combo box would otherwise select its first entry.
    const QSignalBlocker quiet(box);
    box.clear();
    for (const std::string& name : names) {
        box.addItem(QString::fromStdString(name));
    }
    box.setCurrentIndex(-1);
    box.setEditText(QString());
}

void MainWindowConfigurationForm::AppendConfigurationEntry(const std::string& name) {
    QComboBox& box = window_.ConfigurationBox();
    const QSignalBlocker quiet(box);
    const int selected = box.currentIndex();
    const QString text = box.currentText();
    box.addItem(QString::fromStdString(name));
    box.setCurrentIndex(selected);
    box.setEditText(text);
}

void MainWindowConfigurationForm::RemoveConfigurationEntry(int position) {
    QComboBox& box = window_.ConfigurationBox();
    const QSignalBlocker quiet(box);
    box.removeItem(position);
    box.setCurrentIndex(-1);
    box.setEditText(QString());
}

int MainWindowConfigurationForm::SelectedConfigurationEntry() {
    return window_.ConfigurationBox().currentIndex();
}

SyncSettings MainWindowConfigurationForm::ConfigurationValues() {
    return window_.CurrentSettings();
}

void MainWindowConfigurationForm::SetConfigurationValues(const SyncSettings& values) {
    window_.ApplySettings(values);
}

void MainWindowConfigurationForm::ShowSettingsChanged(bool changed) {
    if (changed) {
        window_.MarkSettingsChanged();
    } else {
        window_.ClearSettingsChanged();
    }
}

void MainWindowConfigurationForm::ResetRun() {
    window_.ResetRun();
}

void MainWindowConfigurationForm::ClearResults() {
    window_.ClearResults();
}

void ConnectConfigurationCommands(FrmSynchronize& window, ConfigurationCommands& commands) {
    // An editable combo box reports a typed text that matches an entry (ignoring case) as a
    // pick as soon as its field loses the focus, to Save for instance: the configuration would
    // be loaded over the user's unsaved settings. Only a pick from the list, or Return, loads.
    QComboBox& box = window.ConfigurationBox();
    QObject::disconnect(box.lineEdit(), &QLineEdit::editingFinished, &box, nullptr);

    MainWindowHooks& hooks = window.Hooks();
    hooks.load_configuration_list = [&commands] { commands.LoadConfigurationList(); };
    hooks.configuration_selected = [&commands] { commands.ConfigurationPicked(); };
    hooks.configuration_edited = [&commands] { commands.MarkSettingsChanged(); };
    hooks.save_configuration = [&commands] { (void)commands.SaveClicked(); };
    hooks.delete_configuration = [&commands] { commands.DeleteClicked(); };
    hooks.restore_configurations = [&commands] { commands.RestoreClicked(); };
}

}  // namespace tidemark::ui
