#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "app/help_texts.h"
#include "app/reminders.h"
#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/app/test_doubles.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "tests/ui/find_control.h"
#include "ui/frm_about.h"
#include "ui/frm_help.h"
#include "ui/main_window_layout.h"

namespace tidemark::ui {
namespace {

using tidemark::testing::RecordingShell;

// Lets the deferred deletions of closed windows happen.
void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

template <typename T>
T& Child(QWidget& window, const char* name) {
    return tidemark::testing::FindControl<T>(window, name);
}

int Px(double twips) {
    return static_cast<int>(twips / kTwipsPerPixel + 0.5);
}

class NoViewers final : public ProgramLauncher {
  public:
    std::string FindOnPath(const std::string&) override { return {}; }
    Status StartDetached(const std::string&) override { return Failure{1002, "not found"}; }
};

class HelpWindowTest : public ::testing::Test {
  protected:
    ~HelpWindowTest() override {
        if (FrmHelp* window = help.Window())
            window->close();
        Settle();
    }

    HelpTexts texts = BuildHelpTexts();
    QtLocaleText english{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingShell shell;
    HelpWindow help{texts, english, shell, "https://example.org/give"};
};

TEST_F(HelpWindowTest, ShowsTheTextAndItsControls) {
    FrmHelp& window = help.Show(0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Help!"));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(Child<QLabel>(window, "lblTitle").text(), QStringLiteral("Tidemark Help"));
    EXPECT_EQ(Child<QPushButton>(window, "cmdClose").text(), QStringLiteral("Close"));
    QString expected = QString::fromStdString(ComposeHelpText(texts, 0, english));
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(Child<QPlainTextEdit>(window, "txtHelp").toPlainText(), expected);

    QPushButton& donate = Child<QPushButton>(window, "cmdDonate");
    EXPECT_EQ(donate.text(), QStringLiteral("Please Donate!"));
    QTest::mouseClick(&donate, Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/give"});
    EXPECT_TRUE(window.isVisible());
}

TEST_F(HelpWindowTest, OpenWindowKeepsItsFiguresUntilClosed) {
    FrmHelp& first = help.Show(123456);
    EXPECT_TRUE(first.HelpText().contains(QStringLiteral("Total Files Processed: 123,456 files.")));
    EXPECT_TRUE(first.HelpText().contains(QStringLiteral("Suggested Donation: $1.23.")));

    // Runs went on meanwhile; the Help link only brings the open window back.
    EXPECT_EQ(&help.Show(1234567), &first);
    EXPECT_TRUE(first.HelpText().contains(QStringLiteral("123,456 files.")));

    QTest::mouseClick(&Child<QPushButton>(first, "cmdClose"), Qt::LeftButton);
    Settle();
    EXPECT_EQ(help.Window(), nullptr);
    FrmHelp& fresh = help.Show(1234567);
    EXPECT_TRUE(fresh.HelpText().contains(QStringLiteral("Total Files Processed: 1,234,567")));
    EXPECT_TRUE(fresh.HelpText().contains(QStringLiteral("Suggested Donation: $12.35.")));

    // Escape closes it too, and the next opening is fresh again.
    QTest::keyClick(&fresh, Qt::Key_Escape);
    EXPECT_FALSE(fresh.isVisible());
    EXPECT_TRUE(help.Show(250000).HelpText().contains(QStringLiteral("250,000 files.")));
}

TEST_F(HelpWindowTest, ResizeKeepsTheLayoutRules) {
    FrmHelp& window = help.Show(0);
    // Asked for 2000 × 1000 twips outer, the window snaps to 3000 × 2000.
    window.resize(Px(2000 - kFrameWidth), Px(1000 - kFrameHeight));
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(Px(3000 - kFrameWidth), Px(2000 - kFrameHeight)));
    const QPushButton& donate = Child<QPushButton>(window, "cmdDonate");
    const QPushButton& close = Child<QPushButton>(window, "cmdClose");
    EXPECT_EQ(donate.width(), Px(1500));
    EXPECT_EQ(close.width(), Px(1500));
    EXPECT_EQ(close.x() - (donate.x() + donate.width()), Px(900));

    // Larger: the text stretches, the buttons stay centred below it, the title stays put.
    window.resize(900, 700);
    QApplication::processEvents();
    const QRect text = Child<QPlainTextEdit>(window, "txtHelp").geometry();
    EXPECT_EQ(text.topLeft(), QPoint(Px(60), Px(420)));
    EXPECT_EQ(window.width() - (text.x() + text.width()), Px(250 - 60 - kFrameWidth));
    EXPECT_LT(text.bottom(), donate.y());
    EXPECT_LE(donate.geometry().bottom(), window.height());
    EXPECT_NEAR((donate.x() + close.x() + close.width()) / 2, window.width() / 2, 4);
    EXPECT_EQ(Child<QLabel>(window, "lblTitle").pos(), QPoint(Px(60), Px(60)));
}

TEST_F(HelpWindowTest, CaptionsAreNotClippedEvenWithALargeFont) {
    const QFont normal = QApplication::font();
    for (const double scale : {1.0, 2.0}) {
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * scale);
        QApplication::setFont(font);
        FrmHelp& window = help.Show(0);
        QApplication::processEvents();
        const QPushButton& donate = Child<QPushButton>(window, "cmdDonate");
        const QPushButton& close = Child<QPushButton>(window, "cmdClose");
        EXPECT_GE(donate.width(), donate.sizeHint().width()) << scale;
        EXPECT_GE(close.width(), close.sizeHint().width()) << scale;
        EXPECT_EQ(close.width(), donate.width());
        EXPECT_EQ(close.x() - (donate.x() + donate.width()), Px(900));
        const QLabel& title = Child<QLabel>(window, "lblTitle");
        EXPECT_GE(title.width(), title.sizeHint().width());
        window.close();
        Settle();
    }
    QApplication::setFont(normal);
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
}

// What the close sequence writes to a real settings file, the next start reads back.
TEST_F(HelpWindowTest, CounterAndReminderDateSurviveARealSettingsFile) {
    class Fixed final : public LocalCalendar {
      public:
        LocalDateTime Now() override { return {std::chrono::year{2024} / 2 / 29, 23, 0, 0}; }
        std::optional<LocalDateTime> ParseLocaleDateTime(const std::string&) override {
            return std::nullopt;
        }
    } calendar;
    testing::TemporaryFolder folder;
    {
        QtSettingsStore store(folder / "Tidemark.ini");
        ASSERT_TRUE(StoreUsageCounter(store, UsageCounterAfterRun(1234000, 567)));
        ASSERT_TRUE(RunExitReminder(store, calendar, shell, kZeroDate));
    }
    QtSettingsStore reopened(folder / "Tidemark.ini");
    EXPECT_EQ(ReadLastReminderDate(reopened, english), calendar.Now());
    const FrmHelp& window = help.Show(ReadUsageCounter(reopened));
    EXPECT_TRUE(window.HelpText().contains(QStringLiteral("1,234,567 files.")));
    EXPECT_TRUE(window.HelpText().contains(QStringLiteral("$12.35.")));
}

class AboutWindowTest : public ::testing::Test {
  protected:
    ~AboutWindowTest() override {
        if (FrmAbout* window = about.Window())
            window->close();
        Settle();
    }

