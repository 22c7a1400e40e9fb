#include "ui/browse_for_folder.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace tidemark::ui {

std::string QtFolderPicker::BrowseForFolder(const std::string& start_folder,
                                            const std::string& title) {
    QFileDialog dialog(QApplication::activeWindow(),
                       QString::fromStdString(title.empty() ? kDefaultPickerTitle : title));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Opened inside the start folder, so that OK without another choice answers it.
    dialog.setDirectory(QString::fromStdString(start_folder));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || !QFileInfo(chosen.front()).isDir()) {
        return {};
    }
    return chosen.front().toStdString();
}

}  // namespace tidemark::ui
