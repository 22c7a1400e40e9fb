// The window's run log, "Save As..." of the results list, and folders dropped on the locations.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QUrl>
#include <filesystem>

#include "tests/ui/main_window_fixture.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::MakeFolders;
using tidemark::testing::ReadFile;
using tidemark::testing::WriteFile;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

class RunLogWindowTest : public MainWindowTest {
  protected:
    void RunOnce() {
        MakeFolders(temp / "src");
        MakeFolders(temp / "dst");
        WriteFile(temp / "src/a.txt", "alpha");
        UseFolders(temp / "src", temp / "dst");
        Click("cmdSynchronize");
    }
    std::string LogPath() const { return program_folder + "/logs/2026-06-01.log"; }
};

TEST_F(RunLogWindowTest, EveryRunIsAppendedToTheDayFile) {
    Open();
    Child<QComboBox>("cboConfiguration").setEditText(QStringLiteral("Nightly"));
    RunOnce();
    const std::string first = Joined(Lines());
    calendar.now.hour = 3;
    RunOnce();
    EXPECT_EQ(ReadFile(LogPath()), "--- 2026-06-01 02:00:05 Nightly ---\n" + first +
                                       "--- 2026-06-01 03:00:05 Nightly ---\n" + Joined(Lines()));
}

TEST_F(RunLogWindowTest, AnUnwritableLogFolderIsReportedOnceInTheStatusLineAndTheRunGoesOn) {
    // A folder where the day file belongs: unwritable for root too.
    MakeFolders(LogPath());
    ASSERT_EQ(::chmod((program_folder + "/logs").c_str(), 0555), 0);
    Open();
    RunOnce();
    EXPECT_EQ(ReadFile(temp / "dst/a.txt"), "alpha");
    EXPECT_EQ(Lines().back(), "Done!");
    const std::string status = Child<QLabel>("lblOutput").text().toStdString();
    EXPECT_TRUE(status.starts_with("The log " + LogPath() + " could not be written.  ")) << status;
    EXPECT_EQ(messages.shown.size(), 1u);  // the confirmation alone: no box for the log
}

TEST_F(RunLogWindowTest, SaveAsWritesTheShownLinesOrSaysWhyItCouldNot) {
    Open();
    RunOnce();
    std::vector<std::string> suggested;
    std::string chosen = temp / "results.txt";
    window->Hooks().choose_results_file = [&](const std::string& start) {
        suggested.push_back(start);
        return chosen;
    };
    QAction* save_as =
        Child<QListView>("lstResults").findChild<QAction*>(QStringLiteral("actSaveAs"));
    ASSERT_NE(save_as, nullptr);
    EXPECT_EQ(save_as->text(), QStringLiteral("Save As..."));
    save_as->trigger();
    EXPECT_EQ(ReadFile(chosen), Joined(Lines()));
    EXPECT_EQ(suggested, std::vector<std::string>{home_folder + "/Tidemark results.txt"});

    chosen = temp / "missing/results.txt";
    save_as->trigger();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown.back().icon, MessageIcon::kCritical);
    EXPECT_TRUE(
        messages.shown.back().text.starts_with("The file " + chosen + " could not be saved"));

    chosen.clear();  // cancelled
    save_as->trigger();
    EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(MainWindowTest, AFolderDropsItsPathAFileItsFolderAndAnythingElseIsRefused) {
    MakeFolders(temp / "drop/folder a");
    WriteFile(temp / "drop/file.txt", "x");
    std::filesystem::create_directory_symlink(temp / "drop/folder a", temp / "drop/link");
    Open();
    const auto urls = [](std::initializer_list<std::string> paths) {
        QList<QUrl> list;
        for (const std::string& path : paths)
            list.push_back(path.starts_with("http")
                               ? QUrl(QString::fromStdString(path))
                               : QUrl::fromLocalFile(QString::fromStdString(path)));
        return list;
    };
    struct Case {
        const char* target;
        const char* box;
        QList<QUrl> dropped;
        std::string taken;  // empty: refused
    };
    const Case cases[] = {
        {"txtSource", "txtSource", urls({temp / "drop/folder a"}), temp / "drop/folder a"},
        {"cmdFile(1)", "txtDestination", urls({temp / "drop/file.txt"}), temp / "drop"},
        {"txtDestination", "txtDestination", urls({temp / "drop/link"}), temp / "drop/link"},
        {"cmdFile(0)", "txtSource", urls({temp / "drop/missing"}), ""},
        {"txtSource", "txtSource", urls({temp / "drop/folder a", temp / "drop"}), ""},
        {"txtSource", "txtSource", urls({"https://example.org/a/"}), ""},
        {"txtDestination", "txtDestination", {}, ""},  // text alone
    };
    for (const Case& c : cases) {
        QLineEdit& box = Child<QLineEdit>(c.box);
        box.setText(QStringLiteral("before"));
        QMimeData data;
        data.setUrls(c.dropped);
        data.setText(QStringLiteral("/tmp"));
        QWidget& target = Child<QWidget>(c.target);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(QPoint(2, 2), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &enter);
        QDropEvent drop(QPointF(2, 2), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
        const bool taken = !c.taken.empty();
        EXPECT_EQ(enter.isAccepted(), taken) << c.target << " " << c.taken;
        EXPECT_EQ(drop.isAccepted(), taken) << c.target << " " << c.taken;
        if (taken) {  // a link to what was dropped: the file manager must not move it
            EXPECT_EQ(drop.dropAction(), Qt::LinkAction);
        }
        EXPECT_EQ(box.text().toStdString(), taken ? c.taken : "before") << c.target;
    }
}

}  // namespace
}  // namespace tidemark::ui::testing
