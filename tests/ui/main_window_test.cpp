// The main window offscreen: load, runs, layout, geometry, launching and copying lines.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "tests/ui/main_window_fixture.h"
#include "ui/main_window_layout.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::MakeFolders;
using tidemark::testing::ReadFile;

void WriteFile(const std::string& path, const std::string& content) {
    MakeFolders(std::filesystem::path(path).parent_path().string());
    tidemark::testing::WriteFile(path, content);
}

constexpr const char* kSaveNow =
    "The settings have changed for this configuration.\r\n\r\nWould you like to save them now?";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

int CountFiles(const std::string& folder) {
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    return files;
}

TEST_F(MainWindowTest, FirstStartWithAnEmptyStoreShowsTheBuiltInDefaults) {
    Open();

    EXPECT_EQ(Child<QComboBox>("cboStyle").currentText(), QStringLiteral("Safe Mode"));
    EXPECT_EQ(Child<QLabel>("lblDescription").text(),
              QStringLiteral("Only copy files if they do not currently exist in the "
                             "destination directory"));
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), Q(home_folder));
    EXPECT_EQ(Child<QLineEdit>("txtDestination").text(), Q(home_folder));
    EXPECT_TRUE(Child<QCheckBox>("chkIgnoreHidden").isChecked());
    EXPECT_TRUE(Child<QCheckBox>("chkIgnoreSystem").isChecked());
    for (const char* option :
         {"chkUseExcludeList", "chkLogIgnored", "chkReverseSync", "chkPreview"}) {
        EXPECT_FALSE(Child<QCheckBox>(option).isChecked()) << option;
    }
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("Ready!"));
    EXPECT_EQ(Child<QPushButton>("cmdConfigSave").text(), QStringLiteral("Save"));
    EXPECT_FALSE(Child<QPushButton>("cmdConfigSave").font().bold());
    EXPECT_FALSE(window->SettingsChanged());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tidemark %1.%2")
                                         .arg(TIDEMARK_PROJECT_VERSION_MAJOR)
                                         .arg(TIDEMARK_PROJECT_VERSION_MINOR));

    // The start-up reminder comes before the window is first shown.
    EXPECT_EQ(calls, std::vector<std::string>{"reminder"});
    EXPECT_FALSE(visible_at_reminder);
    EXPECT_TRUE(std::filesystem::is_directory(program_folder + "/configurations"));

    EXPECT_TRUE(Child<QPushButton>("cmdSynchronize").isVisible());
    for (const char* hidden : {"cmdPause", "cmdStop", "lblApprox", "lblCalculatedTimeMsg"}) {
        EXPECT_FALSE(Child<QWidget>(hidden).isVisible()) << hidden;
    }
}

TEST_F(MainWindowTest, ControlsCarryTheirFontsLinkStyleAndTabOrder) {
    Open();
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "lblApprox"}) {
        EXPECT_TRUE(Child<QLabel>(name).font().bold()) << name;
        EXPECT_DOUBLE_EQ(Child<QLabel>(name).font().pointSizeF(), 8.25) << name;
    }
    for (const char* name : {"lblHelp", "lblAbout", "lblDonate", "lblExcludeList"}) {
        QLabel& link = Child<QLabel>(name);
        EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255)) << name;
        EXPECT_TRUE(link.font().underline()) << name;
        EXPECT_TRUE(link.font().bold()) << name;
        EXPECT_EQ(link.cursor().shape(), Qt::WhatsThisCursor) << name;
    }
    EXPECT_TRUE(Child<QPushButton>("cmdSynchronize").font().bold());
    EXPECT_DOUBLE_EQ(Child<QPushButton>("cmdSynchronize").font().pointSizeF(), 9.75);
    EXPECT_TRUE(Child<QPushButton>("cmdFile(0)").font().bold());
    EXPECT_TRUE(Child<QLabel>("lblCalculatedTimeMsg").font().italic());
    EXPECT_FALSE(Child<QLabel>("lblCalculatedTimeMsg").font().bold());

    const char* order[] = {
        "cboConfiguration", "cmdConfigSave",     "cmdConfigDel",    "cmdConfigRestore",
        "cboStyle",         "txtSource",         "cmdFile(0)",      "txtDestination",
        "cmdFile(1)",       "chkUseExcludeList", "chkIgnoreHidden", "chkIgnoreSystem",
        "chkLogIgnored",    "chkReverseSync",    "chkPreview",      "cmdSynchronize",
        "cmdPause",         "cmdStop",           "lstResults"};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        // The next control that the Tab key can reach (an editable combo box's own line edit
        // is part of the combo box).
        QWidget* next = Child<QWidget>(order[i - 1]).nextInFocusChain();
        while (next != nullptr && (!(next->focusPolicy() & Qt::TabFocus) ||
                                   next->parentWidget() == &Child<QWidget>(order[i - 1]))) {
            next = next->nextInFocusChain();
        }
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->objectName(), QString::fromLatin1(order[i])) << "after " << order[i - 1];
    }
}

