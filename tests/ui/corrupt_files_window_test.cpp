// Damaged program files under the real window and the real settings file: the window opens
// with the built-in defaults, and what the program writes afterwards reads back.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/mod_main.h"
#include "app/reminders.h"
#include "app/window_geometry.h"
#include "config/configuration_commands.h"
#include "platform/qt/qt_settings_store.h"
#include "tests/app/test_doubles.h"
#include "tests/support/corrupt_text.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/main_window_configuration_form.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::CorruptVersionsOf;
using tidemark::testing::FixedCalendar;
using tidemark::testing::WriteFile;

TEST(CorruptSettingsFile, ReadsFallBackAndTheNextWriteReadsBack) {
    const std::string intact =
        "[Settings]\nConfiguration=Home\nFirstRun=YES\nScreenWidth=9000\nScreenHeight=6000\n"
        "ScreenTop=100\nScreenLeft=200\nFilesProcessed=250\n"
        "LastDonationDisplayDate=2026-05-20T10:00:00\n";
    for (const auto& [what, text] : CorruptVersionsOf(intact)) {
        SCOPED_TRACE(what);
        TemporaryFolder folder;
        const std::string file = folder / "Tidemark.ini";
        WriteFile(file, text);
        {
            QtSettingsStore store(file);
            PosixFileSystem fs;
            FixedCalendar calendar;
            const ApplicationState state = StartUp(folder.path(), fs, store, calendar).state;
            // A value comes through whole or not at all.
            EXPECT_TRUE(state.usage_counter == 0.0 || state.usage_counter == 250.0)
                << state.usage_counter;
            EXPECT_TRUE(state.last_reminder_date == kZeroDate ||
                        StoredDateText(state.last_reminder_date) == "2026-05-20T10:00:00");
            const StoredGeometry geometry = ReadWindowGeometry(store);
            EXPECT_TRUE(!geometry.width || *geometry.width == 9000.0f);

            EXPECT_TRUE(StoreUsageCounter(store, 300));
            EXPECT_TRUE(store.Write(settings_keys::kConfiguration, "Travel"));
        }
        QtSettingsStore reopened(file);
        EXPECT_EQ(ReadUsageCounter(reopened), 300.0);
        EXPECT_EQ(reopened.Read(settings_keys::kConfiguration), "Travel");
    }
}

/// The main window with the configuration commands connected as the program connects them.
class CorruptFilesWindow : public MainWindowTest {
  protected:
    ~CorruptFilesWindow() override { window.reset(); }

    void OpenWithCommands() {
        window = std::make_unique<FrmSynchronize>(MainWindowPorts{
            fs, clock, format, store, shell, messages, picker, state, program_folder, home_folder});
        form = std::make_unique<MainWindowConfigurationForm>(*window);
        commands = std::make_unique<ConfigurationCommands>(config, *form, messages);
        ConnectConfigurationCommands(*window, *commands);
        window->Load();
        window->show();
        QApplication::processEvents();
    }

    ConfigurationStore config{fs, fs, messages, program_folder};
    std::unique_ptr<MainWindowConfigurationForm> form;
    std::unique_ptr<ConfigurationCommands> commands;
};

TEST_F(CorruptFilesWindow, ARememberedConfigurationThatCannotBeLoadedLeavesTheBuiltInDefaults) {
    SyncSettings stored;
    stored.style = 1;
    stored.source_path = "/home/ann/Photos";
    stored.destination_path = "/media/backup";
    const std::vector<tidemark::testing::CorruptText> damaged =
        CorruptVersionsOf(GetConfigText(stored));
    tidemark::testing::MakeFolders(program_folder + "/configurations");
    bool first = true;
    for (const auto& [what, text] : damaged) {
        if (what == "binary bytes after the text") {
            continue;  // its nine values are whole and load
        }
        SCOPED_TRACE(what);
        // A damaged index around the name, once with a line of 8 MiB.
        WriteFile(config.IndexPath(),
                  (first ? damaged[4].text : "") + "\r\nHome\r\n" + damaged[0].text);
        first = false;
        WriteFile(config.GetConfigPath("Home"), text);
        store.values["Configuration"] = "Home";

        OpenWithCommands();

        EXPECT_EQ(Child<QComboBox>("cboConfiguration").currentText(), QStringLiteral("Home"));
        EXPECT_EQ(Child<QComboBox>("cboStyle").currentText(), QStringLiteral("Safe Mode"));
        EXPECT_EQ(Child<QLineEdit>("txtSource").text().toStdString(), home_folder);
        EXPECT_EQ(Child<QLineEdit>("txtDestination").text().toStdString(), home_folder);
        EXPECT_TRUE(Child<QCheckBox>("chkIgnoreHidden").isChecked());
        EXPECT_TRUE(Child<QCheckBox>("chkIgnoreSystem").isChecked());
        EXPECT_FALSE(window->SettingsChanged());
        EXPECT_TRUE(messages.shown.empty());
        window.reset();
    }
}

}  // namespace
}  // namespace tidemark::ui::testing
