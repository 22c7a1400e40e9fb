// An exclude list file with damaged content: start-up and the editor read it without crashing,
// and a pass over plain names excludes nothing that the damage invented.
#include <gtest/gtest.h>

#include "app/mod_main.h"
#include "engine/exclusion.h"
#include "engine/run_controller.h"
#include "exclude/exclude_list_editor.h"
#include "exclude/exclude_list_text.h"
#include "platform/posix_file_system.h"
#include "tests/app/memory_settings_store.h"
#include "tests/app/test_doubles.h"
#include "tests/support/corrupt_text.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

class EditorView final : public ExcludeListEditorView {
  public:
    std::string text;
    std::string ExcludeText() override { return text; }
    void SetExcludeText(const std::string& shown) override { text = shown; }
    void SetSaveEnabled(bool) override {}
};

TEST(CorruptExcludeList, StartUpAndAPassGoOnAndTheEditorSavesItClean) {
    for (const auto& [what, text] : testing::CorruptVersionsOf(".bak\r\n\\cache\\\r\n~$\r\n")) {
        SCOPED_TRACE(what);
        testing::TemporaryFolder folder;
        testing::WriteFile(folder / "ExcludeList.txt", text);
        PosixFileSystem fs;
        testing::MemorySettingsStore settings;
        testing::FixedCalendar calendar;

        StartUpResult start = StartUp(folder.path(), fs, settings, calendar);
        EXPECT_FALSE(start.exclude_list_failure);

        // A pass with the list in use. Random bytes make entries of every length, some short
        // enough to match by chance; no other damage can match these names (nor can the
        // intact entries).
        testing::MakeFolders(folder / "src/docs");
        testing::WriteFile(folder / "src/docs/report.txt", "r");
        testing::WriteFile(folder / "src/notes.txt", "n");
        testing::MakeFolders(folder / "dst");
        SyncSettings run;
        run.source_path = folder / "src";
        run.destination_path = folder / "dst";
        run.use_exclude_list = CheckState::kChecked;
        testing::RecordingRunView view;
        testing::FakeClock clock;
        testing::FakeTextFormat format;
        RunController controller(fs, view, view, clock, format, start.state.exclude_list);
        controller.SynchronizeNow(run);
        EXPECT_EQ(controller.Stats().processed_files, 2);
        if (what.find("binary") == std::string::npos) {
            EXPECT_EQ(controller.Stats().copied_files, 2);
        }

        // The editor opens the damaged file and saves a text that reads back as it shows.
        EditorView shown;
        testing::RecordingRunView messages;
        ExcludeListEditor editor(fs, messages, start.state.exclude_list_path,
                                 start.state.exclude_list, shown);
        editor.Opened();
        editor.Activated();
        ASSERT_TRUE(editor.SaveClicked());
        EXPECT_EQ(*fs.ReadTextFile(folder / "ExcludeList.txt"), shown.text);
        EXPECT_EQ(start.state.exclude_list, ParseExcludeList(shown.text));
        EXPECT_TRUE(messages.messages.empty());
    }
}

TEST(CorruptExcludeList, AHugeEntryIsPassedOverWithoutHidingAnyMatch) {
    const std::string path = "/home/ann/Photos/2019/IMG_0001.JPG";
    EXPECT_TRUE(IsExcluded(path, {std::string(8 << 20, 'x'), "img_0001"}));
    EXPECT_FALSE(IsExcluded(path, {std::string(8 << 20, 'x')}));
    // The longest entries that can match still do.
    EXPECT_TRUE(IsExcluded(path, {"/HOME/ANN/photos/2019/img_0001.jpg"}));
    EXPECT_FALSE(IsExcluded(path, {"/home/ann/Photos/2019/IMG_0001.JPG/"}));
}

}  // namespace
}  // namespace tidemark
