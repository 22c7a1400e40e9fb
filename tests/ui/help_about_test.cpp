#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "app/help_texts.h"
#include "app/reminders.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "ui/frm_about.h"
#include "ui/frm_help.h"
#include "ui/main_window_layout.h"

namespace tidemark::ui {
namespace {

using tidemark::testing::FakeClock;
using tidemark::testing::RecordingRunView;
using tidemark::testing::TemporaryFolder;

// Lets the deferred deletions of closed windows happen.
void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

template <typename T>
T& Child(QWidget& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        ADD_FAILURE() << "no control " << name;
        std::abort();
    }
    return *child;
}

class RecordingShell final : public ShellPort {
  public:
    std::vector<std::string> opened;
    bool Open(const std::string& target) override {
        opened.push_back(target);
        return true;
    }
};

class NoViewers final : public ProgramLauncher {
  public:
    int lookups = 0;
    std::string FindOnPath(const std::string&) override {
        ++lookups;
        return {};
    }
    Status StartDetached(const std::string&) override { return Failure{1002, "not found"}; }
};

std::string Plain(const QString& text) {
    return text.toStdString();
}

class HelpWindowTest : public ::testing::Test {
  protected:
    ~HelpWindowTest() override {
        if (FrmHelp* window = help.Window()) {
            window->close();
        }
        Settle();
    }

