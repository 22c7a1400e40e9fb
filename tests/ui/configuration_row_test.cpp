#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/configuration_commands.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/main_window_configuration_form.h"

namespace tidemark::ui::testing {
namespace {

using Strings = std::vector<std::string>;

SyncSettings Settings(int style, const std::string& source) {
    SyncSettings values;
    values.style = style;
    values.source_path = source;
    values.destination_path = "/backup";
    return values;
}

/// The real main window with the configuration commands connected as the program connects
/// them, over a real program folder.
class ConfigurationRow : public MainWindowTest {
  protected:
    // The window goes first: while it is torn down its controls still raise events.
    ~ConfigurationRow() override { window.reset(); }

    void Stored(const std::vector<std::pair<std::string, SyncSettings>>& configurations) {
        tidemark::testing::MakeFolders(program_folder + "/configurations");
        std::string index;
        for (const auto& [name, values] : configurations) {
            tidemark::testing::WriteFile(config.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        tidemark::testing::WriteFile(config.IndexPath(), index);
    }

    FrmSynchronize& OpenWithCommands() {
        window = std::make_unique<FrmSynchronize>(MainWindowPorts{
            fs, clock, format, store, shell, messages, picker, state, program_folder, home_folder});
        form = std::make_unique<MainWindowConfigurationForm>(*window);
        commands = std::make_unique<ConfigurationCommands>(config, *form, messages);
        ConnectConfigurationCommands(*window, *commands);
        window->Load();
        window->show();
        QApplication::processEvents();
        return *window;
    }

    QComboBox& Names() { return Child<QComboBox>("cboConfiguration"); }
    std::string Source() { return Child<QLineEdit>("txtSource").text().toStdString(); }
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
    std::string Index() { return tidemark::testing::ReadFile(config.IndexPath()); }

    ConfigurationStore config{fs, fs, messages, program_folder};
    std::unique_ptr<MainWindowConfigurationForm> form;
    std::unique_ptr<ConfigurationCommands> commands;
};

TEST_F(ConfigurationRow, StartUpLoadsTheRememberedConfigurationUnmarked) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home/ann/Docs")}});
    store.values["Configuration"] = "Home";
    OpenWithCommands();
    EXPECT_EQ(Entries(), (Strings{"Work", "Home"}));
    EXPECT_EQ(Names().currentText().toStdString(), "Home");
    EXPECT_EQ(Source(), "/home/ann/Docs");
    EXPECT_EQ(Child<QComboBox>("cboStyle").currentIndex(), 2);
    EXPECT_FALSE(Marked());
}

TEST_F(ConfigurationRow, TheSaveCaptionFollowsChangesLoadsAndSaves) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWithCommands();
    QTest::mouseClick(&Child<QCheckBox>("chkPreview"), Qt::LeftButton);
    EXPECT_TRUE(Marked());

    Pick(0);
    EXPECT_EQ(Source(), "/work");
    EXPECT_EQ(Child<QCheckBox>("chkPreview").checkState(), Qt::Unchecked);
    EXPECT_FALSE(Marked());

    Names().setEditText(QString());
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("Laptop"));
    EXPECT_TRUE(Marked());
    Click("cmdConfigSave");
    EXPECT_FALSE(Marked());
    EXPECT_EQ(Entries(), (Strings{"Work", "Laptop"}));
    EXPECT_EQ(Names().currentText().toStdString(), "Laptop");
    // The saved name is the selected entry, so Delete would take it.
    EXPECT_EQ(Names().currentIndex(), 1);
    EXPECT_EQ(Index(), "\r\nWork\r\nLaptop");
    EXPECT_EQ(tidemark::testing::ReadFile(config.GetConfigPath("Laptop")),
              GetConfigText(window->CurrentSettings()));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConfigurationRow, DeleteAndRestoreLeaveTheMarkerAndTheFile) {
    Stored({{"My Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    OpenWithCommands();
    Click("cmdConfigDel");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please select a specific configuration!");

    Pick(0);
    Child<QLineEdit>("txtDestination").setText(QStringLiteral("/elsewhere"));
    Click("cmdConfigDel");  // answered Yes
    EXPECT_EQ(Entries(), (Strings{"Home"}));
    EXPECT_EQ(Names().currentIndex(), -1);
    EXPECT_EQ(Index(), "\r\nHome");
    EXPECT_EQ(tidemark::testing::ReadFile(config.GetConfigPath("My Work")),
              GetConfigText(Settings(1, "/work")));
    EXPECT_TRUE(Marked());

    Click("cmdConfigRestore");  // answered Yes
    EXPECT_EQ(Entries(), (Strings{"Home", "MyWork"}));
    EXPECT_EQ(Names().currentText(), QString());
    EXPECT_TRUE(Marked());
    Pick(1);
    EXPECT_EQ(Source(), "/work");
}

TEST_F(ConfigurationRow, LeavingTheNameFieldDoesNotLoadOverUnsavedSettings) {
    Stored({{"Work", Settings(1, "/work")}});
    OpenWithCommands();
    QApplication::setActiveWindow(window.get());
    Child<QLineEdit>("txtSource").setText(QStringLiteral("/new/work"));
    Names().lineEdit()->setFocus();
    // "work" matches the entry "Work" when case is ignored, as the combo box compares.
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // The click takes the focus from the name field; that must not load the stored "Work".
    Click("cmdConfigSave");
    EXPECT_EQ(Source(), "/new/work");
    EXPECT_EQ(Names().currentText().toStdString(), "work");
    EXPECT_EQ(config.LoadConfiguration("work").value()->source_path, "/new/work");
    EXPECT_EQ(config.LoadConfiguration("Work").value()->source_path, "/work");
}

}  // namespace
}  // namespace tidemark::ui::testing
