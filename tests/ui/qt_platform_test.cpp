// The Qt implementations of the ports: settings file, locale texts, message boxes, folder
// chooser.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt/qt_locale_text.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/browse_for_folder.h"
#include "ui/qt_message_box.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::MakeFolders;
using tidemark::testing::ReadFile;

/// Acts on the next modal window as soon as it shows.
void WhenModalShows(std::function<void(QWidget&)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(*modal);
        }
    });
    timer->start(5);
}

TEST(QtSettingsStore, KeepsTextValuesInTheSettingsGroupOfAnIniFile) {
    TemporaryFolder temp;
    const std::string file = temp / "Tidemark.ini";
    {
        QtSettingsStore store(file);
        EXPECT_EQ(store.Read("FilesProcessed", "0"), "0");
        EXPECT_EQ(store.Read("Configuration"), "");
        EXPECT_TRUE(store.Write("FilesProcessed", "250"));
        EXPECT_TRUE(store.Write("Configuration", "Photos, daily; =all"));
    }
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find("[Settings]"), std::string::npos);
    EXPECT_NE(text.find("FilesProcessed=250"), std::string::npos);

    QtSettingsStore reopened(file);
    EXPECT_EQ(reopened.Read("FilesProcessed", "0"), "250");
    EXPECT_EQ(reopened.Read("Configuration"), "Photos, daily; =all");
}

TEST(QtSettingsStore, AStoreThatCannotBeWrittenSaysSo) {
    TemporaryFolder temp;
    tidemark::testing::WriteFile(temp / "file", "x");
    QtSettingsStore store(temp / "file/Tidemark.ini");
    EXPECT_FALSE(store.Write("Configuration", "x"));
}

TEST(QtLocaleText, DatesAndNumbersFollowTheLocale) {
    constexpr FileTime kNoon = 1'600'000'000'000'000'000;  // 2020-09-13 12:26:40 UTC (TZ=UTC)
    QtLocaleText german{QLocale(QLocale::German, QLocale::Germany)};
    EXPECT_EQ(german.DateTime(kNoon), "13.09.20 12:26:40");
    EXPECT_EQ(german.OneDecimal(1234.56), "1.234,6");
    EXPECT_EQ(german.DecimalSeparator(), ",");
    const auto parsed = german.ParseLocaleDateTime("13.09.20 12:26:40");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->date, std::chrono::year{2020} / 9 / 13);
    EXPECT_EQ(parsed->second, 40);

    QtLocaleText english{QLocale(QLocale::English, QLocale::UnitedStates)};
    EXPECT_EQ(english.OneDecimal(27), "27.0");
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
    WhenModalShows([&](QWidget& modal) {
        auto& box = static_cast<QMessageBox&>(modal);
        title = box.windowTitle();
        text = box.text();
        QTest::keyClick(&box, Qt::Key_Return);  // the default button
    });
    EXPECT_EQ(boxes.ShowMessage("a\r\n\r\nb", MessageButtons::kYesNoCancel, MessageIcon::kQuestion),
              MessageAnswer::kYes);
    EXPECT_EQ(title, QStringLiteral("Tidemark"));
    EXPECT_EQ(text, QStringLiteral("a\n\nb"));

    WhenModalShows([](QWidget& modal) { QTest::keyClick(&modal, Qt::Key_Escape); });
    EXPECT_EQ(boxes.ShowMessage("q", MessageButtons::kYesNoCancel, MessageIcon::kQuestion),
              MessageAnswer::kCancel);
    WhenModalShows(
        [](QWidget& modal) { static_cast<QMessageBox&>(modal).button(QMessageBox::No)->click(); });
    EXPECT_EQ(boxes.ShowMessage("q", MessageButtons::kYesNo, MessageIcon::kQuestion),
              MessageAnswer::kNo);
}

TEST(QtFolderPicker, OpensAtTheStartFolderWithTheDefaultTitle) {
    App();
    TemporaryFolder temp;
    MakeFolders(temp / "start/inner");
    QtFolderPicker picker;

    QString title;
    QString folder;
    WhenModalShows([&](QWidget& modal) {
        auto& dialog = static_cast<QFileDialog&>(modal);
        title = dialog.windowTitle();
        folder = dialog.directory().absolutePath();
        dialog.reject();
    });
    EXPECT_EQ(picker.BrowseForFolder(temp / "start", ""), "");
    EXPECT_EQ(title, QStringLiteral("Please select a Folder..."));
    EXPECT_EQ(folder, QString::fromStdString(temp / "start"));

    WhenModalShows([](QWidget& modal) { static_cast<QDialog&>(modal).accept(); });
    EXPECT_EQ(picker.BrowseForFolder(temp / "start", "Pick one"), temp / "start");
}

}  // namespace
}  // namespace tidemark::ui::testing