TEST_F(MainWindowTest, LoadGoesOnWhenTheConfigurationsFolderCannotBeCreated) {
    WriteFile(temp / "not-a-folder", "x");
    program_folder = temp / "not-a-folder";
    Open();
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("Ready!"));
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), Q(home_folder));
    EXPECT_EQ(calls, std::vector<std::string>{"reminder"});
}

TEST_F(MainWindowTest, StyleChoiceShowsItsDescriptionAndMarksTheSettings) {
    Open();
    Child<QComboBox>("cboStyle").setCurrentIndex(2);
    EXPECT_EQ(Child<QLabel>("lblDescription").text(),
              QStringLiteral("Copy new files and overwrite any existing files in the "
                             "destination directory"));
    EXPECT_TRUE(window->SettingsChanged());
    EXPECT_EQ(Child<QPushButton>("cmdConfigSave").text(), QStringLiteral("*Save"));
    EXPECT_TRUE(Child<QPushButton>("cmdConfigSave").font().bold());
}

TEST_F(MainWindowTest, CompleteRunWritesTheEngineLinesAndRestoresTheControls) {
    WriteFile(temp / "src/a.txt", "alpha");
    WriteFile(temp / "src/sub/b.txt", "beta");
    MakeFolders(temp / "dst");
    state.usage_counter = 10;
    Open();
    UseFolders(temp / "src", temp / "dst");

    Click("cmdSynchronize");

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, temp / "src" + " --> " + temp / "dst" +
                                          "\r\n\r\nAre you sure you want to synchronize 2 "
                                          "files now?");
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kQuestion);
    const std::vector<std::string> expected = {
        "Synchronizing " + temp / "src" + " --> " + temp / "dst",
        "Sychronization of 2 files started at @1600000000!",
        "Creating Folder " + temp / "dst/sub",
        "Creating file " + temp / "dst/sub/b.txt",
        "Creating file " + temp / "dst/a.txt",
        "Sychronization completed at @1600000000!",
        " --> Total files processed during synchronization: 2",
        " --> Total folders created: 1",
        " --> Total files copied: 2",
        "Done!",
    };
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(ReadFile(temp / "dst/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(temp / "dst/sub/b.txt"), "beta");
    EXPECT_EQ(state.usage_counter, 12);

    auto& list = Child<QListView>("lstResults");
    EXPECT_EQ(list.currentIndex().row(), static_cast<int>(expected.size()) - 1);
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("Done!"));
    EXPECT_EQ(Child<QProgressBar>("ProgressBar1").maximum(), 2);
    EXPECT_EQ(Child<QProgressBar>("ProgressBar1").value(), 2);
    EXPECT_TRUE(Child<QWidget>("frmControls").isEnabled());
    EXPECT_TRUE(Child<QPushButton>("cmdSynchronize").isVisible());
    for (const char* hidden :
         {"cmdPause", "cmdStop", "lblApprox", "lblTimeRemaining", "lblCalculatedTimeMsg"}) {
        EXPECT_FALSE(Child<QWidget>(hidden).isVisible()) << hidden;
    }
}

