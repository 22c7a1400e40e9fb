// The main window offscreen: load, runs and their log, the results list, layout, geometry,
// closing, the folder boxes with what is dropped on them, and the configuration row.
#include <filesystem>

#include "tests/config/fake_configuration_form.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/results_model.h"
#include "ui/window_run_view.h"

// What a window manager's close button ends in: the close request as the platform hands it
// over, which Qt drops while the window is blocked by a modal one. Qt's platform interface has
// no public header; the function is exported.
class QWindowSystemInterface {
  public:
    struct SynchronousDelivery {};
    template <typename Delivery>
    static bool handleCloseEvent(QWindow* window);
};

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::CountItemsStartingWith;
using tidemark::testing::MakeFolders;
using tidemark::testing::ReadFile;
using tidemark::testing::Settings;
using tidemark::testing::WriteFile;
using Strings = std::vector<std::string>;

void SendWindowManagerClose(QWindow& window) {
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(&window);
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

bool Contains(const Strings& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const Strings& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The built-in defaults themselves: see the configuration row tests. Not saving at the close:
// see the close during a paused run.
TEST_F(MainWindowTest, FirstStartRemindsBeforeShowingAndCloseSavesOnYesAndStoresTheGeometry) {
    state.usage_counter = 123456;
    Open();
    EXPECT_EQ(calls, Strings{"reminder"});
    EXPECT_FALSE(visible_at_reminder);
    EXPECT_FALSE(window->SettingsChanged());
    EXPECT_TRUE(std::filesystem::is_directory(program_folder + "/configurations"));
    EXPECT_EQ(
        window->windowTitle(),
        QStringLiteral("Tidemark ") + QStringLiteral(TIDEMARK_PROJECT_VERSION).section(u'.', 0, 1));
    EXPECT_EQ(RunControlsShown(), Strings{"cmdSynchronize"});

    Child<QComboBox>("cboStyle").setCurrentIndex(2);
    EXPECT_TRUE(Child<QLabel>("lblDescription").text().contains(QStringLiteral("overwrite")));
    EXPECT_TRUE(window->SettingsChanged());
    window->resize(900, 520);
    window->move(40, 60);
    window->ConfigurationBox().setEditText(QStringLiteral("Nightly"));
    calls.clear();
    window->close();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.ends_with("save them before you exit the application?"));
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(calls, (Strings{"save", "exit", "farewell", "end"}));
    EXPECT_FALSE(window->isVisible());
    // The outer size in twips: 900 × 520 pixels and the frame.
    const std::map<std::string, std::string> stored = {
        {"Configuration", "Nightly"}, {"FilesProcessed", "123456"}, {"ScreenWidth", "13610"},
        {"ScreenHeight", "8190"},     {"ScreenTop", "900"},         {"ScreenLeft", "600"}};
    EXPECT_EQ(store.values, stored);
    Open();
    EXPECT_EQ(QRect(window->pos(), window->size()), QRect(40, 60, 900, 520));

    // A value that is not a number leaves that property where the window system put it.
    store.values.clear();
    Open();
    const int default_top = window->y();
    store.values = {{"ScreenWidth", "13610"}, {"ScreenTop", "abc"}, {"ScreenLeft", "750"}};
    Open();
    EXPECT_EQ(window->pos(), QPoint(50, default_top));
    EXPECT_EQ(window->width(), 900);

    // Sizes below the minimum, or beyond any screen, are cut to what the window can be.
    store.values = {{"ScreenWidth", "15"}, {"ScreenHeight", "1e30"}};
    Open();
    EXPECT_EQ(window->width(), window->minimumWidth());
    EXPECT_GT(window->height(), 0);

    // A configurations folder that cannot be created does not stop the load.
    store.values.clear();
    WriteFile(temp / "not-a-folder", "x");
    program_folder = temp / "not-a-folder";
    calls.clear();
    Open();
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), Q(home_folder));
    EXPECT_EQ(calls, Strings{"reminder"});
}

