#include "ui/link_label.h"

#include <QMouseEvent>

namespace tidemark::ui {

void StyleAsLink(QLabel& label) {
    QPalette palette = label.palette();
    // A disabled link keeps the style's disabled colour, so that it does not look live.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, QColor(0, 0, 255));
    }
    label.setPalette(palette);
    QFont font = label.font();
    font.setUnderline(true);
    label.setFont(font);
    label.setCursor(Qt::WhatsThisCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

}  // namespace tidemark::ui
