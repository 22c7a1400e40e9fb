#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <functional>
#include <string>

#include "app/help_texts.h"
#include "app/shell_port.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tidemark::ui {

/// Where the Help window's resize rules put its controls, in pixels of the client area.
struct HelpLayout {
    QRect txt_help;
    QRect cmd_donate;
    QRect cmd_close;
};

/// The resize rules for a client area of that size: the text stretches, the two buttons stay
/// centred under it, 900 twips apart. The buttons are 1500 twips wide, or `button_width` twips
/// when their captions need more. The title never moves.
HelpLayout LayoutHelpWindow(QSize client, double button_width = 0);

/// The Help window: the donation section with the user's usage figures, the banner, the intro
/// and the help topics, with "Please Donate!" and "Close".
class FrmHelp final : public QDialog {
    Q_OBJECT

  public:
    /// `help_text` is the whole text with CR LF line breaks. It is shown as given: the window
    /// never refreshes it.
    FrmHelp(const std::string& help_text, ShellPort& shell, std::string donation_address,
            QWidget* parent = nullptr);

    /// The text as the window shows it.
    QString HelpText() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void DonateClicked();

    ShellPort& shell_;
    std::string donation_address_;
    QLabel* lbl_title_ = nullptr;
    QPlainTextEdit* txt_help_ = nullptr;
    QPushButton* cmd_donate_ = nullptr;
    QPushButton* cmd_close_ = nullptr;
};

/// Keeps the one Help window of the program and opens it with the usage figures of the
/// moment it opens.
class HelpWindow {
  public:
    /// Everything given must outlive this object.
    HelpWindow(const HelpTexts& texts, const LocaleNumberFormat& format, ShellPort& shell,
               std::string donation_address);

    /// The Help link: opens the window without blocking, filled for `usage_counter`. When it is
    /// already open it only comes to the front, keeping the figures it was opened with.
    FrmHelp& Show(double usage_counter, QWidget* parent = nullptr);

    /// The start-up reminder: opens the window modal to the whole program and returns at once;
    /// `closed` runs when the user has closed it. No event loop of its own runs meanwhile.
    void ShowReminder(double usage_counter, std::function<void()> closed);

    /// The open window, or nullptr.
    FrmHelp* Window() const { return window_.data(); }

  private:
    const HelpTexts& texts_;
    const LocaleNumberFormat& format_;
    ShellPort& shell_;
    std::string donation_address_;
    QPointer<FrmHelp> window_;
};

/// Shows the main window at start-up: at once, or, when the start-up reminder is due, once the
/// Help window it opens has been closed. It never waits, so that every window is served by the
/// application's one event loop from its first event on.
void ShowMainWindow(QWidget& main_window, HelpWindow& help, double usage_counter,
                    bool reminder_due);

}  // namespace tidemark::ui
