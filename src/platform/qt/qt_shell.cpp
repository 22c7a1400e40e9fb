#include "platform/qt/qt_shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace tidemark {

bool QtShell::Open(const std::string& target) {
    const QString text = QString::fromStdString(target);
    // Anything with a scheme is an address; everything else is a path, whatever characters
    // ("#", "?", "%") its name holds.
    const bool address =
        text.contains(QStringLiteral("://")) || text.startsWith(QStringLiteral("mailto:"));
    return QDesktopServices::openUrl(address ? QUrl(text) : QUrl::fromLocalFile(text));
}

}  // namespace tidemark
