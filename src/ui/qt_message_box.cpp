#include "ui/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "app/application_state.h"

namespace tidemark::ui {

MessageAnswer QtMessageBox::ShowMessage(const std::string& text, MessageButtons buttons,
                                        MessageIcon icon) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromUtf8(kApplicationTitle));
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    box.setIcon(icon == MessageIcon::kQuestion   ? QMessageBox::Question
                : icon == MessageIcon::kCritical ? QMessageBox::Critical
                                                 : QMessageBox::NoIcon);
    switch (buttons) {
        case MessageButtons::kOk:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MessageButtons::kYesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MessageButtons::kYesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return MessageAnswer::kYes;
        case QMessageBox::No:
            return MessageAnswer::kNo;
        case QMessageBox::Cancel:
            return MessageAnswer::kCancel;
        case QMessageBox::Ok:
            return MessageAnswer::kOk;
        default:
            // Closed without a button: Escape or the title bar's close.
            return buttons == MessageButtons::kYesNoCancel ? MessageAnswer::kCancel
                   : buttons == MessageButtons::kYesNo     ? MessageAnswer::kNo
                                                           : MessageAnswer::kOk;
    }
}

}  // namespace tidemark::ui
