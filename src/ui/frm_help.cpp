#include "ui/frm_help.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/main_window_layout.h"
#include "ui/tidemark_icon.h"
#include "ui/twips.h"

namespace tidemark::ui {

namespace {

// The designed client area and the smallest outer size, in twips.
constexpr double kClientWidth = 11175;
constexpr double kClientHeight = 8070;
constexpr double kMinimumOuterWidth = 3000;
constexpr double kMinimumOuterHeight = 2000;
constexpr double kButtonWidth = 1500;
constexpr double kButtonHeight = 435;

}  // namespace

HelpLayout LayoutHelpWindow(QSize client, double button_width) {
    // The rules speak of the outer size; the frame is counted as the main window counts it.
    const double w = std::max(Twips(client.width()) + kFrameWidth, kMinimumOuterWidth);
    const double h = std::max(Twips(client.height()) + kFrameHeight, kMinimumOuterHeight);
    button_width = std::max(button_width, kButtonWidth);
    const double donate_left = (w - (2 * button_width + 1000)) / 2;
    HelpLayout layout;
    layout.txt_help = PixelRect(60, 420, w - 250, h - 1400);
    layout.cmd_donate = PixelRect(donate_left, h - 900, button_width, kButtonHeight);
    layout.cmd_close =
        PixelRect(donate_left + button_width + 900, h - 900, button_width, kButtonHeight);
    return layout;
}

FrmHelp::FrmHelp(const std::string& help_text, ShellPort& shell, std::string donation_address,
                 QWidget* parent)
    : QDialog(parent), shell_(shell), donation_address_(std::move(donation_address)) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Help!"));
    setWindowIcon(TidemarkIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(true);

    lbl_title_ = new QLabel(QStringLiteral("Tidemark Help"), this);
    lbl_title_->setObjectName(QStringLiteral("lblTitle"));
    QFont title_font = lbl_title_->font();
    title_font.setPointSizeF(12);
    title_font.setBold(true);
    lbl_title_->setFont(title_font);
    lbl_title_->setGeometry(PixelRect(60, 60, 4515, 315));

    txt_help_ = new QPlainTextEdit(this);
    txt_help_->setObjectName(QStringLiteral("txtHelp"));
    QFont text_font = txt_help_->font();
    text_font.setPointSizeF(9.75);
    txt_help_->setFont(text_font);
    txt_help_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt_help_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The text is there to be read and copied; edits would never be used.
    txt_help_->setReadOnly(true);
    txt_help_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QString text = QString::fromStdString(help_text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txt_help_->setPlainText(text);

    cmd_donate_ = new QPushButton(QStringLiteral("Please Donate!"), this);
    cmd_donate_->setObjectName(QStringLiteral("cmdDonate"));
    cmd_close_ = new QPushButton(QStringLiteral("Close"), this);
    cmd_close_->setObjectName(QStringLiteral("cmdClose"));
    // Enter in the text must not open a web page.
    for (QPushButton* button : {cmd_donate_, cmd_close_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(cmd_donate_, &QPushButton::clicked, this, &FrmHelp::DonateClicked);
    connect(cmd_close_, &QPushButton::clicked, this, &QDialog::close);

    setMinimumSize(Pixels(kMinimumOuterWidth - kFrameWidth),
                   Pixels(kMinimumOuterHeight - kFrameHeight));
    resize(Pixels(kClientWidth), Pixels(kClientHeight));
    txt_help_->setFocus();
}

QString FrmHelp::HelpText() const {
    return txt_help_->toPlainText();
}

void FrmHelp::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // A large desktop font widens both buttons alike rather than clip their captions.
    const int caption_width =
        std::max(cmd_donate_->sizeHint().width(), cmd_close_->sizeHint().width());
    const HelpLayout layout = LayoutHelpWindow(event->size(), Twips(caption_width));
    txt_help_->setGeometry(layout.txt_help);
    cmd_donate_->setGeometry(layout.cmd_donate);
    cmd_close_->setGeometry(layout.cmd_close);
}

void FrmHelp::DonateClicked() {
    shell_.Open(donation_address_);
}

HelpWindow::HelpWindow(const HelpTexts& texts, const LocaleNumberFormat& format, ShellPort& shell,
                       std::string donation_address)
    : texts_(texts),
      format_(format),
      shell_(shell),
      donation_address_(std::move(donation_address)) {}

FrmHelp& HelpWindow::Show(double usage_counter, QWidget* parent) {
    if (window_ != nullptr && !window_->isVisible()) {
        // Closed (Escape hides a dialog) but not yet deleted: it is done with all the same.
        window_->deleteLater();
        window_ = nullptr;
    }
    if (window_ == nullptr) {
        window_ = new FrmHelp(ComposeHelpText(texts_, usage_counter, format_), shell_,
                              donation_address_, parent);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    return *window_;
}

void HelpWindow::ShowReminder(double usage_counter, std::function<void()> closed) {
    if (window_ != nullptr) {
        // Only the start-up reminder asks, and nothing is open then; a window opened earlier
        // is closed so that the reminder shows the figures of now.
        window_->close();
    }
    window_ =
        new FrmHelp(ComposeHelpText(texts_, usage_counter, format_), shell_, donation_address_);
    window_->setWindowModality(Qt::ApplicationModal);
    // Emitted once the window is hidden and no longer modal, before it is deleted.
    QObject::connect(window_, &QDialog::finished, window_, [closed = std::move(closed)] {
        if (closed) {
            closed();
        }
    });
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void ShowMainWindow(QWidget& main_window, HelpWindow& help, double usage_counter,
                    bool reminder_due) {
    // Nothing waits here: the Help window, then the main window, are served by the
    // application's event loop alone.
    if (reminder_due) {
        help.ShowReminder(usage_counter, [&main_window] { main_window.show(); });
    } else {
        main_window.show();
    }
}

}  // namespace tidemark::ui
