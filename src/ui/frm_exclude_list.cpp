#include "ui/frm_exclude_list.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "ui/main_window_layout.h"
#include "ui/twips.h"

namespace tidemark::ui {

namespace {

// The designed window in twips. Its outer size exceeds the client area by 20 twips in width
// and 500 in height (what its own numbers imply); the rules below speak of the outer size.
constexpr double kEditorFrameWidth = 20;
constexpr double kEditorFrameHeight = 500;
constexpr double kEditorOuterWidth = 6200;
constexpr double kEditorMinimumOuterHeight = 4000;
constexpr double kEditorDesignedClientHeight = 6165;
constexpr double kDescriptionHeight = 555;

static_assert(kExcludeListClientWidth == (kEditorOuterWidth - kEditorFrameWidth) / kTwipsPerPixel);

}  // namespace

ExcludeListLayout LayoutExcludeListWindow(int client_height, int extra_label_height) {
    const double h =
        std::max(client_height * kTwipsPerPixel + kEditorFrameHeight, kEditorMinimumOuterHeight);
    const double extra = extra_label_height * kTwipsPerPixel;
    ExcludeListLayout layout;
    layout.lbl_description = PixelRect(60, 60, 6015, kDescriptionHeight + extra);
    layout.txt_exclude_list = PixelRect(60, 660 + extra, 6015, h - 1850 - extra);
    layout.cmd_save = PixelRect(1020, h - 1100, 1215, 495);
    layout.cmd_close = PixelRect(3780, h - 1100, 1215, 495);
    return layout;
}

FrmExcludeList::FrmExcludeList(TextFilePort& files, MessagePort& messages, const std::string& path,
                               ExcludeList& exclude_list, QWidget* parent)
    : QDialog(parent), editor_(files, messages, path, exclude_list, *this) {
    setObjectName(QStringLiteral("frmExcludeList"));
    setWindowTitle(QStringLiteral("Exclude Files and Folders List"));
    setModal(true);

    lbl_description_ = new QLabel(
        QStringLiteral("Any file or folder that matches any item on the following list (one "
                       "item per line) will not be processed (in any way) by the synchronizer."),
        this);
    lbl_description_->setObjectName(QStringLiteral("lblDescription"));
    lbl_description_->setWordWrap(true);
    lbl_description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int designed_label = Pixels(kDescriptionHeight);
    extra_label_height_ =
        std::max(0, lbl_description_->heightForWidth(Pixels(6015)) - designed_label);

    txt_exclude_list_ = new QPlainTextEdit(this);
    txt_exclude_list_->setObjectName(QStringLiteral("txtExcludeList"));
    txt_exclude_list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt_exclude_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt_exclude_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    cmd_save_ = new QPushButton(QStringLiteral("Save"), this);
    cmd_save_->setObjectName(QStringLiteral("cmdSave"));
    cmd_close_ = new QPushButton(QStringLiteral("Close"), this);
    cmd_close_->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* button : {cmd_save_, cmd_close_}) {
        button->setAutoDefault(false);
    }
    cmd_save_->setEnabled(false);

    connect(txt_exclude_list_, &QPlainTextEdit::textChanged, this,
            [this] { editor_.TextChanged(); });
    connect(cmd_save_, &QPushButton::clicked, this, [this] { editor_.SaveClicked(); });
    connect(cmd_close_, &QPushButton::clicked, this, &QDialog::reject);

    setFixedWidth(kExcludeListClientWidth);
    setMinimumHeight(kExcludeListMinimumClientHeight + extra_label_height_);
    resize(kExcludeListClientWidth, Pixels(kEditorDesignedClientHeight) + extra_label_height_);
    editor_.Opened();
    txt_exclude_list_->setFocus();
}

bool FrmExcludeList::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        editor_.Activated();
    }
    return QDialog::event(event);
}

void FrmExcludeList::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Not every platform activates a window it shows; the opening rule must hold all the same.
    editor_.Activated();
}

void FrmExcludeList::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const ExcludeListLayout layout =
        LayoutExcludeListWindow(event->size().height(), extra_label_height_);
    lbl_description_->setGeometry(layout.lbl_description);
    txt_exclude_list_->setGeometry(layout.txt_exclude_list);
    cmd_save_->setGeometry(layout.cmd_save);
    cmd_close_->setGeometry(layout.cmd_close);
}

std::string FrmExcludeList::ExcludeText() {
    // The raw text keeps no-break spaces, which the plain text would turn into spaces; blocks
    // are separated by paragraph separators there.
    QString text = txt_exclude_list_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return text.toStdString();
}

void FrmExcludeList::SetExcludeText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txt_exclude_list_->setPlainText(shown);
}

void FrmExcludeList::SetSaveEnabled(bool enabled) {
    cmd_save_->setEnabled(enabled);
}

void ShowExcludeListEditor(TextFilePort& files, MessagePort& messages, const std::string& path,
                           ExcludeList& exclude_list, QWidget* parent) {
    FrmExcludeList editor(files, messages, path, exclude_list, parent);
    editor.exec();
}

}  // namespace tidemark::ui
