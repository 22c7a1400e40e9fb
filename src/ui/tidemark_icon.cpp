#include "ui/tidemark_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tidemark::ui {

QIcon TidemarkIcon() {
    // Rendered here rather than through the image plug-ins, so the icon cannot go missing when
    // a plug-in is not installed.
    QSvgRenderer renderer(QStringLiteral(":/icons/tidemark.svg"));
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace tidemark::ui
