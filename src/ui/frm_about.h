#pragma once

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <functional>
#include <string>

#include "app/shell_port.h"
#include "app/sys_info.h"
#include "engine/clock.h"
#include "engine/messages.h"

class QLabel;
class QPushButton;

namespace tidemark::ui {

class LinkLabel;

/// The company's web site, shown and opened by the About window.
inline constexpr const char* kWebSiteAddress = "https://tidemark.example.org/";

/// "major.minor.revision" of this build, from the project version.
std::string ProgramVersion();

/// What the About window shows that is not fixed.
struct AboutInfo {
    /// The description of the program (HelpIntroText).
    std::string description;
    /// "major.minor.revision".
    std::string version = ProgramVersion();
};

/// What the About window works with; all of it outlives the window.
struct AboutPorts {
    ShellPort& shell;
    MessagePort& messages;
    ProgramLauncher& launcher;
    /// Measures the farewell.
    Clock& clock;
    /// Waits between the farewell's rounds; empty for the thread's own sleep.
    std::function<void(std::chrono::milliseconds)> sleep;
};

/// The About window: name, version, description, developer, company, web site, a legal notice,
/// OK and "System Info...".
class FrmAbout final : public QDialog {
    Q_OBJECT

  public:
    FrmAbout(const AboutInfo& info, AboutPorts ports, QWidget* parent = nullptr);

    /// The farewell at exit: shows the window, keeps it up for `seconds` while letting events
    /// run (rounds of 100 ms), then closes it. Returns early when the user closes it first.
    void AutoClose(int seconds);

    /// Whether the window waits for the answer to a message it showed; until then it is not
    /// deleted, even when closed.
    bool MessageOpen() const { return message_open_; }

  private:
    void WebsiteClicked();
    void SysInfoClicked();

    AboutPorts ports_;
    QLabel* pic_icon_ = nullptr;
    QLabel* lbl_title_ = nullptr;
    QLabel* lbl_version_ = nullptr;
    QLabel* lbl_description_ = nullptr;
    QLabel* lbl_developer_ = nullptr;
    QLabel* lbl_company_ = nullptr;
    LinkLabel* lbl_website_ = nullptr;
    QLabel* lbl_disclaimer_ = nullptr;
    QPushButton* cmd_ok_ = nullptr;
    QPushButton* cmd_sys_info_ = nullptr;
    bool message_open_ = false;
};

/// Keeps the one About window of the program.
class AboutWindow {
  public:
    AboutWindow(AboutInfo info, AboutPorts ports);

    /// The About link: opens the window without blocking, or brings the open one to the front.
    FrmAbout& Show(QWidget* parent = nullptr);

    /// The close sequence's farewell: the About window (the open one, or a new one) alone on
    /// screen for `seconds`, then closed.
    void Farewell(int seconds = 2);

    /// The open window, or nullptr.
    FrmAbout* Window() const { return window_.data(); }

  private:
    AboutInfo info_;
    AboutPorts ports_;
    QPointer<FrmAbout> window_;
};

}  // namespace tidemark::ui