TEST_F(MainWindowTest, TheStartUpReminderIsModalAndACloseRequestAfterItIsNeverLost) {
    const HelpTexts texts = BuildHelpTexts();
    QtLocaleText english(QLocale(QLocale::English, QLocale::UnitedStates));
    HelpWindow help(texts, english, shell, kDonationAddress);
    // The loss was intermittent: many starts, and the three ways to close the Help window.
    for (int start = 0; start < 30; ++start) {
        SCOPED_TRACE(start);
        store.values.clear();
        Open(false, /*show=*/false);
        calls.clear();
        ShowMainWindow(*window, help, 1234567, /*reminder_due=*/true);
        QPointer<FrmHelp> reminder = help.Window();
        ASSERT_NE(reminder, nullptr);
        EXPECT_TRUE(reminder->isVisible());  // nothing waited for it to close
        EXPECT_TRUE(reminder->isModal());
        EXPECT_TRUE(reminder->HelpText().contains(QStringLiteral("1,234,567 files.")));
        EXPECT_FALSE(window->isVisible());
        if (start % 3 == 0)
            QTest::mouseClick(&FindControl<QPushButton>(*reminder, "cmdClose"), Qt::LeftButton);
        else if (start % 3 == 1)
            QTest::keyClick(reminder, Qt::Key_Escape);
        else
            SendWindowManagerClose(*reminder->windowHandle());
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->isVisible(); }));
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);

        SendWindowManagerClose(*window->windowHandle());

        ASSERT_TRUE(QTest::qWaitFor([this] { return !calls.empty(); }));
        EXPECT_EQ(calls, (Strings{"exit", "farewell", "end"}));
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(store.values.contains("FilesProcessed"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(reminder, nullptr);
    }
}

// Paths with dots and blanks, so that launching must take the whole path of a line.
TEST_F(MainWindowTest, ARunWritesTheEngineLinesAndTheLogRestoresTheControlsAndLaunchesAPath) {
    const std::string source = temp / "my.data/src dir";
    const std::string destination = temp / "backup 2.0/dst";
    WriteFile(source + "/report v1.2.txt", "r");
    WriteFile(source + "/sub/b.txt", "beta");
    MakeFolders(destination);
    state.usage_counter = 10;
    Open();
    UseFolders(source, destination);
    window->ConfigurationBox().setEditText(QStringLiteral("Nightly"));

    Click("cmdSynchronize");

    EXPECT_EQ(messages.shown.size(), 1u);  // the confirmation
    // The lines themselves are the engine's; launching takes a copied file's line.
    const Strings expected = Lines();
    ASSERT_EQ(expected.size(), 10u);
    EXPECT_EQ(ReadFile(program_folder + "/logs/2026-06-01.log"),
              "--- 2026-06-01 02:00:05 Nightly ---\n" + Joined(expected));
    EXPECT_EQ(expected[0], "Synchronizing " + source + " --> " + destination);
    EXPECT_EQ(expected[4], "Creating file " + destination + "/report v1.2.txt");
    EXPECT_EQ(expected[9], "Done!");
    EXPECT_EQ(ReadFile(destination + "/sub/b.txt"), "beta");
    EXPECT_EQ(state.usage_counter, 12);
    const QProgressBar& bar = Child<QProgressBar>("ProgressBar1");
    EXPECT_EQ(std::pair(bar.value(), bar.maximum()), std::pair(2, 2));
    EXPECT_TRUE(Child<QWidget>("frmControls").isEnabled());
    EXPECT_EQ(RunControlsShown(), Strings{"cmdSynchronize"});

    // A double click on a line offers to launch exactly its path; a line with no path offers
    // nothing; No opens nothing.
    auto& list = Child<QListView>("lstResults");
    auto double_click = [&](int row) {
        const QRect cell = list.visualRect(list.model()->index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    };
    messages.shown.clear();
    double_click(4);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Would you like to launch " + destination + "/report v1.2.txt?");
    EXPECT_EQ(shell.opened, Strings{destination + "/report v1.2.txt"});
    double_click(9);
    messages.answers = {MessageAnswer::kNo};
    double_click(4);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(shell.opened.size(), 1u);
    QTest::mouseClick(&Child<QLabel>("lblDonate"), Qt::LeftButton);
    EXPECT_EQ(shell.opened.back(), kDonationAddress);

    // A folder where the next day's log belongs: unwritable for root too. No box, and the run
    // goes on.
    calendar.now.date = std::chrono::year{2026} / 6 / 2;
    const std::string day_file = program_folder + "/logs/2026-06-02.log";
    MakeFolders(day_file);
    WriteFile(source + "/c.txt", "c");
    messages.shown.clear();
    Click("cmdSynchronize");
    EXPECT_EQ(ReadFile(destination + "/c.txt"), "c");
    const Strings logged = Lines();
    EXPECT_EQ(logged.back(), "Done!");
    const std::string status = Child<QLabel>("lblOutput").text().toStdString();
    EXPECT_TRUE(status.starts_with("The log " + day_file + " could not be written.  ")) << status;
    EXPECT_EQ(messages.shown.size(), 1u);  // the confirmation alone

    // Cancel at the unsaved settings question leaves the list untouched; Yes saves, then runs.
    WriteFile(source + "/new.txt", "new");
    QTest::mouseClick(&Child<QCheckBox>("chkLogIgnored"), Qt::LeftButton);
    messages.shown.clear();
    messages.answers = {MessageAnswer::kCancel};
    Click("cmdSynchronize");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::kYesNoCancel);
    EXPECT_EQ(Lines(), logged);
    EXPECT_FALSE(Contains(calls, "save"));
    messages.answers = {MessageAnswer::kYes, MessageAnswer::kYes};
    Click("cmdSynchronize");
    EXPECT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(calls.back(), "save");
    EXPECT_EQ(ReadFile(destination + "/new.txt"), "new");
}

