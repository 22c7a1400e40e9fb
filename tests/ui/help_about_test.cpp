// The Help, About and exclude list windows: what they show, their layout, and the farewell;
// and the Qt implementations of the ports.
#include "app/mod_main.h"
#include "app/reminders.h"
#include "app/window_geometry.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/frm_about.h"
#include "ui/frm_exclude_list.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::ReadFile;
using tidemark::testing::WriteFile;

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
    // Time slept, kept in whole milliseconds so that twenty rounds of 100 ms are exactly 2 s.
    const double clock_start = clock.seconds;
    std::chrono::milliseconds slept{0};
    std::function<void()> on_sleep;
    AboutWindow about{
        AboutInfo{HelpIntroText(), "1.0.0"},
        AboutPorts{shell, messages, launcher, clock, [this](std::chrono::milliseconds duration) {
                       ++sleeps;
                       slept += duration;
                       clock.seconds = clock_start + static_cast<double>(slept.count()) / 1000.0;
                       if (on_sleep)
                           on_sleep();
                   }}};
};

TEST_F(HelpAboutTest, AnOpenWindowKeepsItsFiguresUntilClosed) {
    FrmHelp& first = help.Show(123456);
    EXPECT_EQ(FindControl<QPlainTextEdit>(first, "txtHelp").toPlainText(),
              QString::fromStdString(ComposeHelpText(texts, 123456, english))
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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
    WriteFile(path, "a\r\n\r\n  " + accented);
    PosixFileSystem fs;
    tidemark::testing::RecordingRunView messages;
    ExcludeList list = {"before"};
    FrmExcludeList shown(fs, messages, path, list);  // as the main window shows it
    shown.show();
    QApplication::processEvents();
    auto& box = FindControl<QPlainTextEdit>(shown, "txtExcludeList");
    auto& save = FindControl<QPushButton>(shown, "cmdSave");
    EXPECT_TRUE(shown.isModal());
    // The box shows a no-break space as a space; the file keeps it.
    EXPECT_EQ(box.toPlainText(),
              QString::fromStdString("a\n" + accented).replace(QChar(0xA0), QLatin1Char(' ')));
    EXPECT_FALSE(save.isEnabled());
    EXPECT_EQ(ReadFile(path), "a\r\n\r\n  " + accented);

    box.moveCursor(QTextCursor::End);  // and types, a key at a time
    for (const char* line : {"   ", "  node_modules "}) {
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClicks(&box, QString::fromLatin1(line));
    }
    EXPECT_TRUE(save.isEnabled());
    QTest::mouseClick(&save, Qt::LeftButton);
    const auto saved = std::pair(ExcludeList{"a", accented, "", "node_modules "},
                                 "a\r\n" + accented + "\r\n\r\nnode_modules ");
    EXPECT_EQ(std::pair(list, ReadFile(path)), saved);
    EXPECT_FALSE(save.isEnabled());
    EXPECT_TRUE(shown.isVisible() && messages.messages.empty());

    // A second Save needs a change first; a later activation does not hide one. Close drops
    // the change.
    QTest::keyClicks(&box, QStringLiteral("x"));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&shown, &activate);
    EXPECT_TRUE(save.isEnabled());
    QTest::mouseClick(&FindControl<QPushButton>(shown, "cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(shown.isVisible());
    EXPECT_EQ(std::pair(list, ReadFile(path)), saved);
}

// The Qt implementations of the ports: settings file, locale texts, message boxes.

// A damaged file gives each value whole or not at all; what the close sequence then writes,
// the next start reads back from the file's settings group.
TEST(QtSettingsStore, ValuesReadBackWholeOrNotAtAllAndWhatIsWrittenReadsBack) {
    const std::string intact =
        "[Settings]\nConfiguration=Home\nFirstRun=YES\nScreenWidth=9000\nScreenHeight=6000\n"
        "ScreenTop=100\nScreenLeft=200\nFilesProcessed=250\n"
        "LastDonationDisplayDate=2026-05-20T10:00:00\n";
    std::vector<tidemark::testing::CorruptText> versions =
        tidemark::testing::CorruptVersionsOf(intact);
    versions.insert(versions.begin(), {"intact", intact});
    tidemark::testing::TestCalendar calendar;
    RecordingShell shell;
    for (const auto& [what, text] : versions) {
        SCOPED_TRACE(what);
        TemporaryFolder folder;
        const std::string file = folder / "Tidemark.ini";
        WriteFile(file, text);
        {
            QtSettingsStore store(file);
            PosixFileSystem fs;
            const ApplicationState state = StartUp(folder.path(), fs, store, calendar).state;
            const std::optional<float> width = ReadWindowGeometry(store).width;
            const bool intact = what == "intact";
            EXPECT_TRUE(state.usage_counter == 250.0 || (!intact && state.usage_counter == 0.0));
            EXPECT_TRUE(StoredDateText(state.last_reminder_date) == "2026-05-20T10:00:00" ||
                        (!intact && state.last_reminder_date == kZeroDate));
            EXPECT_TRUE(width == 9000.0f || (!intact && !width));
            ASSERT_TRUE(StoreUsageCounter(store, UsageCounterAfterRun(1234000, 567)));
            ASSERT_TRUE(RunExitReminder(store, calendar, shell, kZeroDate));
            EXPECT_TRUE(store.Write("Configuration", "Photos, daily; =all"));
        }
        EXPECT_NE(ReadFile(file).find("[Settings]\n"), std::string::npos);
        QtSettingsStore reopened(file);
        EXPECT_EQ(ReadUsageCounter(reopened), 1234567.0);
        EXPECT_EQ(ReadLastReminderDate(reopened, calendar), calendar.Now());
        EXPECT_EQ(reopened.Read("Configuration"), "Photos, daily; =all");
    }

    TemporaryFolder temp;
    WriteFile(temp / "file", "x");
    EXPECT_FALSE(QtSettingsStore(temp / "file/Tidemark.ini").Write("Configuration", "x"));
}

TEST(QtLocaleText, DatesAndNumbersFollowTheLocale) {
    constexpr FileTime kNoon = 1'600'000'000'000'000'000;  // 2020-09-13 12:26:40 UTC (TZ=UTC)
    QtLocaleText german{QLocale(QLocale::German, QLocale::Germany)};
    EXPECT_EQ(german.OneDecimal(1234.56), "1.234,6");
    EXPECT_EQ(german.ParseLocaleDateTime("13.09.20 12:26:40"),
              (LocalDateTime{std::chrono::year{2020} / 9 / 13, 12, 26, 40}));
    // Recent texts are remembered: each time still gets its own.
    constexpr FileTime kSecond = 1'000'000'000;
    const std::pair<FileTime, const char*> times[] = {
        {kNoon, "13.09.20 12:26:40"},           {kNoon + kSecond, "13.09.20 12:26:41"},
        {kNoon, "13.09.20 12:26:40"},           {kNoon + 2 * kSecond, "13.09.20 12:26:42"},
        {kNoon + kSecond, "13.09.20 12:26:41"}, {kNoon + kSecond / 2, "13.09.20 12:26:40"}};
    for (const auto& [time, text] : times)
        EXPECT_EQ(german.DateTime(time), text);

    QtLocaleText english{QLocale(QLocale::English, QLocale::UnitedStates)};
    EXPECT_EQ(english.OneDecimal(0.05), "0.1");
    const std::string date = english.DateTime(kNoon);
    EXPECT_NE(date.find("9/13/20"), std::string::npos) << date;
    EXPECT_NE(date.find("12:26:40"), std::string::npos) << date;
    EXPECT_EQ(date.find("UTC"), std::string::npos) << date;
    const auto back = english.ParseLocaleDateTime(date);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->hour, 12);
    EXPECT_FALSE(english.ParseLocaleDateTime("not a date"));
}

TEST(QtMessageBox, TitledWithTheApplicationAndAnsweredByItsButtons) {
    App();
    QtMessageBox boxes;
    QString title;
    QString text;
    // Shows a question and acts on its box as soon as it shows.
    auto ask = [&](const char* question, MessageButtons buttons, auto act) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            act(*box);
        });
        return boxes.ShowMessage(question, buttons, MessageIcon::kQuestion);
    };
    auto press = [](Qt::Key key) {
        return [key](QMessageBox& box) { QTest::keyClick(&box, key); };
    };
    // Return presses the default button.
    EXPECT_EQ(ask("a\r\n\r\nb", MessageButtons::kYesNoCancel, press(Qt::Key_Return)),
              MessageAnswer::kYes);
    EXPECT_EQ(title, QStringLiteral("Tidemark"));
    EXPECT_EQ(text, QStringLiteral("a\n\nb"));
    EXPECT_EQ(ask("q", MessageButtons::kYesNoCancel, press(Qt::Key_Escape)),
              MessageAnswer::kCancel);
    EXPECT_EQ(ask("q", MessageButtons::kYesNo,
                  [](QMessageBox& box) { box.button(QMessageBox::No)->click(); }),
              MessageAnswer::kNo);
}

}  // namespace
}  // namespace tidemark::ui::testing
