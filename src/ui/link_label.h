#pragma once

#include <QLabel>

namespace tidemark::ui {

/// Makes a label look like a link: blue text (0, 0, 255) while it is enabled, underlined, and
/// the pointer with the question mark over it.
void StyleAsLink(QLabel& label);

/// A label that can be clicked, as the program's link labels are.
class LinkLabel final : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

  Q_SIGNALS:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace tidemark::ui
