#include "ui/frm_about.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <thread>
#include <utility>

#include "app/application_state.h"
#include "ui/link_label.h"
#include "ui/tidemark_icon.h"

#ifndef TIDEMARK_VERSION_MAJOR
#define TIDEMARK_VERSION_MAJOR 0
#define TIDEMARK_VERSION_MINOR 0
#endif
#ifndef TIDEMARK_VERSION_PATCH
#define TIDEMARK_VERSION_PATCH 0
#endif

namespace tidemark::ui {

namespace {

constexpr const char* kDeveloper = "Developer:  The Tidemark team";
constexpr const char* kCompany = "Company:  Kestrelwick";
constexpr const char* kLegalNotice =
    "Tidemark is free to use and comes without warranty of any kind. Keep a separate copy of "
    "any file you cannot afford to lose.";

// The text column is wider than designed so that the description fits at today's font sizes.
constexpr int kTextColumnWidth = 360;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

std::string ProgramVersion() {
    return std::to_string(TIDEMARK_VERSION_MAJOR) + "." + std::to_string(TIDEMARK_VERSION_MINOR) +
           "." + std::to_string(TIDEMARK_VERSION_PATCH);
}

FrmAbout::FrmAbout(const AboutInfo& info, AboutPorts ports, QWidget* parent)
    : QDialog(parent), ports_(std::move(ports)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + QString::fromUtf8(kApplicationTitle));
    const QIcon icon = TidemarkIcon();
    setWindowIcon(icon);
    setAttribute(Qt::WA_DeleteOnClose);

    pic_icon_ = NewLabel("picIcon", {}, this);
    pic_icon_->setPixmap(icon.pixmap(48, 48));
    pic_icon_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lbl_title_ = NewLabel("lblTitle", QString::fromUtf8(kApplicationTitle), this);
    QFont title_font = lbl_title_->font();
    title_font.setPointSizeF(16);
    title_font.setBold(true);
    lbl_title_->setFont(title_font);

    lbl_version_ = NewLabel("lblVersion", QStringLiteral("Version ") + Text(info.version), this);
    lbl_description_ = NewLabel("lblDescription", Text(info.description), this);
    lbl_description_->setWordWrap(true);
    lbl_developer_ = NewLabel("lblDeveloper", QString::fromUtf8(kDeveloper), this);
    lbl_company_ = NewLabel("lblCompany", QString::fromUtf8(kCompany), this);

    lbl_website_ = new LinkLabel(QString::fromUtf8(kWebSiteAddress), this);
    lbl_website_->setObjectName(QStringLiteral("lblWebsite"));
    lbl_website_->setTextFormat(Qt::PlainText);
    lbl_website_->setAlignment(Qt::AlignHCenter);
    StyleAsLink(*lbl_website_);
    connect(lbl_website_, &LinkLabel::clicked, this, &FrmAbout::WebsiteClicked);

    // The etched separator: a grey line over a white one.
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    lbl_disclaimer_ = NewLabel("lblDisclaimer", QString::fromUtf8(kLegalNotice), this);
    lbl_disclaimer_->setWordWrap(true);

    cmd_ok_ = new QPushButton(QStringLiteral("OK"), this);
    cmd_ok_->setObjectName(QStringLiteral("cmdOK"));
    cmd_ok_->setDefault(true);  // Enter; Escape closes a dialog as the cancel button would
    connect(cmd_ok_, &QPushButton::clicked, this, &QDialog::close);

    cmd_sys_info_ = new QPushButton(QStringLiteral("&System Info..."), this);
    cmd_sys_info_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmd_sys_info_->setAutoDefault(false);
    connect(cmd_sys_info_, &QPushButton::clicked, this, &FrmAbout::SysInfoClicked);

    auto* text_column = new QVBoxLayout;
    text_column->setSpacing(6);
    text_column->addWidget(lbl_title_);
    text_column->addWidget(lbl_version_);
    text_column->addSpacing(6);
    text_column->addWidget(lbl_description_);
    text_column->addSpacing(6);
    text_column->addWidget(lbl_developer_);
    text_column->addWidget(lbl_company_);
    text_column->addWidget(lbl_website_);
    lbl_description_->setFixedWidth(kTextColumnWidth);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmd_ok_);
    buttons->addWidget(cmd_sys_info_);
    buttons->addStretch();
    const int button_width =
        std::max(cmd_ok_->sizeHint().width(), std::max(cmd_sys_info_->sizeHint().width(), 90));
    cmd_ok_->setFixedWidth(button_width);
    cmd_sys_info_->setFixedWidth(button_width);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    grid->addWidget(pic_icon_, 0, 0, Qt::AlignTop);
    grid->addLayout(text_column, 0, 1, 1, 2);
    grid->addWidget(line, 1, 0, 1, 3);
    grid->addWidget(lbl_disclaimer_, 2, 0, 1, 2, Qt::AlignTop);
    grid->addLayout(buttons, 2, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    cmd_ok_->setFocus();
}

void FrmAbout::AutoClose(int seconds) {
    QPointer<FrmAbout> self(this);
    const double start = ports_.clock.Seconds();
    show();
    raise();
    while (ports_.clock.Seconds() - start < seconds) {
        QApplication::processEvents();
        if (self == nullptr || !self->isVisible()) {
            return;  // the user closed it first
        }
        if (ports_.sleep) {
            ports_.sleep(std::chrono::milliseconds(100));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    close();
}

void FrmAbout::WebsiteClicked() {
    ports_.shell.Open(lbl_website_->text().toStdString());
}

void FrmAbout::SysInfoClicked() {
    // The message box runs an event loop of its own, in which this window can be closed (OK,
    // Escape, the accessibility bus). The box may be its child and this handler runs on, so the
    // window outlives the box and goes only once the message is answered.
    message_open_ = true;
    setAttribute(Qt::WA_DeleteOnClose, false);
    StartSysInfo(ports_.launcher, ports_.messages);
    setAttribute(Qt::WA_DeleteOnClose, true);
    message_open_ = false;
    if (!isVisible()) {
        deleteLater();
    }
}

AboutWindow::AboutWindow(AboutInfo info, AboutPorts ports)
    : info_(std::move(info)), ports_(std::move(ports)) {}

FrmAbout& AboutWindow::Show(QWidget* parent) {
    if (window_ != nullptr && !window_->isVisible() && !window_->MessageOpen()) {
        window_->deleteLater();  // closed with Escape: hidden, not yet deleted
        window_ = nullptr;
    }
    if (window_ == nullptr) {
        window_ = new FrmAbout(info_, ports_, parent);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    return *window_;
}

void AboutWindow::Farewell(int seconds) {
    if (window_ == nullptr || (!window_->isVisible() && !window_->MessageOpen())) {
        if (window_ != nullptr) {
            window_->deleteLater();
        }
        window_ = new FrmAbout(info_, ports_);
    }
    window_->AutoClose(seconds);
}

}  // namespace tidemark::ui
