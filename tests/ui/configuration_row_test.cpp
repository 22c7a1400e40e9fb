// The main window's configuration row with the configuration commands connected as the program
// connects them, over a real program folder: remembered, picked, saved and damaged files.

#include "tests/config/fake_configuration_form.h"
#include "tests/ui/main_window_fixture.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::ReadFile;
using tidemark::testing::Settings;
using Strings = std::vector<std::string>;

class ConfigurationRow : public MainWindowTest {
  protected:
    void Stored(const std::vector<std::pair<std::string, SyncSettings>>& configurations) {
        tidemark::testing::MakeFolders(program_folder + "/configurations");
        std::string index;
        for (const auto& [name, values] : configurations) {
            tidemark::testing::WriteFile(config.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        tidemark::testing::WriteFile(config.IndexPath(), index);
    }

    QComboBox& Names() { return Child<QComboBox>("cboConfiguration"); }
    /// The user picks an entry of the drop-down list.
    void Pick(int position) {
        Names().setCurrentIndex(position);
        Q_EMIT Names().activated(position);
    }
    Strings Entries() {
        Strings names;
        for (int i = 0; i < Names().count(); ++i)
            names.push_back(Names().itemText(i).toStdString());
        return names;
    }
    /// "*Save" in bold while marked, "Save" otherwise.
    bool Marked() {
        QPushButton& save = Child<QPushButton>("cmdConfigSave");
        EXPECT_EQ(save.text() == QStringLiteral("*Save"), save.font().bold());
        return save.font().bold();
    }
};

TEST_F(ConfigurationRow, TheRememberedConfigurationLoadsUnmarkedOrLeavesTheDefaultsWhenDamaged) {
    const SyncSettings home = Settings(2, "/home/ann/Docs");
    SyncSettings defaults;
    defaults.source_path = defaults.destination_path = home_folder;
    std::vector<tidemark::testing::CorruptText> versions =
        tidemark::testing::CorruptVersionsOf(GetConfigText(home));
    versions.insert(versions.begin(), {"intact", GetConfigText(home)});
    for (const auto& [what, text] : versions) {
        SCOPED_TRACE(what);
        Stored({{"Work", Settings(1, "/work")}, {"Home", home}});
        tidemark::testing::WriteFile(config.GetConfigPath("Home"), text);
        if (what == "an 8 MiB line first")  // in the index too
            tidemark::testing::WriteFile(config.IndexPath(), text + "\r\nWork\r\nHome");
        store.values["Configuration"] = "Home";

        Open(/*with_commands=*/true);

        // Nine whole values load (damage after them is ignored); anything else loads nothing.
        const bool whole = what == "intact" || what == "binary bytes after the text";
        EXPECT_EQ(GetConfigText(window->CurrentSettings()), GetConfigText(whole ? home : defaults));
        EXPECT_EQ(Names().currentText(), QStringLiteral("Home"));
        const Strings entries = Entries();
        ASSERT_GE(entries.size(), 2u);
        EXPECT_EQ(Strings(entries.end() - 2, entries.end()), (Strings{"Work", "Home"}));
        EXPECT_FALSE(Marked());
        EXPECT_TRUE(messages.shown.empty());
        window.reset();
    }
}

TEST_F(ConfigurationRow, TheSaveCaptionFollowsChangesLoadsAndSavesButNotDeleteAndRestore) {
    Stored({{"My Work", Settings(1, "/work")}});
    Open(true);
    QTest::mouseClick(&Child<QCheckBox>("chkPreview"), Qt::LeftButton);
    EXPECT_TRUE(Marked());
    Pick(0);
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), QStringLiteral("/work"));
    EXPECT_EQ(Child<QCheckBox>("chkPreview").checkState(), Qt::Unchecked);
    EXPECT_FALSE(Marked());

    Names().setEditText(QString());
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("Laptop"));
    EXPECT_TRUE(Marked());
    Click("cmdConfigSave");
    EXPECT_FALSE(Marked());
    EXPECT_EQ(Entries(), (Strings{"My Work", "Laptop"}));
    // The saved name is the selected entry, so Delete takes it.
    EXPECT_EQ(Names().currentIndex(), 1);
    EXPECT_EQ(ReadFile(config.IndexPath()), "\r\nMy Work\r\nLaptop");
    EXPECT_EQ(ReadFile(config.GetConfigPath("Laptop")), GetConfigText(window->CurrentSettings()));

    Pick(0);
    Child<QLineEdit>("txtDestination").setText(QStringLiteral("/elsewhere"));
    Click("cmdConfigDel");  // answered Yes
    EXPECT_EQ(Entries(), (Strings{"Laptop"}));
    EXPECT_EQ(Names().currentIndex(), -1);
    Click("cmdConfigRestore");  // answered Yes
    EXPECT_EQ(Entries(), (Strings{"Laptop", "MyWork"}));
    EXPECT_TRUE(Marked());
}

TEST_F(ConfigurationRow, LeavingTheNameFieldDoesNotLoadOverUnsavedSettings) {
    Stored({{"Work", Settings(1, "/work")}});
    Open(true);
    QApplication::setActiveWindow(window.get());
    Child<QLineEdit>("txtSource").setText(QStringLiteral("/new/work"));
    Names().lineEdit()->setFocus();
    // "work" matches the entry "Work" when case is ignored, as the combo box compares.
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // The click takes the focus from the name field; that must not load the stored "Work".
    Click("cmdConfigSave");
    EXPECT_EQ(Child<QLineEdit>("txtSource").text(), QStringLiteral("/new/work"));
    EXPECT_EQ(Names().currentText().toStdString(), "work");
    EXPECT_EQ(config.LoadConfiguration("work").value()->source_path, "/new/work");
    EXPECT_EQ(config.LoadConfiguration("Work").value()->source_path, "/work");
}

TEST_F(ConfigurationRow, AGreyedOptionShowsGreyedUntilAClickChecksOrUnchecksIt) {
    SyncSettings greyed = Settings(0, "/data");
    greyed.use_exclude_list = greyed.ignore_hidden = greyed.ignore_system = CheckState::kGreyed;
    greyed.log_ignored = greyed.reverse_sync = greyed.preview_only = CheckState::kGreyed;
    Stored({{"Greyed", greyed}, {"Plain", Settings(0, "/data")}});
    store.values["Configuration"] = "Greyed";
    Open(true);
    const char* boxes[] = {"chkUseExcludeList", "chkIgnoreHidden", "chkIgnoreSystem",
                           "chkLogIgnored",     "chkReverseSync",  "chkPreview"};
    EXPECT_EQ(GetConfigText(window->CurrentSettings()), GetConfigText(greyed));
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

}  // namespace
}  // namespace tidemark::ui::testing
