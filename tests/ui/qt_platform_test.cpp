// The Qt implementations of the ports: settings file, locale texts, message boxes.

#include <QAbstractButton>
#include <QMessageBox>

#include "app/mod_main.h"
#include "app/reminders.h"
#include "app/window_geometry.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/ui/main_window_fixture.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::ReadFile;
using tidemark::testing::WriteFile;

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
    const auto parsed = german.ParseLocaleDateTime("13.09.20 12:26:40");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->date, std::chrono::year{2020} / 9 / 13);
    EXPECT_EQ(parsed->second, 40);
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
