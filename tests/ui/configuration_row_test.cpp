#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <map>
#include <memory>
#include <string>

#include "config/configuration_commands.h"
#include "platform/posix_file_system.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"
#include "ui/frm_synchronize.h"
#include "ui/main_window_configuration_form.h"

namespace tidemark::ui {
namespace {

using tidemark::testing::FakeClock;
using tidemark::testing::FakeTextFormat;
using tidemark::testing::InMemoryFileSystem;
using tidemark::testing::RecordingRunView;
using Strings = std::vector<std::string>;

QApplication& App() {
    static int argc = 1;
    static char name[] = "configuration_row_test";
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

class MapSettings final : public SettingsStore {
  public:
    std::map<std::string, std::string> values;
    std::string Read(const std::string& key, const std::string& fallback) override {
        const auto found = values.find(key);
        return found == values.end() ? fallback : found->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
        values[key] = value;
        return true;
    }
};

class NoShell final : public ShellPort {
  public:
    bool Open(const std::string&) override { return false; }
};

class NoPicker final : public FolderPickerPort {
  public:
    std::string BrowseForFolder(const std::string&, const std::string&) override { return {}; }
};

SyncSettings Settings(int style, const std::string& source) {
    SyncSettings values;
    values.style = style;
    values.source_path = source;
    values.destination_path = "/backup";
    return values;
}

/// The real main window with the configuration commands connected as the program connects
/// them, over a program folder in memory.
class ConfigurationRow : public ::testing::Test {
  protected:
    ConfigurationRow() {
        App();
        fs.AddFolder("/home/ann");
        fs.AddFolder(kProgram);
    }
    // The window goes first: while it is torn down its controls still raise events.
    ~ConfigurationRow() override { window.reset(); }

    void Stored(const std::vector<std::pair<std::string, SyncSettings>>& configurations) {
        std::string index;
        for (const auto& [name, values] : configurations) {
            fs.AddFile(store.GetConfigPath(name), GetConfigText(values));
            index += "\r\n" + name;
        }
        fs.AddFile(kProgram + "/Config.txt", index);
    }

    FrmSynchronize& Open() {
        window = std::make_unique<FrmSynchronize>(MainWindowPorts{
            fs, clock, format, settings, shell, messages, picker, state, kProgram, "/home/ann"});
        form = std::make_unique<MainWindowConfigurationForm>(*window);
        commands = std::make_unique<ConfigurationCommands>(store, *form, messages);
        ConnectConfigurationCommands(*window, *commands);
        window->Load();
        window->show();
        QApplication::processEvents();
        return *window;
    }

    QComboBox& Names() { return Child<QComboBox>(*window, "cboConfiguration"); }
    QPushButton& SaveButton() { return Child<QPushButton>(*window, "cmdConfigSave"); }
    void Click(const char* name) {
        QTest::mouseClick(&Child<QPushButton>(*window, name), Qt::LeftButton);
    }
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
    bool Marked() {
        return SaveButton().text() == QStringLiteral("*Save") && SaveButton().font().bold();
    }
    bool Clean() {
        return SaveButton().text() == QStringLiteral("Save") && !SaveButton().font().bold();
    }

    const std::string kProgram = "/opt/tidemark";
    InMemoryFileSystem fs;
    FakeClock clock;
    FakeTextFormat format;
    MapSettings settings;
    NoShell shell;
    NoPicker picker;
    RecordingRunView messages;
    ApplicationState state;
    ConfigurationStore store{fs, fs, messages, kProgram};
    std::unique_ptr<FrmSynchronize> window;
    std::unique_ptr<MainWindowConfigurationForm> form;
    std::unique_ptr<ConfigurationCommands> commands;
};

TEST_F(ConfigurationRow, StartUpLoadsTheRememberedConfigurationUnmarked) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home/ann/Docs")}});
    settings.values["Configuration"] = "Home";
    Open();
    EXPECT_EQ(Entries(), (Strings{"Work", "Home"}));
    EXPECT_EQ(Names().currentText(), QStringLiteral("Home"));
    EXPECT_EQ(Child<QLineEdit>(*window, "txtSource").text(), QStringLiteral("/home/ann/Docs"));
    EXPECT_EQ(Child<QComboBox>(*window, "cboStyle").currentIndex(), 2);
    EXPECT_TRUE(Clean());
}

TEST_F(ConfigurationRow, TheSaveCaptionFollowsChangesLoadsAndSaves) {
    Stored({{"Work", Settings(1, "/work")}});
    Open();
    EXPECT_TRUE(Clean());
    QTest::mouseClick(&Child<QCheckBox>(*window, "chkPreview"), Qt::LeftButton);
    EXPECT_TRUE(Marked());

    // Picking loads the entry and leaves the window unmarked.
    Pick(0);
    EXPECT_EQ(Child<QLineEdit>(*window, "txtSource").text(), QStringLiteral("/work"));
    EXPECT_EQ(Child<QCheckBox>(*window, "chkPreview").checkState(), Qt::Unchecked);
    EXPECT_TRUE(Clean());

    // Typing a new name marks; Save adds it at the end, keeps it shown and unmarks.
    Names().setEditText(QString());
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("Laptop"));
    EXPECT_TRUE(Marked());
    Click("cmdConfigSave");
    EXPECT_TRUE(Clean());
    EXPECT_EQ(Entries(), (Strings{"Work", "Laptop"}));
    EXPECT_EQ(Names().currentText(), QStringLiteral("Laptop"));
    EXPECT_EQ(fs.ContentOf(kProgram + "/Config.txt"), "\r\nWork\r\nLaptop");
    EXPECT_EQ(fs.ContentOf(kProgram + "/configurations/Laptop.txt"),
              GetConfigText(window->CurrentSettings()));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ConfigurationRow, DeleteAndRestoreLeaveTheMarkerAndTheFile) {
    Stored({{"My Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    Open();
    Click("cmdConfigDel");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Please select a specific configuration!");

    Pick(0);
    Child<QLineEdit>(*window, "txtDestination").setText(QStringLiteral("/elsewhere"));
    ASSERT_TRUE(Marked());
    Click("cmdConfigDel");  // answered Yes
    EXPECT_EQ(Entries(), (Strings{"Home"}));
    EXPECT_EQ(Names().currentIndex(), -1);
    EXPECT_EQ(fs.ContentOf(kProgram + "/Config.txt"), "\r\nHome");
    EXPECT_TRUE(fs.Exists(kProgram + "/configurations/MyWork.txt"));
    EXPECT_TRUE(Marked());

    Click("cmdConfigRestore");  // answered Yes
    EXPECT_EQ(Entries(), (Strings{"Home", "MyWork"}));
    EXPECT_EQ(Names().currentText(), QString());
    EXPECT_TRUE(Marked());
    Pick(1);
    EXPECT_EQ(Child<QLineEdit>(*window, "txtSource").text(), QStringLiteral("/work"));
}

TEST_F(ConfigurationRow, LeavingTheNameFieldDoesNotLoadOverUnsavedSettings) {
    Stored({{"Work", Settings(1, "/work")}});
    Open();
    QApplication::setActiveWindow(window.get());
    Child<QLineEdit>(*window, "txtSource").setText(QStringLiteral("/new/work"));
    Names().lineEdit()->setFocus();
    // "work" matches the entry "Work" when case is ignored, as the combo box compares.
    QTest::keyClicks(Names().lineEdit(), QStringLiteral("work"));
    // Away with the completion offered while typing, then on to Save.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    // The click takes the focus from the name field; that must not load the stored "Work".
    Click("cmdConfigSave");
    EXPECT_EQ(Child<QLineEdit>(*window, "txtSource").text().toStdString(), "/new/work");
    EXPECT_EQ(Names().currentText().toStdString(), "work");
    EXPECT_EQ(store.LoadConfiguration("work").value()->source_path, "/new/work");
    EXPECT_EQ(store.LoadConfiguration("Work").value()->source_path, "/work");
    EXPECT_TRUE(Clean());
}

TEST_F(ConfigurationRow, ASavedNameIsSelectedSoDeleteTakesIt) {
    Stored({{"Work", Settings(1, "/work")}, {"Home", Settings(2, "/home")}});
    Open();
    Names().setEditText(QStringLiteral("Home"));
    Click("cmdConfigSave");
    EXPECT_EQ(Names().currentIndex(), 1);
    messages.answers = {MessageAnswer::kNo};
    Click("cmdConfigDel");
    EXPECT_NE(messages.messages.back().text.find("'Home'"), std::string::npos);
}

TEST(ConfigurationRowOnDisk, ASaveThatCannotBeWrittenSaysSoAndStaysMarked) {
    App();
    testing::TemporaryFolder program;
    PosixFileSystem fs;
    FakeClock clock;
    FakeTextFormat format;
    MapSettings settings;
    NoShell shell;
    NoPicker picker;
    RecordingRunView messages;
    ApplicationState state;
    ConfigurationStore store(fs, fs, messages, program.path());
    FrmSynchronize window(MainWindowPorts{fs, clock, format, settings, shell, messages, picker,
                                          state, program.path(), program.path()});
    MainWindowConfigurationForm form(window);
    ConfigurationCommands commands(store, form, messages);
    ConnectConfigurationCommands(window, commands);
    window.Load();
    EXPECT_TRUE(fs.FolderExists(program / "configurations"));

    std::filesystem::remove_all(program / "configurations");
    window.ConfigurationBox().setEditText(QStringLiteral("Trip"));
    window.ConfigSaveClicked();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_NE(messages.messages[0].text.find(program / "configurations/Trip.txt"),
              std::string::npos);
    EXPECT_TRUE(window.SettingsChanged());
    EXPECT_EQ(window.ConfigurationBox().count(), 0);
    EXPECT_FALSE(std::filesystem::exists(program / "Config.txt"));
    // The window outlives the commands here: disconnect them before both go.
    window.Hooks() = MainWindowHooks{};
}

}  // namespace
}  // namespace tidemark::ui