TEST_F(MainWindowTest, CancelAtTheUnsavedSettingsQuestionLeavesTheListUntouched) {
    WriteFile(temp / "src/a.txt", "alpha");
    MakeFolders(temp / "dst");
    Open();
    UseFolders(temp / "src", temp / "dst");
    Click("cmdSynchronize");
    const std::vector<std::string> first_run = Lines();
    ASSERT_FALSE(first_run.empty());

    WriteFile(temp / "src/new.txt", "new");
    QTest::mouseClick(&Child<QCheckBox>("chkLogIgnored"), Qt::LeftButton);
    ASSERT_TRUE(window->SettingsChanged());
    messages.shown.clear();
    messages.answers = {MessageAnswer::kCancel};
    Click("cmdSynchronize");

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kSaveNow);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::kYesNoCancel);
    EXPECT_EQ(Lines(), first_run);
    EXPECT_FALSE(std::filesystem::exists(temp / "dst/new.txt"));
    EXPECT_TRUE(std::find(calls.begin(), calls.end(), "save") == calls.end());

    // Yes saves first, then the run goes on.
    messages.shown.clear();
    messages.answers = {MessageAnswer::kYes, MessageAnswer::kYes};
    Click("cmdSynchronize");
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(calls.back(), "save");
    EXPECT_EQ(ReadFile(temp / "dst/new.txt"), "new");
}

TEST_F(MainWindowTest, PreviewWarningStaysWhenTheSameLocationIsRefused) {
    MakeFolders(temp / "src");
    Open();
    UseFolders(temp / "src", temp / "src" + " ");
    Child<QCheckBox>("chkPreview").setChecked(true);
    window->ClearSettingsChanged();

    Click("cmdSynchronize");

    EXPECT_EQ(Lines(), std::vector<std::string>{
                           "********** WARNING:  Synchronization is set to use Preview Only "
                           "Mode!  Changes specified will not actually be made **********"});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "The Source and Destination cannot be the same!");
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::kOk);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kCritical);
    EXPECT_TRUE(Child<QWidget>("frmControls").isEnabled());
    EXPECT_TRUE(Child<QPushButton>("cmdSynchronize").isVisible());
}

TEST_F(MainWindowTest, WindowLinesReachTheListOnlyWhenARefreshIsDue) {
    Open();
    RunView& view = window->View();
    for (const char* text : {"one", "two", "three"}) {
        view.AddLine(ResultLine{text, {}});
    }
    view.ProcessEvents();
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("Ready!"));

    clock.seconds += 1.0;
    view.ProcessEvents();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(Child<QListView>("lstResults").currentIndex().row(), 2);
    EXPECT_EQ(Child<QLabel>("lblOutput").text(), QStringLiteral("three"));

    // Everything written shows before a message box does.
    view.AddLine(ResultLine{"four", {}});
    view.SetProgressMaximum(10);
    view.SetProgressValue(7);
    view.ShowMessage("question", MessageButtons::kYesNo, MessageIcon::kQuestion);
    EXPECT_EQ(messages.shown.back().lines_shown, 4);
    EXPECT_EQ(Child<QProgressBar>("ProgressBar1").value(), 7);
}

TEST_F(MainWindowTest, TheResultsListKeepsEveryLine) {
    Open();
    RunView& view = window->View();
    for (int line = 0; line < 40'000; ++line) {
        view.AddLine(ResultLine{"line " + std::to_string(line), {}});
    }
    view.EndRun();
    auto& list = Child<QListView>("lstResults");
    EXPECT_EQ(list.model()->rowCount(), 40'000);
    EXPECT_EQ(list.currentIndex().data().toString(), QStringLiteral("line 39999"));
}

TEST_F(MainWindowTest, StopPressedDuringARunEndsTheWalkEarly) {
    for (int file = 0; file < 300; ++file) {
        WriteFile(temp / ("src/f" + std::to_string(file) + ".txt"), "x");
    }
    MakeFolders(temp / "dst");
    Open();
    UseFolders(temp / "src", temp / "dst");
    messages.on_show = [this](const std::string&) {
        QTimer::singleShot(0, window.get(), [this] { Click("cmdStop"); });
    };

    Click("cmdSynchronize");

    const std::vector<std::string> lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Synchronization stopped prior to completion due to user request..."),
              lines.end());
    ASSERT_EQ(lines.back(), "Done!");
    const int copied = CountFiles(temp / "dst");
    EXPECT_LT(copied, 300);
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), " --> Total files copied: " + std::to_string(copied)),
        lines.end());
    EXPECT_EQ(tidemark::testing::CountItemsStartingWith(temp / "dst", ".tidemark-"), 0);
    EXPECT_TRUE(Child<QPushButton>("cmdSynchronize").isVisible());
}