TEST_F(MainWindowTest, WindowLinesReachTheListOnlyWhenARefreshIsDue) {
    Open();
    ui::WindowRunView& view = window->View();
    for (const char* text : {"one", "two", "three"})
        view.AddLine(ResultLine{text, {}});
    view.ProcessEvents();
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("Ready!"));

    clock.seconds += 1.0;
    view.ProcessEvents();
    EXPECT_EQ(Lines(), (Strings{"one", "two", "three"}));
    EXPECT_EQ(Child<QListView>("lstResults").currentIndex().row(), 2);
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("three"));

    // Only the last status and time written since the refresh before show.
    view.SetStatus("synchronizing...");
    view.SetTimeRemaining("2.0 seconds");
    view.AddLine(ResultLine{"four", {}});
    view.SetTimeRemaining("1.0 seconds");
    clock.seconds += 1.0;
    view.ProcessEvents();
    EXPECT_EQ(
        std::pair(Child<QLabel>("lblOutput").text(), Child<QLabel>("lblTimeRemaining").text()),
        std::pair(QStringLiteral("four"), QStringLiteral("1.0 seconds")));

    // Everything written shows before a message box does.
    view.AddLine(ResultLine{"five", {}});
    view.SetProgressMaximum(10);
    view.SetProgressValue(7);
    messages.on_show = [&](const std::string&) { EXPECT_EQ(Lines().size(), 5u); };
    view.ShowMessage("question", MessageButtons::kYesNo, MessageIcon::kQuestion);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(Child<QProgressBar>("ProgressBar1").value(), 7);

    // A repaint, too, refreshes only when a refresh is due.
    clock.seconds += 1.0;
    view.AddLine(ResultLine{"six", {}});
    view.Repaint();
    view.AddLine(ResultLine{"seven", {}});
    view.Repaint();
    EXPECT_EQ(Lines().size(), 6u);
}

