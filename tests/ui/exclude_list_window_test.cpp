#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "platform/posix_file_system.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "ui/frm_exclude_list.h"

namespace tidemark::ui {
namespace {

using tidemark::testing::InMemoryFileSystem;
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
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        ADD_FAILURE() << "no control " << name;
        std::abort();
    }
    return *child;
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
    Open("a\r\n  b");
    Type("\n   \n  node_modules ");
    EXPECT_TRUE(Save().isEnabled());
    QTest::mouseClick(&Save(), Qt::LeftButton);
    EXPECT_EQ(Shown(), "a\nb\n\nnode_modules ");
    EXPECT_EQ(testing::ReadFile(path), "a\r\nb\r\n\r\nnode_modules ");
    EXPECT_EQ(list, (ExcludeList{"a", "b", "", "node_modules "}));
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

TEST_F(ExcludeListWindow, TextOutsideAsciiAndNoBreakSpacesSurviveASave) {
    Open(
        "B\xC3\xBCro\xC2\xA0"
        "2024\r\n\xE6\x97\xA5\xE6\x9C\xAC");
    Type("\n.tmp");
    QTest::mouseClick(&Save(), Qt::LeftButton);
    EXPECT_EQ(testing::ReadFile(path),
              "B\xC3\xBCro\xC2\xA0"
              "2024\r\n\xE6\x97\xA5\xE6\x9C\xAC\r\n.tmp");
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

TEST(ExcludeListWindowLayout, DesignedPlacesInPixels) {
    // At the designed client height of 6165 twips, 411 pixels.
    const ExcludeListLayout layout = LayoutExcludeListWindow(411);
    EXPECT_EQ(layout.lbl_description, QRect(4, 4, 401, 37));
    EXPECT_EQ(layout.txt_exclude_list, QRect(4, 44, 401, 321));
    EXPECT_EQ(layout.cmd_save, QRect(68, 371, 81, 33));
    EXPECT_EQ(layout.cmd_close, QRect(252, 371, 81, 33));
    // A description that needs two more pixels pushes the text box down, not the buttons.
    const ExcludeListLayout taller = LayoutExcludeListWindow(411, 2);
    EXPECT_EQ(taller.lbl_description.height(), 39);
    EXPECT_EQ(taller.txt_exclude_list, QRect(4, 46, 401, 319));
    EXPECT_EQ(taller.cmd_save, layout.cmd_save);
}

TEST_F(ExcludeListWindow, AFailedWriteIsReportedAndSaveStaysEnabled) {
    InMemoryFileSystem memory;
    memory.AddFile("/opt/tidemark/ExcludeList.txt", "old");
    memory.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, "/opt/tidemark/ExcludeList.txt",
                  testing::NoSpace());
    window =
        std::make_unique<FrmExcludeList>(memory, messages, "/opt/tidemark/ExcludeList.txt", list);
    window->show();
    QApplication::processEvents();
    Type("\nnew");
    QTest::mouseClick(&Save(), Qt::LeftButton);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              "The file /opt/tidemark/ExcludeList.txt could not be saved:\r\n\r\n" +
                  testing::NoSpace().description);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_TRUE(Save().isEnabled());
    EXPECT_EQ(list, ExcludeList{"before"});
    EXPECT_EQ(memory.ContentOf("/opt/tidemark/ExcludeList.txt"), "old");
}

}  // namespace
}  // namespace tidemark::ui