TEST(MainWindowLayout, AnchoringRulesAtTheDesignedMinimum) {
    Placement places = DesignedPlacement();
    AnchorControls(places, 9800, 6000);
    EXPECT_EQ(places["cboConfiguration"].width, 5650);
    EXPECT_EQ(places["cmdConfigSave"].left, 7100);
    EXPECT_EQ(places["cmdConfigDel"].left, 7950);
    EXPECT_EQ(places["cmdConfigRestore"].left, 8800);
    EXPECT_EQ(places["cmdFile(0)"].left, 9150);
    EXPECT_EQ(places["cmdFile(1)"].left, 9150);
    EXPECT_EQ(places["txtSource"].width, 7700);
    EXPECT_EQ(places["txtDestination"].width, 7700);
    EXPECT_EQ(places["lstResults"].width, 9425);
    EXPECT_EQ(places["ProgressBar1"].width, 9425);
    EXPECT_EQ(places["lblExcludeList"].left, 8000);
    for (const char* link : {"lblHelp", "lblAbout", "lblDonate"}) {
        EXPECT_EQ(places[link].left, 8100) << link;
    }
    EXPECT_EQ(places["lstResults"].height, 1200);
    EXPECT_EQ(places["lstResults"].top, 3960);
    EXPECT_EQ(places["ProgressBar1"].top, 5100);
    EXPECT_EQ(places["cmdSynchronize"].left, 3242.5);
    EXPECT_EQ(places["cmdPause"].left, 3242.5);
    EXPECT_EQ(places["cmdStop"].left + places["cmdStop"].width, 3242.5 + 3315);
    // Nothing else moves.
    const Placement designed = DesignedPlacement();
    for (const char* fixed : {"lblOutput", "lblTimeRemaining", "chkPreview", "cboStyle",
                              "lblDescription", "Label1", "frmControls"}) {
        EXPECT_EQ(places[fixed], designed.at(fixed)) << fixed;
    }
}