// The list keeps every line of a run with the path it names, however its store packs them:
// some 1.4 MiB of short lines, more than a block, and one line larger than a block among them.
TEST_F(MainWindowTest, TheListKeepsEveryLineAndItsPathAndCopiesOrSavesTheSelectedOrAllLines) {
    const std::vector<ResultLine> kinds = {
        {"Creating file /copy/a.txt", "/copy/a.txt"},
        {"Done!", ""},
        {"Updating file /copy/b - orig: x, new: y", "/copy/b"},
        {"Skipping 3 files in folder /data/x due to custom Exclude List!", "/data/x"},
        {"a line whose path is not in it", "/elsewhere/file"},
        {"", ""},
    };
    std::vector<ResultLine> all;
    for (int repeat = 0; repeat < 8000; ++repeat)
        all.insert(all.end(), kinds.begin(), kinds.end());
    all.insert(all.begin() + 20'000, {std::string(3 << 20, 'x') + " /long", "/long"});
    all.push_back({"the last line", ""});
    Open();
    auto& list = Child<QListView>("lstResults");
    const QAbstractItemModel& model = *list.model();
    for (int round = 0; round < 2; ++round) {
        window->View().ClearResults();
        for (const ResultLine& line : all)
            window->View().AddLine(line);
        window->View().EndRun();
        std::vector<ResultLine> shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row, 0);
            shown.push_back({index.data().toString().toStdString(),
                             index.data(ResultsModel::kPathRole).toString().toStdString()});
        }
        ASSERT_TRUE(shown == all) << "round " << round;
    }
    EXPECT_EQ(list.currentIndex().row(), model.rowCount() - 1);

    list.selectionModel()->select(model.index(0, 0), QItemSelectionModel::ClearAndSelect);
    list.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select);
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), all[0].text + "\n" + all[2].text);
    for (QAction* action : list.actions()) {
        if (action->text() == QStringLiteral("Copy All"))
            action->trigger();
    }
    const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    EXPECT_EQ(copied.size(), model.rowCount());
    EXPECT_EQ(copied.back(), QStringLiteral("the last line"));

    // Save As writes every line, or says why it could not; a cancelled dialog does nothing.
    Strings suggested;
    std::string chosen = temp / "results.txt";
    window->Hooks().choose_results_file = [&](const std::string& start) {
        suggested.push_back(start);
        return chosen;
    };
    auto* save_as = list.findChild<QAction*>(QStringLiteral("actSaveAs"));
    ASSERT_NE(save_as, nullptr);
    save_as->trigger();
    EXPECT_EQ(ReadFile(chosen), Joined(Lines()));
    EXPECT_EQ(suggested, Strings{home_folder + "/Tidemark results.txt"});
    chosen = temp / "missing/results.txt";
    save_as->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown.back().icon, MessageIcon::kCritical);
    EXPECT_TRUE(
        messages.shown.back().text.starts_with("The file " + chosen + " could not be saved"));
    chosen.clear();
    save_as->trigger();
    EXPECT_EQ(messages.shown.size(), 1u);
}

/// Whether the widget draws anything in the blue of a live link.
bool DrawsLinkBlue(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.blue() > 200 && pixel.red() < 90 && pixel.green() < 90)
                return true;
        }
    }
    return false;
}

