#include "ui/folder_drop.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace tidemark::ui {

FolderDrop::FolderDrop(FileSystemPort& fs, QLineEdit& box, QWidget& button, QObject* parent)
    : QObject(parent), fs_(fs), box_(box) {
    button.setAcceptDrops(true);
    box.setAcceptDrops(true);
    button.installEventFilter(this);
    box.installEventFilter(this);
}

std::optional<std::string> FolderDrop::DroppedFolder(const QMimeData& data) const {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return std::nullopt;
    }
    const std::string path = urls.front().toLocalFile().toStdString();
    if (path.empty()) {
        return std::nullopt;
    }
    if (fs_.ResolveFolder(path)) {
        return path;
    }
    const Result<std::optional<FileStatus>> file = fs_.FindFile(path);
    if (!file || !*file) {
        return std::nullopt;
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool FolderDrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QObject::eventFilter(watched, event);
    }
    // The box's own handling would take any text; only a folder is taken here.
    auto* drop = static_cast<QDropEvent*>(event);
    const std::optional<std::string> folder = DroppedFolder(*drop->mimeData());
    const Qt::DropActions possible = drop->possibleActions();
    // Never a move: the file manager would then remove what was dropped.
    const Qt::DropAction action = (possible & Qt::LinkAction)   ? Qt::LinkAction
                                  : (possible & Qt::CopyAction) ? Qt::CopyAction
                                                                : Qt::IgnoreAction;
    if (!folder || action == Qt::IgnoreAction) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(action);
    drop->accept();
    if (type == QEvent::Drop) {
        box_.setText(QString::fromStdString(*folder));
    }
    return true;
}

}  // namespace tidemark::ui
