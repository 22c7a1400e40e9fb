// Closing the main window in the middle of a run, in a child process that really ends.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/qt/qt_settings_store.h"
#include "tests/ui/main_window_fixture.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::CountItemsStartingWith;
using tidemark::testing::MakeFolders;

/// Runs a synchronization and closes the window at its first refresh; never returns.
void RunAndClose(const std::string& root) {
    PosixFileSystem fs;
    SteppingClock clock;
    FakeTextFormat format;
    QtSettingsStore settings(root + "/settings.ini");
    RecordingShell shell;
    ScriptedMessages messages;
    ScriptedPicker picker;
    ApplicationState state;
    MainWindowHooks hooks;
    hooks.end_program = [] { std::_Exit(3); };  // a close that waited for the run's end
    FrmSynchronize window(MainWindowPorts{fs, clock, format, settings, shell, messages, picker,
                                          state, root + "/program", root},
                          std::move(hooks));
    window.Load();
    window.show();
    SyncSettings run = window.CurrentSettings();
    run.source_path = root + "/src";
    run.destination_path = root + "/dst";
    window.ApplySettings(run);
    window.ClearSettingsChanged();
    messages.on_show = [&window](const std::string&) {
        QTimer::singleShot(0, &window, [&window] { window.close(); });
    };
    window.SynchronizeNowClicked();
    std::_Exit(4);  // the run ended although the window was closed
}

TEST(CloseDuringRun, StoresTheStateAndEndsWithoutLeavingATemporaryFile) {
    // The child process runs this test again from its start (the window uses threads, so it
    // is not forked from a running test); it works in the parent's folder.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr const char* kRootVariable = "TIDEMARK_CLOSE_TEST_ROOT";
    App();
    const char* inherited = std::getenv(kRootVariable);
    std::optional<TemporaryFolder> temp;
    std::string root;
    if (inherited != nullptr) {
        root = inherited;
    } else {
        temp.emplace();
        root = temp->path();
        MakeFolders(root + "/src");
        for (int file = 0; file < 400; ++file) {
            tidemark::testing::WriteFile(root + "/src/f" + std::to_string(file) + ".txt",
                                         std::string(4096, 'x'));
        }
        MakeFolders(root + "/dst");
        MakeFolders(root + "/program");
        ::setenv(kRootVariable, root.c_str(), 1);
    }

    EXPECT_EXIT(RunAndClose(root), ::testing::ExitedWithCode(0), "");
    ::unsetenv(kRootVariable);

    QtSettingsStore stored(root + "/settings.ini");
    EXPECT_EQ(stored.Read("FilesProcessed"), "0");
    EXPECT_NE(stored.Read("ScreenWidth"), "");
    EXPECT_EQ(stored.Read("Configuration", "none"), "");
    int copied = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root + "/dst")) {
        copied += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_LT(copied, 400);
    EXPECT_EQ(CountItemsStartingWith(root + "/dst", ".tidemark-"), 0);
}

}  // namespace
}  // namespace tidemark::ui::testing