TEST_F(MainWindowTest, StopEndsARunEarlyAndClosingDuringAPausedRunStopsItThenCloses) {
    for (int file = 0; file < 300; ++file)
        WriteFile(temp / ("src/f" + std::to_string(file) + ".txt"), "x");
    MakeFolders(temp / "dst");
    state.usage_counter = 1000;
    Open();
    calls.clear();
    UseFolders(temp / "src", temp / "dst");
    messages.on_show = [this](const std::string&) {
        QTimer::singleShot(0, window.get(), [this] { Click("cmdStop"); });
    };
    Click("cmdSynchronize");
    const Strings stopped = Lines();
    EXPECT_TRUE(
        Contains(stopped, "Synchronization stopped prior to completion due to user request..."));
    EXPECT_EQ(stopped.back(), "Done!");
    const int copied_when_stopped = CountItemsStartingWith(temp / "dst", "f");
    EXPECT_LT(copied_when_stopped, 300);
    EXPECT_TRUE(
        Contains(stopped, " --> Total files copied: " + std::to_string(copied_when_stopped)));
    EXPECT_TRUE(Child<QPushButton>("cmdSynchronize").isVisible());

    // Into a fresh folder, with the settings changed: not saved before the run, the run
    // confirmed, not saved at the close.
    MakeFolders(temp / "dst2");
    UseFolders(temp / "src", temp / "dst2");
    QTest::mouseClick(&Child<QCheckBox>("chkLogIgnored"), Qt::LeftButton);
    messages.answers = {MessageAnswer::kNo, MessageAnswer::kYes, MessageAnswer::kNo};
    int copied_when_closed = -1;
    auto close_while_paused = [&] {
        EXPECT_EQ(Child<QPushButton>("cmdPause").text(), QStringLiteral("Continue"));
        EXPECT_TRUE(Contains(Lines(), "Synchronization paused due to user request..."));
        EXPECT_FALSE(Child<QWidget>("frmControls").isEnabled());
        // Every setting looks inert, the link to the exclude list too; the other links live on.
        EXPECT_FALSE(DrawsLinkBlue(Child<QLabel>("lblExcludeList")));
        EXPECT_TRUE(DrawsLinkBlue(Child<QLabel>("lblHelp")));
        copied_when_closed = CountItemsStartingWith(temp / "dst2", "f");
        window->close();
        EXPECT_TRUE(window->isVisible());  // until the run has stopped
        EXPECT_TRUE(calls.empty());
    };
    messages.on_show = [&](const std::string& text) {
        if (text.find("Are you sure you want to synchronize") == std::string::npos)
            return;
        QTimer::singleShot(0, window.get(), [&] {
            Click("cmdPause");
            clock.step = 0.05;  // the paused run looks at events every other round of 100 ms
            QTimer::singleShot(0, window.get(), close_while_paused);
        });
    };

    Click("cmdSynchronize");

    EXPECT_GT(copied_when_closed, 0);
    EXPECT_EQ(CountItemsStartingWith(temp / "dst2", "f"), copied_when_closed);
    EXPECT_EQ(CountItemsStartingWith(temp / "dst2", ".tidemark-"), 0);
    const Strings lines = Lines();
    EXPECT_TRUE(Contains(lines, " --> Total files copied: " + std::to_string(copied_when_closed)));
    EXPECT_FALSE(Contains(lines, "Synchronization continued due to user request..."));
    EXPECT_EQ(lines.back(), "Done!");
    EXPECT_TRUE(messages.shown.back().text.ends_with("before you exit the application?"));
    EXPECT_EQ(calls, (Strings{"exit", "farewell", "end"}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(store.values.at("FilesProcessed"),
              std::to_string(1000 + copied_when_stopped + copied_when_closed));
}

/// Checks that every caption among the parent's own controls has the room it needs and lies
/// inside the window, and that what visible neighbours draw does not overlap.
void ExpectNoCaptionClipped(QWidget& parent, QWidget& window) {
    std::vector<std::pair<std::string, QRect>> drawn;
    for (QWidget* widget : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const std::string name = widget->objectName().toStdString();
        if (!widget->isVisibleTo(&window) || name.empty() || name == "frmControls")
            continue;
        QRect content(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        auto* label = qobject_cast<QLabel*>(widget);
        const bool captioned = label != nullptr ? !label->text().isEmpty()
                                                : qobject_cast<QCheckBox*>(widget) != nullptr;
        const QSize need = captioned ? widget->sizeHint() : QSize();
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_GT(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
                << name;
        }
        if (need.isValid()) {
            EXPECT_EQ(widget->size().expandedTo(need), widget->size()) << name;
            // What is drawn: the text's own box, at the left or the right, centred vertically.
            const int left = label != nullptr && (label->alignment() & Qt::AlignRight)
                                 ? content.right() + 1 - need.width()
                                 : content.left();
            content =
                QRect(left, content.center().y() - need.height() / 2, need.width(), need.height());
        }
        if (content.isEmpty())
            continue;
        EXPECT_TRUE(content.left() >= 0 && content.right() < window.width()) << name;
        drawn.emplace_back(name, content);
    }
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        for (std::size_t j = i + 1; j < drawn.size(); ++j) {
            EXPECT_FALSE(drawn[i].second.intersects(drawn[j].second))
                << drawn[i].first << " overlaps " << drawn[j].first;
        }
    }
}

TEST_F(MainWindowTest, AtTheMinimumSizeTheRulesHoldAndNoCaptionIsClipped) {
    Open();
    window->resize(1, 1);
    const QSize minimum = window->minimumSize();
    EXPECT_EQ(window->size(), minimum);
    EXPECT_EQ(minimum.height(), 374);  // (6000 - frame) / 15
    EXPECT_GE(minimum.width(), 646);   // wider only where the captions need it

    const double w = minimum.width() * kTwipsPerPixel + kFrameWidth;
    // Centred in the outer width, which counts the frame.
    const QRect synchronize = Child<QWidget>("cmdSynchronize").geometry();
    EXPECT_EQ(synchronize.x(), std::lround((w - 3315) / 2 / kTwipsPerPixel));
    EXPECT_EQ(Child<QWidget>("cmdPause").x(), synchronize.x());
    EXPECT_EQ(Child<QWidget>("cmdStop").geometry().right(), synchronize.right());
    for (const QSize size : {minimum, QSize(1200, 900)}) {
        window->resize(size);
        ExpectNoCaptionClipped(*window, *window);
        ExpectNoCaptionClipped(Child<QWidget>("frmControls"), *window);
    }
    EXPECT_EQ(window->CurrentPlacement().at("txtSource").width, 1200 * 15 + kFrameWidth - 2100);

    // The status line widens with the list below it, so a long line such as the preview banner
    // shows whole.
    QLabel& output = Child<QLabel>("lblOutput");
    output.setText(
        QStringLiteral("********** WARNING:  Synchronization is set to use Preview Only "
                       "Mode!  Changes specified will not actually be made **********"));
    EXPECT_EQ(output.width(), Child<QWidget>("lstResults").width());
    EXPECT_GE(output.width(), output.sizeHint().width());
}

TEST_F(MainWindowTest, FolderBoxesTrimOnLeavingTheirButtonsStartAtTheFolderAndTakeDrops) {
    MakeFolders(temp / "existing");
    Open();
    QLineEdit& source = Child<QLineEdit>("txtSource");
    source.setText(Q("  " + temp / "existing" + "  "));
    window->ClearSettingsChanged();
    QFocusEvent focus_out(QEvent::FocusOut);
    QApplication::sendEvent(&source, &focus_out);
    EXPECT_EQ(source.text(), Q(temp / "existing"));
    EXPECT_TRUE(window->SettingsChanged());
    QFocusEvent focus_in(QEvent::FocusIn);
    QApplication::sendEvent(&source, &focus_in);
    QApplication::processEvents();
    EXPECT_EQ(source.selectedText(), Q(temp / "existing"));

    Child<QLineEdit>("txtDestination").setText(Q(temp / "missing"));
    window->ClearSettingsChanged();
    picker.answer = "";  // cancelled
    Click("cmdFile(0)");
    Click("cmdFile(1)");
    EXPECT_EQ(picker.starts, (Strings{temp / "existing", home_folder}));
    EXPECT_EQ(Child<QLineEdit>("txtDestination").text(), Q(temp / "missing"));
    EXPECT_FALSE(window->SettingsChanged());
    picker.answer = temp / "chosen";
    Click("cmdFile(1)");
    EXPECT_EQ(Child<QLineEdit>("txtDestination").text(), Q(temp / "chosen"));
    EXPECT_TRUE(window->SettingsChanged());

    // A folder dropped on a box or its button gives its path, a file its folder; anything
    // else is refused.
    const std::string drop = temp / "drop";
    MakeFolders(drop + "/folder a");
    WriteFile(drop + "/file.txt", "x");
    std::filesystem::create_directory_symlink(drop + "/folder a", drop + "/link");
    struct Case {
        const char* target;
        const char* box;
        Strings dropped;
        std::string taken;  // empty: refused
    };
    const Case cases[] = {
        {"txtSource", "txtSource", {drop + "/folder a"}, drop + "/folder a"},
        {"cmdFile(1)", "txtDestination", {drop + "/file.txt"}, drop},
        {"txtDestination", "txtDestination", {drop + "/link"}, drop + "/link"},
        {"cmdFile(0)", "txtSource", {drop + "/missing"}, ""},
        {"txtSource", "txtSource", {drop + "/folder a", drop}, ""},
        {"txtSource", "txtSource", {"https://example.org/a/"}, ""},
        {"txtDestination", "txtDestination", {}, ""},  // text alone
    };
    for (const Case& c : cases) {
        QLineEdit& box = Child<QLineEdit>(c.box);
        box.setText(QStringLiteral("before"));
        QList<QUrl> urls;
        for (const std::string& path : c.dropped)
            urls.push_back(path.starts_with("http") ? QUrl(Q(path)) : QUrl::fromLocalFile(Q(path)));
        QMimeData data;
        data.setUrls(urls);
        data.setText(QStringLiteral("/tmp"));
        QWidget& target = Child<QWidget>(c.target);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(QPoint(2, 2), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &enter);
        QDropEvent drop_event(QPointF(2, 2), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop_event);
        const bool taken = !c.taken.empty();
        EXPECT_EQ(enter.isAccepted(), taken) << c.target << " " << c.taken;
        EXPECT_EQ(drop_event.isAccepted(), taken) << c.target << " " << c.taken;
        // A link to what was dropped: the file manager must not move it.
        EXPECT_TRUE(!taken || drop_event.dropAction() == Qt::LinkAction) << c.target;
        EXPECT_EQ(box.text().toStdString(), taken ? c.taken : "before") << c.target;
    }
}

// The configuration row with the configuration commands connected as the program connects
// them, over a real program folder: remembered, picked, saved and damaged files.

class ConfigurationRow : public MainWindowTest {
  protected:
    void Stored(const std::vector<std::pair<std::string, SyncSettings>>& configurations) {
        MakeFolders(program_folder + "/configurations");
        std::string index;
        for (const auto& [name, values] : configurations) {
            WriteFile(config.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        WriteFile(config.IndexPath(), index);
    }

    QComboBox& Names() { return Child<QComboBox>("cboConfiguration"); }
    /// The user picks an entry of the drop-down list.
    void Pick(int position) {
        Names().setCurrentIndex(position);
        Q_EMIT Names().activated(position);
    }
    /// The row as it shows: the entries, the name field, and the Save caption, "*Save" in bold
    /// while marked.
    std::string Row() {
        std::string row;
        for (int i = 0; i < Names().count(); ++i)
            row += (i > 0 ? ", " : "") + Names().itemText(i).toStdString();
        QPushButton& save = Child<QPushButton>("cmdConfigSave");
        EXPECT_EQ(save.text() == QStringLiteral("*Save"), save.font().bold());
        return row + " | " + Names().currentText().toStdString() + " | " +
               save.text().toStdString();
    }
};

TEST_F(ConfigurationRow, TheSaveCaptionFollowsChangesAndSavesAndLeavingTheNameLoadsNothing) {
    Stored({{"My Work", Settings(1, "/work")}});
    Open(true);
    QTest::mouseClick(&Child<QCheckBox>("chkPreview"), Qt::LeftButton);
    EXPECT_EQ(Row(), "My Work |  | *Save");
    Pick(0);
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), QStringLiteral("/work"));
    EXPECT_EQ(Child<QCheckBox>("chkPreview").checkState(), Qt::Unchecked);
    EXPECT_EQ(Row(), "My Work | My Work | Save");

    Names().setEditText(QString());
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("Laptop"));
    EXPECT_EQ(Row(), "My Work | Laptop | *Save");
    Click("cmdConfigSave");
    EXPECT_EQ(Row(), "My Work, Laptop | Laptop | Save");
    EXPECT_EQ(Names().currentIndex(), 1);  // the saved name is selected, so Delete takes it
    EXPECT_EQ(ReadFile(config.IndexPath()), "\r\nMy Work\r\nLaptop");
    EXPECT_EQ(ReadFile(config.GetConfigPath("Laptop")), GetConfigText(window->CurrentSettings()));

    Pick(0);
    Child<QLineEdit>("txtDestination").setText(QStringLiteral("/elsewhere"));
    Click("cmdConfigDel");  // answered Yes
    EXPECT_EQ(Row(), "Laptop |  | *Save");
    EXPECT_EQ(Names().currentIndex(), -1);
    Click("cmdConfigRestore");  // answered Yes
    EXPECT_EQ(Row(), "Laptop, MyWork |  | *Save");

    // Leaving the name field does not load over unsaved settings: "mywork" matches the entry
    // "MyWork" when case is ignored, as the combo box compares, and the click on Save takes
    // the focus from the name field.
    const std::string restored = config.LoadConfiguration("MyWork").value()->source_path;
    QApplication::setActiveWindow(window.get());
    Child<QLineEdit>("txtSource").setText(QStringLiteral("/new/work"));
    Names().lineEdit()->setFocus();
    Names().lineEdit()->clear();
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("mywork"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    Click("cmdConfigSave");
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), QStringLiteral("/new/work"));
    EXPECT_EQ(Row(), "Laptop, MyWork, mywork | mywork | Save");
    EXPECT_EQ(config.LoadConfiguration("mywork").value()->source_path, "/new/work");
    EXPECT_EQ(config.LoadConfiguration("MyWork").value()->source_path, restored);
}

