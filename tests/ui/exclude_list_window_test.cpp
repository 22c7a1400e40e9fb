#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
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

using tidemark::testing::RecordingRunView;
using tidemark::testing::TemporaryFolder;

QApplication& App() {
    static int argc = 1;
    static char name[] = "exclude_list_window_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may be gone by the time static objects are.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

template <typename T>
T& Child(QWidget& window, const char* name) {
    return tidemark::testing::FindControl<T>(window, name);
}

/// A window on a real program folder, shown as the main window shows it.
class ExcludeListWindow : public ::testing::Test {
  protected:
    ExcludeListWindow() { App(); }

    FrmExcludeList& Open(const std::string& file_text) {
        testing::WriteFile(path, file_text);
        return Show(fs);
    }

    FrmExcludeList& Show(TextFilePort& files) {
        window = std::make_unique<FrmExcludeList>(files, messages, path, list);
        window->show();
        QApplication::processEvents();
        return *window;
    }

    std::string Shown() {
        return Child<QPlainTextEdit>(*window, "txtExcludeList").toPlainText().toStdString();
    }
    QPushButton& Save() { return Child<QPushButton>(*window, "cmdSave"); }
    QPushButton& Close() { return Child<QPushButton>(*window, "cmdClose"); }
    /// Types at the end of the text box; "\n" presses Return.
    void Type(const std::string& text) {
        QPlainTextEdit& box = Child<QPlainTextEdit>(*window, "txtExcludeList");
        box.moveCursor(QTextCursor::End);
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            QTest::keyClicks(&box, QString::fromStdString(text.substr(start, end - start)));
            QTest::keyClick(&box, Qt::Key_Return);
        }
        QTest::keyClicks(&box, QString::fromStdString(text.substr(start)));
    }

    TemporaryFolder program;
    const std::string path = program / "ExcludeList.txt";
    PosixFileSystem fs;
    RecordingRunView messages;
    ExcludeList list = {"before"};
    std::unique_ptr<FrmExcludeList> window;
};

TEST_F(ExcludeListWindow, OpensWithTheCleanedFileAndSaveDisabled) {
    FrmExcludeList& shown = Open("a\r\n\r\n  b\r\nc ");
    EXPECT_EQ(shown.objectName(), QStringLiteral("frmExcludeList"));
    EXPECT_EQ(shown.windowTitle(), QStringLiteral("Exclude Files and Folders List"));
    EXPECT_TRUE(shown.isModal());
    EXPECT_EQ(Child<QLabel>(shown, "lblDescription").text(),
              QStringLiteral("Any file or folder that matches any item on the following list "
                             "(one item per line) will not be processed (in any way) by the "
                             "synchronizer."));
    EXPECT_EQ(Shown(), "a\nb\nc ");
    EXPECT_FALSE(Save().isEnabled());
    EXPECT_EQ(Close().text(), QStringLiteral("Close"));
    EXPECT_EQ(testing::ReadFile(path), "a\r\n\r\n  b\r\nc ");
    EXPECT_EQ(list, ExcludeList{"before"});
}

TEST_F(ExcludeListWindow, SaveWritesTheCleanedTextAndReplacesTheList) {
    // Text outside ASCII and no-break spaces come back as they were.
    Open(
        "a\r\n  B\xC3\xBCro\xC2\xA0"
        "2024");
    Type("\n   \n  node_modules ");
    EXPECT_TRUE(Save().isEnabled());
    QTest::mouseClick(&Save(), Qt::LeftButton);
    const std::string saved =
        "a\r\nB\xC3\xBCro\xC2\xA0"
        "2024\r\n\r\nnode_modules ";
    EXPECT_EQ(testing::ReadFile(path), saved);
    EXPECT_EQ(list, (ExcludeList{"a",
                                 "B\xC3\xBCro\xC2\xA0"
                                 "2024",
                                 "", "node_modules "}));
    EXPECT_FALSE(Save().isEnabled());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(messages.messages.empty());

    // A second Save needs a change first; a later activation does not hide one.
    Type("x");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_TRUE(Save().isEnabled());
}

TEST_F(ExcludeListWindow, CloseDropsUnsavedEdits) {
    Open("keep");
    Type("\nlost");
    QTest::mouseClick(&Close(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_EQ(testing::ReadFile(path), "keep");
    EXPECT_EQ(list, ExcludeList{"before"});
}

TEST_F(ExcludeListWindow, OnlyTheHeightChangesAndTheControlsFollowIt) {
    FrmExcludeList& shown = Open("");
    const int minimum = shown.minimumHeight();
    EXPECT_GE(minimum, kExcludeListMinimumClientHeight);
    EXPECT_EQ(shown.width(), kExcludeListClientWidth);

    shown.resize(900, 100);
    QApplication::processEvents();
    EXPECT_EQ(shown.width(), kExcludeListClientWidth);
    EXPECT_EQ(shown.height(), minimum);

    shown.resize(200, 600);
    QApplication::processEvents();
    EXPECT_EQ(shown.width(), kExcludeListClientWidth);
    EXPECT_EQ(shown.height(), 600);
    const QRect text = Child<QPlainTextEdit>(shown, "txtExcludeList").geometry();
    EXPECT_EQ(Save().geometry().top(), 600 - 40);
    EXPECT_EQ(Close().geometry().top(), 600 - 40);
    EXPECT_EQ(text.bottom() + 1, 600 - 46);
    EXPECT_EQ(text.width(), 401);
    EXPECT_EQ(Save().geometry().left(), 68);
    EXPECT_EQ(Close().geometry().left(), 252);
    // Every control stays inside the window at the smallest height.
    shown.resize(kExcludeListClientWidth, minimum);
    QApplication::processEvents();
    EXPECT_LE(Close().geometry().bottom(), minimum);
    EXPECT_LT(Child<QPlainTextEdit>(shown, "txtExcludeList").geometry().bottom(),
              Save().geometry().top());
}

}  // namespace
}  // namespace tidemark::ui