    HelpTexts texts = BuildHelpTexts();
    QtLocaleText english{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingShell shell;
    HelpWindow help{texts, english, shell, "https://example.org/give"};
};

TEST_F(HelpWindowTest, ShowsCaptionControlsAndTheWholeText) {
    FrmHelp& window = help.Show(0);
    EXPECT_EQ(window.objectName(), QStringLiteral("frmHelp"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Help!"));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(Child<QLabel>(window, "lblTitle").text(), QStringLiteral("Tidemark Help"));
    EXPECT_TRUE(Child<QLabel>(window, "lblTitle").font().bold());
    EXPECT_EQ(Child<QPushButton>(window, "cmdDonate").text(), QStringLiteral("Please Donate!"));
    EXPECT_EQ(Child<QPushButton>(window, "cmdClose").text(), QStringLiteral("Close"));
    std::string expected = ComposeHelpText(texts, 0, english);
    for (std::size_t at = expected.find("\r\n"); at != std::string::npos;
         at = expected.find("\r\n", at)) {
        expected.erase(at, 1);
    }
    EXPECT_EQ(Plain(Child<QPlainTextEdit>(window, "txtHelp").toPlainText()), expected);
}

TEST_F(HelpWindowTest, OpenWindowKeepsItsFiguresUntilClosed) {
    FrmHelp& first = help.Show(123456);
    EXPECT_TRUE(first.HelpText().contains(QStringLiteral("Total Files Processed: 123,456 files.")));
    EXPECT_TRUE(first.HelpText().contains(QStringLiteral("Suggested Donation: $1.23.")));

    // Runs went on meanwhile; the Help link only brings the open window back.
    FrmHelp& again = help.Show(1234567);
    EXPECT_EQ(&again, &first);
    EXPECT_TRUE(again.HelpText().contains(QStringLiteral("123,456 files.")));

    QTest::mouseClick(&Child<QPushButton>(first, "cmdClose"), Qt::LeftButton);
    Settle();
    EXPECT_EQ(help.Window(), nullptr);

    FrmHelp& fresh = help.Show(1234567);
    EXPECT_TRUE(fresh.HelpText().contains(QStringLiteral("Total Files Processed: 1,234,567")));
    EXPECT_TRUE(fresh.HelpText().contains(QStringLiteral("Suggested Donation: $12.35.")));
}

TEST_F(HelpWindowTest, EscapeClosesAndTheNextOpeningIsFresh) {
    FrmHelp& first = help.Show(5);
    QTest::keyClick(&first, Qt::Key_Escape);
    EXPECT_FALSE(first.isVisible());
    FrmHelp& second = help.Show(250000);
    EXPECT_TRUE(second.isVisible());
    EXPECT_TRUE(second.HelpText().contains(QStringLiteral("250,000 files.")));
    EXPECT_TRUE(second.HelpText().contains(QStringLiteral("$2.50.")));
}

TEST_F(HelpWindowTest, DonateOpensThePageAndStaysOpen) {
    FrmHelp& window = help.Show(0);
    QTest::mouseClick(&Child<QPushButton>(window, "cmdDonate"), Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/give"});
    EXPECT_TRUE(window.isVisible());
}

TEST_F(HelpWindowTest, ResizeKeepsTheLayoutRules) {
    FrmHelp& window = help.Show(0);
    const auto px = [](double twips) { return static_cast<int>(twips / kTwipsPerPixel + 0.5); };
    // Asked for 2000 × 1000 twips outer, the window snaps to 3000 × 2000.
    window.resize(px(2000 - kFrameWidth), px(1000 - kFrameHeight));
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(px(3000 - kFrameWidth), px(2000 - kFrameHeight)));
    const QPushButton& donate = Child<QPushButton>(window, "cmdDonate");
    const QPushButton& close = Child<QPushButton>(window, "cmdClose");
    EXPECT_EQ(donate.width(), px(1500));
    EXPECT_EQ(close.width(), px(1500));
    EXPECT_EQ(close.x() - (donate.x() + donate.width()), px(900));
    EXPECT_EQ(donate.y(), close.y());

    // Larger: the text stretches, the buttons stay centred below it, the title stays put.
    window.resize(900, 700);
    QApplication::processEvents();
    const QPlainTextEdit& text = Child<QPlainTextEdit>(window, "txtHelp");
    EXPECT_EQ(text.geometry().topLeft(), QPoint(px(60), px(420)));
    EXPECT_EQ(window.width() - text.geometry().right() - 1, px(250 - 60 - kFrameWidth));
    EXPECT_LT(text.geometry().bottom(), donate.y());
    EXPECT_LE(donate.geometry().bottom(), window.height());
    const int centre = (donate.x() + close.geometry().right() + 1) / 2;
    EXPECT_NEAR(centre, window.width() / 2, 4);
    EXPECT_EQ(Child<QLabel>(window, "lblTitle").pos(), QPoint(px(60), px(60)));
}

TEST_F(HelpWindowTest, NoCaptionIsClippedAtTheDesignedSize) {
    FrmHelp& window = help.Show(0);
    QApplication::processEvents();
    const QLabel& title = Child<QLabel>(window, "lblTitle");
    EXPECT_GE(title.width(), title.sizeHint().width());
    EXPECT_GE(title.height(), title.sizeHint().height());
    for (const char* name : {"cmdDonate", "cmdClose"}) {
        const QPushButton& button = Child<QPushButton>(window, name);
        EXPECT_GE(button.width(), button.sizeHint().width()) << name;
        EXPECT_GE(button.height(), button.sizeHint().height()) << name;
    }
}

TEST_F(HelpWindowTest, LargeDesktopFontWidensBothButtonsAlike) {
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() * 2);
    QApplication::setFont(large);
    FrmHelp& window = help.Show(0);
    QApplication::processEvents();
    const QPushButton& donate = Child<QPushButton>(window, "cmdDonate");
    const QPushButton& close = Child<QPushButton>(window, "cmdClose");
    QApplication::setFont(normal);

    EXPECT_GE(donate.width(), donate.sizeHint().width());
    EXPECT_EQ(close.width(), donate.width());
    EXPECT_EQ(close.x() - (donate.x() + donate.width()), 60);  // 900 twips
    EXPECT_NEAR((donate.x() + close.geometry().right() + 1) / 2, window.width() / 2, 4);
}

TEST_F(HelpWindowTest, StartUpReminderBlocksUntilClosed) {
    bool was_modal = false;
    QString shown;
    QTimer::singleShot(0, [&] {
        FrmHelp* window = help.Window();
        ASSERT_NE(window, nullptr);
        was_modal = window->isModal() && window->isVisible();
        shown = window->HelpText();
        window->close();
    });
    help.ShowModal(1234567);
    EXPECT_TRUE(was_modal);
    EXPECT_TRUE(shown.contains(QStringLiteral("1,234,567 files.")));
    Settle();
    EXPECT_EQ(help.Window(), nullptr);
}

// The counter and the reminder date written at close, read back at the next start from a real
// settings file, give the figures of the next Help window.
TEST_F(HelpWindowTest, FiguresAndReminderDateSurviveARealSettingsFile) {
    TemporaryFolder folder;
    const std::string ini = folder / "Tidemark.ini";
    {
        QtSettingsStore store(ini);
        ASSERT_TRUE(StoreUsageCounter(store, UsageCounterAfterRun(1234000, 567)));
        LocalDateTime when;
        when.date = std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::month{2},
                                                std::chrono::day{29}};
        when.hour = 23;
        class Fixed final : public LocalCalendar {
          public:
            explicit Fixed(LocalDateTime at) : at_(at) {}
            LocalDateTime Now() override { return at_; }
            std::optional<LocalDateTime> ParseLocaleDateTime(const std::string&) override {
                return std::nullopt;
            }

          private:
            LocalDateTime at_;
        } calendar(when);
        ASSERT_TRUE(RunExitReminder(store, calendar, shell, kZeroDate));
    }
    QtSettingsStore reopened(ini);
    const double counter = ReadUsageCounter(reopened);
    EXPECT_EQ(counter, 1234567.0);
    const LocalDateTime last = ReadLastReminderDate(reopened, english);
    EXPECT_EQ(StoredDateText(last), "2024-02-29T23:00:00");

    FrmHelp& window = help.Show(counter);
    EXPECT_TRUE(window.HelpText().contains(QStringLiteral("1,234,567 files.")));
    EXPECT_TRUE(window.HelpText().contains(QStringLiteral("$12.35.")));

    // A German desktop groups with full stops and writes a decimal comma.
    QtLocaleText german{QLocale(QLocale::German, QLocale::Germany)};
    EXPECT_EQ(FormatFileCount(counter, german), "1.234.567");
    EXPECT_EQ(FormatSuggestedDonation(counter, german), "$12,35");
}

class AboutWindowTest : public ::testing::Test {
  protected:
    ~AboutWindowTest() override {
        if (FrmAbout* window = about.Window()) {
            window->close();
        }
        Settle();
    }

