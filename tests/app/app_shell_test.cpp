// Start-up, the program folder and the stored window geometry, without Qt.
#include <gtest/gtest.h>

#include "app/mod_main.h"
#include "app/program_folder.h"
#include "app/window_geometry.h"
#include "platform/posix_file_system.h"
#include "tests/app/app_doubles.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::MemorySettingsStore;

TEST(StartUp, AnEmptyStoreGivesTheDefaultsWithoutWritingAndStoredValuesAreRead) {
    InMemoryFileSystem fs;
    fs.AddFolder("/opt/tidemark");
    MemorySettingsStore store;
    testing::TestCalendar calendar;

    const StartUpResult start = StartUp("/opt/tidemark", fs, store, calendar);
    EXPECT_EQ(start.state.usage_counter, 0.0);
    EXPECT_EQ(start.state.last_reminder_date, kZeroDate);
    EXPECT_EQ(start.state.exclude_list_path, "/opt/tidemark/ExcludeList.txt");
    EXPECT_TRUE(start.state.exclude_list.empty());
    EXPECT_FALSE(start.exclude_list_failure);
    // Reading changes nothing: no exclude list file, no key.
    EXPECT_TRUE(fs.Changes().empty());
    EXPECT_TRUE(store.values.empty());

    store.values = {{"FilesProcessed", "250"}, {"LastDonationDisplayDate", "2024-03-05T17:04:09"}};
    const ApplicationState state = StartUp("/opt/tidemark", fs, store, calendar).state;
    EXPECT_EQ(state.usage_counter, 250.0);
    EXPECT_EQ(state.last_reminder_date.date, std::chrono::year{2024} / 3 / 5);
    EXPECT_EQ(state.last_reminder_date.hour, 17);
}

TEST(StartUp, TheExcludeListIsCutAtLineBreaksOnARealFolderOrStartsEmptyWhenUnreadable) {
    testing::TemporaryFolder folder;
    testing::WriteFile(folder / "ExcludeList.txt", "temp\r\n.bak\r\n  \r\n");
    PosixFileSystem posix;
    MemorySettingsStore store;
    testing::TestCalendar calendar;
    // Kept exactly as cut: the blank entry and the empty one after the last line break stay
    // (they never match anything).
    EXPECT_EQ(StartUp(folder.path(), posix, store, calendar).state.exclude_list,
              (ExcludeList{"temp", ".bak", "  ", ""}));

    InMemoryFileSystem fs;
    fs.AddFile("/p/ExcludeList.txt", "temp\r\n");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, "/p/ExcludeList.txt",
              testing::AccessDenied());
    const StartUpResult start = StartUp("/p", fs, store, calendar);
    EXPECT_TRUE(start.state.exclude_list.empty());
    ASSERT_TRUE(start.exclude_list_failure);
    EXPECT_TRUE(start.exclude_list_failure->IsAccessDenied());
    EXPECT_NE(ExcludeListUnreadableText("/p/ExcludeList.txt", *start.exclude_list_failure)
                  .find("/p/ExcludeList.txt"),
              std::string::npos);
}

TEST(ProgramFolder, TheExecutableFolderOnlyWhenWritable) {
    EXPECT_EQ(ChooseProgramFolder("/opt/tidemark", true, "/home/u/.local/share/Tidemark"),
              "/opt/tidemark");
    EXPECT_EQ(ChooseProgramFolder("/usr/bin", false, "/home/u/.local/share/Tidemark"),
              "/home/u/.local/share/Tidemark");
}

TEST(WindowGeometry, EachValueIsTakenOnlyWhenItIsANumberAndWhatIsWrittenReadsBack) {
    const std::pair<const char*, std::optional<float>> values[] = {
        {"14700", 14700.0f}, {" 9000.5 ", 9000.5f}, {"-1.5e3", -1500.0f}, {"abc", {}},
        {"1e300", {}},       {"12px", {}},          {"nan", {}},          {"", {}},
    };
    MemorySettingsStore store;
    for (const auto& [text, number] : values) {
        store.values["ScreenTop"] = text;
        EXPECT_EQ(ReadWindowGeometry(store).top, number) << '"' << text << '"';
    }

    WriteWindowGeometry(store, 9800.0f, 7395.0f, 1234.5f, 0.1f);
    EXPECT_EQ(store.values.at("ScreenWidth"), "9800");
    const StoredGeometry geometry = ReadWindowGeometry(store);
    EXPECT_EQ(geometry.width, 9800.0f);
    EXPECT_EQ(geometry.height, 7395.0f);
    EXPECT_EQ(geometry.top, 1234.5f);
    EXPECT_EQ(geometry.left, 0.1f);
}

}  // namespace
}  // namespace tidemark
