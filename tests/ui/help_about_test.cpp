// The Help, About and exclude list windows: what they show, their layout, and the farewell.
#include <QEventLoop>
#include <QPlainTextEdit>

#include "tests/ui/main_window_fixture.h"
#include "ui/frm_about.h"
#include "ui/frm_exclude_list.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::FindControl;
using tidemark::testing::ReadFile;

// Lets the deferred deletions of closed windows happen.
void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

int Px(double twips) {
    return static_cast<int>(twips / kTwipsPerPixel + 0.5);
}

class HelpAboutTest : public ::testing::Test {
  protected:
    HelpAboutTest() { App(); }
    ~HelpAboutTest() override {
        for (QWidget* window : std::initializer_list<QWidget*>{help.Window(), about.Window()}) {
            if (window != nullptr)
                window->close();
        }
        Settle();
    }

    HelpTexts texts = BuildHelpTexts();
    QtLocaleText english{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingShell shell;
    HelpWindow help{texts, english, shell, "https://example.org/give"};
    tidemark::testing::RecordingRunView messages;
    tidemark::testing::FakeLauncher launcher;  // no viewer installed
    tidemark::testing::FakeClock clock;
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

TEST_F(HelpAboutTest, AnOpenWindowKeepsItsFiguresUntilClosed) {
    FrmHelp& first = help.Show(123456);
    QString expected = QString::fromStdString(ComposeHelpText(texts, 123456, english));
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(FindControl<QPlainTextEdit>(first, "txtHelp").toPlainText(), expected);
    QTest::mouseClick(&FindControl<QPushButton>(first, "cmdDonate"), Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://example.org/give"});

    // Runs went on meanwhile; the Help link only brings the open window back.
    EXPECT_EQ(&help.Show(1234567), &first);
    EXPECT_TRUE(first.HelpText().contains(QStringLiteral("123,456 files.")));

    QTest::mouseClick(&FindControl<QPushButton>(first, "cmdClose"), Qt::LeftButton);
    Settle();
    EXPECT_EQ(help.Window(), nullptr);
    EXPECT_TRUE(help.Show(1234567).HelpText().contains(QStringLiteral("1,234,567 files.")));
}

TEST_F(HelpAboutTest, ResizingKeepsTheMinimumAndTheLayoutWithCaptionsUnclippedAtAnyFontSize) {
    const QFont normal = QApplication::font();
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * scale);
        QApplication::setFont(font);
        FrmHelp& window = help.Show(0);
        const QPushButton& donate = FindControl<QPushButton>(window, "cmdDonate");
        const QPushButton& close = FindControl<QPushButton>(window, "cmdClose");
        const QLabel& title = FindControl<QLabel>(window, "lblTitle");
        // Asked for 2000 × 1000 twips outer, the window snaps to 3000 × 2000 or more.
        window.resize(Px(2000 - kFrameWidth), Px(1000 - kFrameHeight));
        QApplication::processEvents();
        if (scale == 1.0) {
            EXPECT_EQ(window.size(), QSize(Px(3000 - kFrameWidth), Px(2000 - kFrameHeight)));
        }
        EXPECT_GE(donate.width(), donate.sizeHint().width());
        EXPECT_EQ(close.width(), donate.width());
        EXPECT_EQ(close.x() - (donate.x() + donate.width()), Px(900));
        EXPECT_GE(title.width(), title.sizeHint().width());

        // Larger: the text stretches, the buttons stay centred below it, the title stays put.
        window.resize(900, 700);
        QApplication::processEvents();
        const QRect text = FindControl<QPlainTextEdit>(window, "txtHelp").geometry();
        EXPECT_EQ(window.width() - (text.x() + text.width()), Px(250 - 60 - kFrameWidth));
        EXPECT_LT(text.bottom(), donate.y());
        EXPECT_LE(donate.geometry().bottom(), window.height());
        EXPECT_NEAR((donate.x() + close.x() + close.width()) / 2, window.width() / 2, 4);
        EXPECT_EQ(title.pos(), QPoint(Px(60), Px(60)));
        window.close();
        Settle();
    }
    QApplication::setFont(normal);
}

TEST_F(HelpAboutTest, ShowsTheParticularsUnclippedAndItsLinkAndSystemInformation) {
    FrmAbout& window = about.Show();
    QApplication::processEvents();
    EXPECT_FALSE(FindControl<QLabel>(window, "picIcon").pixmap().isNull());
    EXPECT_EQ(FindControl<QLabel>(window, "lblVersion").text(), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(FindControl<QLabel>(window, "lblDescription").text().toStdString(), HelpIntroText());
    for (QLabel* label : window.findChildren<QLabel*>()) {
        const std::string name = label->objectName().toStdString();
        if (label->wordWrap())
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << name;
        else
            EXPECT_GE(label->width(), label->sizeHint().width()) << name;
    }
    for (QPushButton* button : window.findChildren<QPushButton*>())
        EXPECT_GE(button->width(), button->sizeHint().width());
    // The version this build shows comes from the project's version.
    EXPECT_EQ(AboutInfo{}.version, TIDEMARK_PROJECT_VERSION);

    // The link opens the site; a missing viewer is reported; Escape closes.
    QTest::mouseClick(&FindControl<QLabel>(window, "lblWebsite"), Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{kWebSiteAddress});

    QTest::mouseClick(&FindControl<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(&about.Show(), &window);  // one window
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(HelpAboutTest, OkWhileItsSystemInfoMessageIsOpenClosesItOnceTheMessageIsAnswered) {
    // A real message box, owned by the active window, which is About.
    QtMessageBox boxes;
    AboutWindow about_with_boxes{AboutInfo{HelpIntroText(), "1.0.0"},
                                 AboutPorts{shell, boxes, launcher, clock, {}}};
    QPointer<FrmAbout> window(&about_with_boxes.Show());
    QApplication::setActiveWindow(window);
    QPointer<QWidget> box;
    QTimer::singleShot(0, [&] {
        box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        // About's OK, as the accessibility bus presses it while the box is open; what that
        // schedules for deletion goes before the box's loop runs on.
        FindControl<QPushButton>(*window, "cmdOK").click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->isVisible());
        // Opened again meanwhile, it is the same window.
        EXPECT_EQ(&about_with_boxes.Show(), window.data());
        window->close();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    FindControl<QPushButton>(*window, "cmdSysInfo").click();
    EXPECT_EQ(box, nullptr);
    Settle();
    EXPECT_EQ(window, nullptr);
}

// Rounds of 100 ms; inside an event loop, as in the close sequence, the open window is used
// and the farewell ends when the user closes it.
TEST_F(HelpAboutTest, TheFarewellKeepsTheWindowUpForTwoSecondsOrUntilTheUserClosesIt) {
    int rounds_visible = 0;
    on_sleep = [&] { rounds_visible += about.Window() && about.Window()->isVisible(); };
    const double start = clock.seconds;
    about.Farewell(2);
    EXPECT_EQ(rounds_visible, 20);
    EXPECT_NEAR(clock.seconds - start, 2.0, 1e-9);
    EXPECT_FALSE(about.Window() && about.Window()->isVisible());

    sleeps = 0;
    QPointer<FrmAbout> open(&about.Show());
    on_sleep = [&] {
        if (sleeps == 5)
            QTest::keyClick(open.data(), Qt::Key_Escape);
    };
    QEventLoop loop;
    QTimer::singleShot(0, [&] {
        about.Farewell(2);
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(sleeps, 5);
    EXPECT_TRUE(open == nullptr || !open->isVisible());
}

TEST(ExcludeListWindow, SaveWritesTheCleanedTextAndReplacesTheList) {
    App();
    TemporaryFolder program;
    const std::string path = program / "ExcludeList.txt";
    // Text outside ASCII and no-break spaces come back as they were.
    const std::string accented =
        "B\xC3\xBCro\xC2\xA0"
        "2024";
    tidemark::testing::WriteFile(path, "a\r\n\r\n  " + accented);
    PosixFileSystem fs;
    tidemark::testing::RecordingRunView messages;
    ExcludeList list = {"before"};
    FrmExcludeList shown(fs, messages, path, list);  // as the main window shows it
    shown.show();
    QApplication::processEvents();
    auto& box = FindControl<QPlainTextEdit>(shown, "txtExcludeList");
    auto& save = FindControl<QPushButton>(shown, "cmdSave");
    // Types at the end of the text box, a key at a time; "\n" presses Return.
    auto type = [&box](const std::string& text) {
        box.moveCursor(QTextCursor::End);
        for (const char key : text) {
            if (key == '\n')
                QTest::keyClick(&box, Qt::Key_Return);
            else
                QTest::keyClick(&box, key);
        }
    };
    EXPECT_TRUE(shown.isModal());
    // The box shows a no-break space as a space; the file keeps it.
    EXPECT_EQ(box.toPlainText(),
              QString::fromStdString("a\n" + accented).replace(QChar(0xA0), QLatin1Char(' ')));
    EXPECT_FALSE(save.isEnabled());
    EXPECT_EQ(ReadFile(path), "a\r\n\r\n  " + accented);

    type("\n   \n  node_modules ");
    EXPECT_TRUE(save.isEnabled());
    QTest::mouseClick(&save, Qt::LeftButton);
    EXPECT_EQ(ReadFile(path), "a\r\n" + accented + "\r\n\r\nnode_modules ");
    EXPECT_EQ(list, (ExcludeList{"a", accented, "", "node_modules "}));
    EXPECT_FALSE(save.isEnabled());
    EXPECT_TRUE(shown.isVisible());
    EXPECT_TRUE(messages.messages.empty());

    // A second Save needs a change first; a later activation does not hide one. Close drops
    // the change.
    type("x");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&shown, &activate);
    EXPECT_TRUE(save.isEnabled());
    QTest::mouseClick(&FindControl<QPushButton>(shown, "cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(shown.isVisible());
    EXPECT_EQ(ReadFile(path), "a\r\n" + accented + "\r\n\r\nnode_modules ");
    EXPECT_EQ(list, (ExcludeList{"a", accented, "", "node_modules "}));
}

}  // namespace
}  // namespace tidemark::ui::testing