    RecordingShell shell;
    RecordingRunView messages;
    NoViewers launcher;
    FakeClock clock;
    int sleeps = 0;
    std::function<void()> on_sleep;
    AboutWindow about{
        AboutInfo{HelpIntroText(), "1.0.0"},
        AboutPorts{shell, messages, launcher, clock, [this](std::chrono::milliseconds duration) {
                       ++sleeps;
                       clock.seconds += duration.count() / 1000.0;
                       if (on_sleep)
                           on_sleep();
                   }}};
};

TEST_F(AboutWindowTest, ShowsTheProgramsParticulars) {
    FrmAbout& window = about.Show();
    EXPECT_EQ(window.objectName(), QStringLiteral("frmAbout"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("About Tidemark"));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_FALSE(Child<QLabel>(window, "picIcon").pixmap().isNull());
    EXPECT_EQ(Child<QLabel>(window, "lblTitle").text(), QStringLiteral("Tidemark"));
    EXPECT_EQ(Child<QLabel>(window, "lblVersion").text(), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(Plain(Child<QLabel>(window, "lblDescription").text()), HelpIntroText());
    EXPECT_TRUE(
        Child<QLabel>(window, "lblDeveloper").text().startsWith(QStringLiteral("Developer:  ")));
    EXPECT_EQ(Child<QLabel>(window, "lblCompany").text(), QStringLiteral("Company:  Kestrelwick"));
    EXPECT_EQ(Child<QLabel>(window, "lblWebsite").text(), QString::fromLatin1(kWebSiteAddress));
    EXPECT_FALSE(Child<QLabel>(window, "lblDisclaimer").text().isEmpty());
    EXPECT_TRUE(Child<QPushButton>(window, "cmdOK").isDefault());
    EXPECT_EQ(Child<QPushButton>(window, "cmdSysInfo").text(), QStringLiteral("&System Info..."));
}

TEST(ProgramVersionTest, ComesFromTheProjectVersion) {
    EXPECT_EQ(ProgramVersion(), TIDEMARK_PROJECT_VERSION);
    EXPECT_EQ(AboutInfo{}.version, TIDEMARK_PROJECT_VERSION);
}

TEST_F(AboutWindowTest, NoTextIsClipped) {
    FrmAbout& window = about.Show();
    QApplication::processEvents();
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        if (label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                << Plain(label->objectName());
        } else {
            EXPECT_GE(label->width(), label->sizeHint().width()) << Plain(label->objectName());
        }
    }
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << Plain(button->objectName());
    }
}

TEST_F(AboutWindowTest, LinkAndButtons) {
    FrmAbout& window = about.Show();
    QTest::mouseClick(&Child<QLabel>(window, "lblWebsite"), Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{kWebSiteAddress});

    QTest::mouseClick(&Child<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(launcher.lookups, static_cast<int>(std::size(kSysInfoViewers)));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(window.isVisible());

    // The same window comes back while it is open; Escape closes it.
    EXPECT_EQ(&about.Show(), &window);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(AboutWindowTest, AutoCloseKeepsTheWindowUpForTwoSecondsThenClosesIt) {
    int rounds_visible = 0;
    on_sleep = [&] {
        if (about.Window() != nullptr && about.Window()->isVisible())
            ++rounds_visible;
    };
    const double start = clock.seconds;
    about.Farewell(2);
    EXPECT_EQ(sleeps, 20);  // 20 rounds of 100 ms
    EXPECT_EQ(rounds_visible, 20);
    EXPECT_NEAR(clock.seconds - start, 2.0, 1e-9);
    ASSERT_NE(about.Window(), nullptr);  // deleted once events run again
    EXPECT_FALSE(about.Window()->isVisible());
    Settle();
    EXPECT_EQ(about.Window(), nullptr);
}

TEST_F(AboutWindowTest, AutoCloseUsesTheOpenWindowAndEndsWhenTheUserClosesIt) {
    FrmAbout& open = about.Show();
    QPointer<FrmAbout> watched(&open);
    on_sleep = [&] {
        if (sleeps == 5 && watched) {
            QTest::mouseClick(&Child<QPushButton>(*watched, "cmdOK"), Qt::LeftButton);
        }
    };
    about.Farewell(2);
    EXPECT_EQ(sleeps, 5);
    EXPECT_TRUE(watched == nullptr || !watched->isVisible());
}

}  // namespace
}  // namespace tidemark::ui

// The windows need an application object that lives longer than every test and ends before the
// program's own exit handlers run.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
