#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "platform/posix_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "tests/ui/find_control.h"
#include "ui/frm_exclude_list.h"

namespace tidemark::ui {
namespace {

using tidemark::testing::ReadFile;

/// A window on a real program folder, shown as the main window shows it.
class ExcludeListWindow : public ::testing::Test {
  protected:
    FrmExcludeList& Open(const std::string& file_text) {
        static int argc = 1;
        static char name[] = "exclude_list_window_test";
        static char* argv[] = {name, nullptr};
        // Never destroyed: Qt's own globals may be gone by the time static objects are.
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
        testing::WriteFile(path, file_text);
        window = std::make_unique<FrmExcludeList>(fs, messages, path, list);
        window->show();
        QApplication::processEvents();
        return *window;
    }

    QPlainTextEdit& Box() {
        return testing::FindControl<QPlainTextEdit>(*window, "txtExcludeList");
    }
    QPushButton& Save() { return testing::FindControl<QPushButton>(*window, "cmdSave"); }
    QPushButton& Close() { return testing::FindControl<QPushButton>(*window, "cmdClose"); }
    /// Types at the end of the text box; "\n" presses Return.
    void Type(const std::string& text) {
        Box().moveCursor(QTextCursor::End);
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            QTest::keyClicks(&Box(), QString::fromStdString(text.substr(start, end - start)));
            QTest::keyClick(&Box(), Qt::Key_Return);
        }
        QTest::keyClicks(&Box(), QString::fromStdString(text.substr(start)));
    }

    testing::TemporaryFolder program;
    const std::string path = program / "ExcludeList.txt";
    PosixFileSystem fs;
    testing::RecordingRunView messages;
    ExcludeList list = {"before"};
    std::unique_ptr<FrmExcludeList> window;
};

TEST_F(ExcludeListWindow, SaveWritesTheCleanedTextAndReplacesTheList) {
    // Text outside ASCII and no-break spaces come back as they were.
    const std::string accented =
        "B\xC3\xBCro\xC2\xA0"
        "2024";
    FrmExcludeList& shown = Open("a\r\n\r\n  " + accented);
    EXPECT_TRUE(shown.isModal());
    // The box shows a no-break space as a space; the file keeps it.
    EXPECT_EQ(Box().toPlainText(),
              QString::fromStdString("a\n" + accented).replace(QChar(0xA0), QLatin1Char(' ')));
    EXPECT_FALSE(Save().isEnabled());
    EXPECT_EQ(ReadFile(path), "a\r\n\r\n  " + accented);

    Type("\n   \n  node_modules ");
    EXPECT_TRUE(Save().isEnabled());
    QTest::mouseClick(&Save(), Qt::LeftButton);
    EXPECT_EQ(ReadFile(path), "a\r\n" + accented + "\r\n\r\nnode_modules ");
    EXPECT_EQ(list, (ExcludeList{"a", accented, "", "node_modules "}));
    EXPECT_FALSE(Save().isEnabled());
    EXPECT_TRUE(shown.isVisible());
    EXPECT_TRUE(messages.messages.empty());

    // A second Save needs a change first; a later activation does not hide one.
    Type("x");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&shown, &activate);
    EXPECT_TRUE(Save().isEnabled());
}

TEST_F(ExcludeListWindow, CloseDropsUnsavedEdits) {
    Open("keep");
    Type("\nlost");
    QTest::mouseClick(&Close(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ReadFile(path), "keep");
    EXPECT_EQ(list, ExcludeList{"before"});
}

}  // namespace
}  // namespace tidemark::ui