/// Checks that every caption among the parent's own controls has the room it needs and lies
/// inside the window, and that what visible neighbours draw does not overlap.
void ExpectNoCaptionClipped(QWidget& parent, QWidget& window) {
    std::vector<std::pair<std::string, QRect>> drawn;
    for (QWidget* widget : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const std::string name = widget->objectName().toStdString();
        if (!widget->isVisibleTo(&window) || name.empty() || name == "frmControls") {
            continue;
        }
        QRect content(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        QSize need;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            need = label->text().isEmpty() ? QSize() : label->sizeHint();
        } else if (qobject_cast<QCheckBox*>(widget)) {
            need = widget->sizeHint();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_GT(widget->width(), button->fontMetrics().horizontalAdvance(button->text()))
                << name;
        }
        if (need.isValid()) {
            EXPECT_GE(widget->width(), need.width()) << name;
            EXPECT_GE(widget->height(), need.height()) << name;
            // What is drawn: the text's own box, at the left or the right, centred vertically.
            const int left = qobject_cast<QLabel*>(widget) &&
                                     (qobject_cast<QLabel*>(widget)->alignment() & Qt::AlignRight)
                                 ? content.right() + 1 - need.width()
                                 : content.left();
            content =
                QRect(left, content.center().y() - need.height() / 2, need.width(), need.height());
        }
        if (content.isEmpty()) {
            continue;
        }
        EXPECT_GE(content.left(), 0) << name;
        EXPECT_LE(content.right(), window.width() - 1) << name;
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
    const Placement& places = window->CurrentPlacement();
    EXPECT_EQ(places.at("cboConfiguration").width, w - 4150);
    EXPECT_EQ(places.at("cmdConfigRestore").left, w - 1000);
    EXPECT_EQ(places.at("lstResults").height, 1200);
    EXPECT_EQ(places.at("ProgressBar1").top, 5100);
    EXPECT_EQ(Child<QWidget>("ProgressBar1").y(), 340);
    // Centred in the outer width, which counts the frame.
    EXPECT_EQ(places.at("cmdSynchronize").left, (w - 3315) / 2);
    const QRect synchronize = Child<QWidget>("cmdSynchronize").geometry();
    EXPECT_EQ(synchronize.x(), std::lround((w - 3315) / 2 / kTwipsPerPixel));
    EXPECT_EQ(Child<QWidget>("cmdPause").x(), synchronize.x());
    EXPECT_EQ(Child<QWidget>("cmdStop").geometry().right(), synchronize.right());

    ExpectNoCaptionClipped(*window, *window);
    ExpectNoCaptionClipped(Child<QWidget>("frmControls"), *window);

    window->resize(1200, 900);
    EXPECT_EQ(window->CurrentPlacement().at("txtSource").width, 1200 * 15 + kFrameWidth - 2100);
    ExpectNoCaptionClipped(*window, *window);
    ExpectNoCaptionClipped(Child<QWidget>("frmControls"), *window);
}

TEST_F(MainWindowTest, GeometryRoundTripsThroughTheStore) {
    Open();
    window->resize(900, 520);
    window->move(40, 60);
    window->close();
    EXPECT_EQ(store.values.at("ScreenWidth"), std::to_string(900 * 15 + 110));
    EXPECT_EQ(store.values.at("ScreenHeight"), std::to_string(520 * 15 + 390));
    EXPECT_EQ(store.values.at("ScreenTop"), "900");
    EXPECT_EQ(store.values.at("ScreenLeft"), "600");

    window.reset();
    Open();
    EXPECT_EQ(window->size(), QSize(900, 520));
    EXPECT_EQ(window->pos(), QPoint(40, 60));

    // A value that is not a number leaves that property where the window system put it.
    window.reset();
    store.values.clear();
    Open();
    const int default_top = window->y();
    window.reset();
    store.values = {{"ScreenWidth", "13610"},
                    {"ScreenHeight", "8190"},
                    {"ScreenTop", "abc"},
                    {"ScreenLeft", "750"}};
    Open();
    EXPECT_EQ(window->size(), QSize(900, 520));
    EXPECT_EQ(window->x(), 50);
    EXPECT_EQ(window->y(), default_top);

    // Sizes below the minimum, or beyond any screen, are cut to what the window can be.
    window.reset();
    store.values = {{"ScreenWidth", "15"}, {"ScreenHeight", "1e30"}};
    Open();
    EXPECT_EQ(window->width(), window->minimumWidth());
    EXPECT_GT(window->height(), 0);
}

TEST_F(MainWindowTest, CloseStoresTheStateAndAsksAboutUnsavedSettings) {
    state.usage_counter = 123456;
    Open();
    window->ConfigurationBox().setEditText(QStringLiteral("Nightly"));
    QTest::mouseClick(&Child<QCheckBox>("chkPreview"), Qt::LeftButton);
    messages.answers = {MessageAnswer::kNo};
    calls.clear();

    window->close();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The settings have changed for this configuration.\r\n\r\nWould you like to "
              "save them before you exit the application?");
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(calls, (std::vector<std::string>{"exit", "farewell", "end"}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(store.values.at("Configuration"), "Nightly");
    EXPECT_EQ(store.values.at("FilesProcessed"), "123456");
    EXPECT_TRUE(store.values.contains("ScreenWidth"));
}

TEST_F(MainWindowTest, LaunchOffersExactlyThePathOfTheLine) {
    const std::string source = temp / "my.data/src dir";
    const std::string destination = temp / "backup 2.0/dst";
    WriteFile(source + "/report v1.2.txt", "r");
    MakeFolders(destination);
    Open();
    UseFolders(source, destination);
    Click("cmdSynchronize");

    auto& list = Child<QListView>("lstResults");
    const std::vector<std::string> lines = Lines();
    const auto creating =
        std::find(lines.begin(), lines.end(), "Creating file " + destination + "/report v1.2.txt");
    ASSERT_NE(creating, lines.end());
    auto double_click = [&](int row) {
        const QRect cell = list.visualRect(list.model()->index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    };

    messages.shown.clear();
    messages.answers = {MessageAnswer::kYes};
    double_click(static_cast<int>(creating - lines.begin()));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Would you like to launch " + destination + "/report v1.2.txt?");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kQuestion);
    EXPECT_EQ(shell.opened, std::vector<std::string>{destination + "/report v1.2.txt"});

    // A line that names no path offers nothing; No opens nothing.
    double_click(static_cast<int>(lines.size()) - 1);
    EXPECT_EQ(messages.shown.size(), 1u);
    messages.answers = {MessageAnswer::kNo};
    double_click(static_cast<int>(creating - lines.begin()));
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(shell.opened.size(), 1u);

    Child<QLabel>("lblDonate");
    QTest::mouseClick(&Child<QLabel>("lblDonate"), Qt::LeftButton);
    EXPECT_EQ(shell.opened.back(), kDonationAddress);
}

TEST_F(MainWindowTest, SelectedLinesAndAllLinesCanBeCopied) {
    Open();
    for (const char* text : {"first", "second", "third"}) {
        window->View().AddLine(ResultLine{text, {}});
    }
    window->View().EndRun();
    auto& list = Child<QListView>("lstResults");
    list.selectionModel()->select(list.model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    list.selectionModel()->select(list.model()->index(2, 0), QItemSelectionModel::Select);

    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first\nthird"));

    QAction* copy_all = nullptr;
    for (QAction* action : list.actions()) {
        if (action->text() == QStringLiteral("Copy All"))
            copy_all = action;
    }
    ASSERT_NE(copy_all, nullptr);
    copy_all->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first\nsecond\nthird"));
}

TEST_F(MainWindowTest, FolderBoxesTrimOnLeavingAndSelectAllOnEntering) {
    Open();
    QLineEdit& source = Child<QLineEdit>("txtSource");
    source.setText(QStringLiteral("  /data/a b  "));
    window->ClearSettingsChanged();
    QFocusEvent focus_out(QEvent::FocusOut);
    QApplication::sendEvent(&source, &focus_out);
    EXPECT_EQ(source.text(), QStringLiteral("/data/a b"));
    EXPECT_TRUE(window->SettingsChanged());

    QFocusEvent focus_in(QEvent::FocusIn);
    QApplication::sendEvent(&source, &focus_in);
    QApplication::processEvents();
    EXPECT_EQ(source.selectedText(), QStringLiteral("/data/a b"));
}

TEST_F(MainWindowTest, FolderButtonsStartAtTheBoxFolderOrAtHome) {
    MakeFolders(temp / "existing");
    Open();
    Child<QLineEdit>("txtSource").setText(Q(temp / "existing"));
    Child<QLineEdit>("txtDestination").setText(Q(temp / "missing"));
    window->ClearSettingsChanged();

    picker.answer = "";  // cancelled
    Click("cmdFile(0)");
    Click("cmdFile(1)");
    EXPECT_EQ(picker.starts, (std::vector<std::string>{temp / "existing", home_folder}));
    EXPECT_EQ(Child<QLineEdit>("txtDestination").text(), Q(temp / "missing"));
    EXPECT_FALSE(window->SettingsChanged());

    picker.answer = temp / "chosen";
    Click("cmdFile(1)");
    EXPECT_EQ(Child<QLineEdit>("txtDestination").text(), Q(temp / "chosen"));
    EXPECT_TRUE(window->SettingsChanged());
}

}  // namespace
}  // namespace tidemark::ui::testing