TEST_F(ConfigurationRow, TheRememberedConfigurationLoadsUnmarkedAndItsGreyedOptionsUntilClicked) {
    SyncSettings greyed = Settings(2, "/home/ann/Docs");
    greyed.use_exclude_list = greyed.ignore_hidden = greyed.ignore_system = CheckState::kGreyed;
    greyed.log_ignored = greyed.reverse_sync = greyed.preview_only = CheckState::kGreyed;
    Stored({{"Greyed", greyed}, {"Plain", Settings(0, "/data")}});
    store.values["Configuration"] = "Greyed";
    Open(true);
    const char* boxes[] = {"chkUseExcludeList", "chkIgnoreHidden", "chkIgnoreSystem",
                           "chkLogIgnored",     "chkReverseSync",  "chkPreview"};
    EXPECT_EQ(window->CurrentSettings(), greyed);
    EXPECT_EQ(Row(), "Greyed, Plain | Greyed | Save");
    EXPECT_TRUE(messages.shown.empty());
    for (const char* name : boxes)
        EXPECT_EQ(Child<QCheckBox>(name).checkState(), Qt::PartiallyChecked) << name;

    // Clicks after a greyed load, and after a plain load that followed one, never grey a box.
    for (const int load : {0, 1}) {
        if (load == 1) {
            Pick(0);
            Pick(1);
        }
        for (const char* name : boxes) {
            QCheckBox& box = Child<QCheckBox>(name);
            for (int click = 0; click < 3; ++click) {
                const Qt::CheckState before = box.checkState();
                QTest::mouseClick(&box, Qt::LeftButton);
                EXPECT_NE(box.checkState(), Qt::PartiallyChecked) << name << " click " << click;
                EXPECT_NE(box.checkState(), before) << name;
            }
        }
        const SyncSettings clicked = window->CurrentSettings();
        for (const CheckState value :
             {clicked.use_exclude_list, clicked.ignore_hidden, clicked.ignore_system,
              clicked.log_ignored, clicked.reverse_sync, clicked.preview_only})
            EXPECT_NE(value, CheckState::kGreyed);
    }
}

// Every kind of damage: see the configuration commands' tests.
TEST_F(ConfigurationRow, ADamagedRememberedConfigurationLeavesTheDefaults) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home/ann/Docs")}});
    WriteFile(config.GetConfigPath("Home"), "2\r\n/home/ann/Docs\r\n");
    store.values["Configuration"] = "Home";
    Open(true);
    SyncSettings defaults;
    defaults.source_path = defaults.destination_path = home_folder;
    EXPECT_EQ(window->CurrentSettings(), defaults);
    EXPECT_EQ(Row(), "Work, Home | Home | Save");
}

}  // namespace
}  // namespace tidemark::ui::testing
