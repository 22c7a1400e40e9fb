#include <QPlainTextEdit>

#include "tests/ui/main_window_fixture.h"
#include "ui/frm_exclude_list.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::ReadFile;

/// A window on a real program folder, shown as the main window shows it.
class ExcludeListWindow : public ::testing::Test {
  protected:
    FrmExcludeList& Open(const std::string& file_text) {
        App();
        tidemark::testing::WriteFile(path, file_text);
        window = std::make_unique<FrmExcludeList>(fs, messages, path, list);
        window->show();
        QApplication::processEvents();
        return *window;
    }

    QPlainTextEdit& Box() { return Control<QPlainTextEdit>("txtExcludeList"); }
    template <typename T = QPushButton>
    T& Control(const char* name) {
        return tidemark::testing::FindControl<T>(*window, name);
    }
    /// Types at the end of the text box, a key at a time; "\n" presses Return.
    void Type(const std::string& text) {
        Box().moveCursor(QTextCursor::End);
        for (const char key : text) {
            if (key == '\n')
                QTest::keyClick(&Box(), Qt::Key_Return);
            else
                QTest::keyClick(&Box(), key);
        }
    }

    TemporaryFolder program;
    const std::string path = program / "ExcludeList.txt";
    PosixFileSystem fs;
    tidemark::testing::RecordingRunView messages;
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
    EXPECT_FALSE(Control("cmdSave").isEnabled());
    EXPECT_EQ(ReadFile(path), "a\r\n\r\n  " + accented);

    Type("\n   \n  node_modules ");
    EXPECT_TRUE(Control("cmdSave").isEnabled());
    QTest::mouseClick(&Control("cmdSave"), Qt::LeftButton);
    EXPECT_EQ(ReadFile(path), "a\r\n" + accented + "\r\n\r\nnode_modules ");
    EXPECT_EQ(list, (ExcludeList{"a", accented, "", "node_modules "}));
    EXPECT_FALSE(Control("cmdSave").isEnabled());
    EXPECT_TRUE(shown.isVisible());
    EXPECT_TRUE(messages.messages.empty());

    // A second Save needs a change first; a later activation does not hide one. Close drops
    // the change.
    Type("x");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&shown, &activate);
    EXPECT_TRUE(Control("cmdSave").isEnabled());
    QTest::mouseClick(&Control("cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(shown.isVisible());
    EXPECT_EQ(ReadFile(path), "a\r\n" + accented + "\r\n\r\nnode_modules ");
    EXPECT_EQ(list, (ExcludeList{"a", accented, "", "node_modules "}));
}

}  // namespace
}  // namespace tidemark::ui::testing