    RecordingShell shell;
    testing::RecordingRunView messages;
    NoViewers launcher;
    testing::FakeClock clock;
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

TEST_F(AboutWindowTest, ShowsTheParticularsUnclipped) {
    FrmAbout& window = about.Show();
    QApplication::processEvents();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("About Tidemark"));
    EXPECT_FALSE(Child<QLabel>(window, "picIcon").pixmap().isNull());
    EXPECT_EQ(Child<QLabel>(window, "lblTitle").text(), QStringLiteral("Tidemark"));
    EXPECT_EQ(Child<QLabel>(window, "lblVersion").text(), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(Child<QLabel>(window, "lblDescription").text().toStdString(), HelpIntroText());
    EXPECT_EQ(Child<QLabel>(window, "lblCompany").text(), QStringLiteral("Company:  Kestrelwick"));
    EXPECT_TRUE(Child<QPushButton>(window, "cmdOK").isDefault());
    EXPECT_EQ(Child<QPushButton>(window, "cmdSysInfo").text(), QStringLiteral("&System Info..."));
    for (QLabel* label : window.findChildren<QLabel*>()) {
        const QString name = label->objectName();
        if (label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << name.toStdString();
        } else {
            EXPECT_GE(label->width(), label->sizeHint().width()) << name.toStdString();
        }
    }
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        EXPECT_GE(button->width(), button->sizeHint().width());
    }
    // The version this build shows comes from the project's version.
    EXPECT_EQ(AboutInfo{}.version, TIDEMARK_PROJECT_VERSION);
}

TEST_F(AboutWindowTest, LinkAndButtons) {
    FrmAbout& window = about.Show();
    QTest::mouseClick(&Child<QLabel>(window, "lblWebsite"), Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{kWebSiteAddress});

    QTest::mouseClick(&Child<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(window.isVisible());

    EXPECT_EQ(&about.Show(), &window);  // one window
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(AboutWindowTest, AutoCloseKeepsTheWindowUpForTwoSecondsThenClosesIt) {
    int rounds_visible = 0;
    on_sleep = [&] { rounds_visible += about.Window() && about.Window()->isVisible(); };
    const double start = clock.seconds;
    about.Farewell(2);
    EXPECT_EQ(sleeps, 20);  // rounds of 100 ms
    EXPECT_EQ(rounds_visible, 20);
    EXPECT_NEAR(clock.seconds - start, 2.0, 1e-9);
    EXPECT_FALSE(about.Window() && about.Window()->isVisible());
}

TEST_F(AboutWindowTest, AutoCloseUsesTheOpenWindowAndEndsWhenTheUserClosesIt) {
    QPointer<FrmAbout> open(&about.Show());
    on_sleep = [&] {
        if (sleeps == 5)
            QTest::keyClick(open.data(), Qt::Key_Escape);
    };
    // Inside an event loop, as in the close sequence.
    QEventLoop loop;
    QTimer::singleShot(0, [&] {
        about.Farewell(2);
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(sleeps, 5);
    EXPECT_TRUE(open == nullptr || !open->isVisible());
}

}  // namespace
}  // namespace tidemark::ui

// The windows need an application object that outlives every test and ends before the
// program's exit handlers run.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
