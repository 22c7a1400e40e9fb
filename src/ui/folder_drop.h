#pragma once

#include <QObject>
#include <optional>
#include <string>

#include "engine/file_system_port.h"

class QLineEdit;
class QMimeData;
class QWidget;

namespace tidemark::ui {

/// Lets one item from the file manager be dropped onto a location box or its "..." button: a
/// folder (or a link to one) puts its path into the box, a file the path of its folder.
/// Anything else is refused, so the drag shows the no-drop cursor. The drop is taken as a link:
/// nothing is copied or moved.
class FolderDrop final : public QObject {
  public:
    /// Watches `box` and `button`, which outlive this (it is a child of `parent`).
    FolderDrop(FileSystemPort& fs, QLineEdit& box, QWidget& button, QObject* parent);

    /// The folder a drop of `data` names; nullopt when it names none.
    std::optional<std::string> DroppedFolder(const QMimeData& data) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    FileSystemPort& fs_;
    QLineEdit& box_;
};

}  // namespace tidemark::ui
