// Start-up, the program folder and the stored window geometry, without Qt.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/mod_main.h"
#include "app/program_folder.h"
#include "app/stored_value.h"
#include "app/window_geometry.h"
#include "platform/posix_file_system.h"
#include "tests/app/memory_settings_store.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::AccessDenied;
using testing::InMemoryFileSystem;
using testing::MemorySettingsStore;
using testing::TemporaryFolder;

/// A calendar that reads only ISO dates is enough here: the locale forms belong to the
/// platform's own tests.
class NoLocaleCalendar final : public LocalCalendar {
  public:
    LocalDateTime Now() override { return {}; }
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string&) override {
        return std::nullopt;
    }
};

TEST(StartUp, FirstStartWithAnEmptyStoreAndNoExcludeList) {
    InMemoryFileSystem fs;
    fs.AddFolder("/opt/tidemark");
    MemorySettingsStore store;
    NoLocaleCalendar calendar;

    const StartUpResult start = StartUp("/opt/tidemark", fs, store, calendar);

    EXPECT_EQ(start.state.usage_counter, 0.0);
    EXPECT_EQ(start.state.last_reminder_date, kZeroDate);
    EXPECT_EQ(start.state.exclude_list_path, "/opt/tidemark/ExcludeList.txt");
    EXPECT_TRUE(start.state.exclude_list.empty());
    EXPECT_FALSE(start.exclude_list_failure);
    EXPECT_EQ(start.state.donation_address, kDonationAddress);
    EXPECT_FALSE(start.state.help_texts.intro.empty());
    // Reading changes nothing: no exclude list file, no key.
    EXPECT_FALSE(fs.Exists("/opt/tidemark/ExcludeList.txt"));
    EXPECT_TRUE(fs.Changes().empty());
    EXPECT_TRUE(store.values.empty());
}

TEST(StartUp, ReadsTheStoredCounterAndDateAndFallsBackOnText) {
    InMemoryFileSystem fs;
    fs.AddFolder("/p");
    NoLocaleCalendar calendar;

    MemorySettingsStore store;
    store.values = {{"FilesProcessed", "250"}, {"LastDonationDisplayDate", "2024-03-05T17:04:09"}};
    const ApplicationState state = StartUp("/p", fs, store, calendar).state;
    EXPECT_EQ(state.usage_counter, 250.0);
    EXPECT_EQ(state.last_reminder_date.date, std::chrono::year{2024} / 3 / 5);
    EXPECT_EQ(state.last_reminder_date.hour, 17);

    store.values = {{"FilesProcessed", "abc"}, {"LastDonationDisplayDate", "soon"}};
    const ApplicationState fallback = StartUp("/p", fs, store, calendar).state;
    EXPECT_EQ(fallback.usage_counter, 0.0);
    EXPECT_EQ(fallback.last_reminder_date, kZeroDate);
}

TEST(StartUp, ExcludeListIsCutAtLineBreaksOnARealFolder) {
    TemporaryFolder folder;
    testing::WriteFile(folder / "ExcludeList.txt", "temp\r\n.bak\r\n  \r\n");
    PosixFileSystem fs;
    MemorySettingsStore store;
    NoLocaleCalendar calendar;

    const StartUpResult start = StartUp(folder.path(), fs, store, calendar);

    // Kept exactly as cut: the blank entry and the empty one after the last line break stay
    // (they never match anything).
    EXPECT_EQ(start.state.exclude_list, (ExcludeList{"temp", ".bak", "  ", ""}));
    EXPECT_EQ(start.state.exclude_list_path, folder / "ExcludeList.txt");
}

TEST(StartUp, UnreadableExcludeListIsReportedAndStartsEmpty) {
    InMemoryFileSystem fs;
    fs.AddFile("/p/ExcludeList.txt", "temp\r\n");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, "/p/ExcludeList.txt", AccessDenied());
    MemorySettingsStore store;
    NoLocaleCalendar calendar;

    const StartUpResult start = StartUp("/p", fs, store, calendar);

    EXPECT_TRUE(start.state.exclude_list.empty());
    ASSERT_TRUE(start.exclude_list_failure);
    EXPECT_TRUE(start.exclude_list_failure->IsAccessDenied());
    EXPECT_NE(ExcludeListUnreadableText("/p/ExcludeList.txt", *start.exclude_list_failure)
                  .find("/p/ExcludeList.txt"),
              std::string::npos);
}

TEST(ProgramFolder, ExecutableFolderOnlyWhenWritable) {
    EXPECT_EQ(ChooseProgramFolder("/opt/tidemark", true, "/home/u/.local/share/Tidemark"),
              "/opt/tidemark");
    EXPECT_EQ(ChooseProgramFolder("/usr/bin", false, "/home/u/.local/share/Tidemark"),
              "/home/u/.local/share/Tidemark");
    EXPECT_EQ(ConfigurationsFolderIn("/opt/tidemark/"), "/opt/tidemark/configurations/");
    EXPECT_EQ(ExcludeListPathIn("/opt/tidemark"), "/opt/tidemark/ExcludeList.txt");
}

TEST(ProgramFolder, ConfigurationFolderIsCreatedOnceAndAFailureIsOnlyAnswered) {
    TemporaryFolder folder;
    PosixFileSystem fs;
    ASSERT_TRUE(EnsureConfigurationFolder(fs, folder.path()).ok());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "configurations"));
    testing::WriteFile(folder / "configurations/a.txt", "kept");
    ASSERT_TRUE(EnsureConfigurationFolder(fs, folder.path()).ok());
    EXPECT_EQ(testing::ReadFile(folder / "configurations/a.txt"), "kept");

    InMemoryFileSystem read_only;
    read_only.AddFolder("/p");
    read_only.FailOn(InMemoryFileSystem::Operation::kCreateFolder, "/p/configurations",
                     AccessDenied());
    const Status status = EnsureConfigurationFolder(read_only, "/p");
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.failure().IsAccessDenied());
}

TEST(WindowGeometry, EachValueIsTakenOnlyWhenItIsANumber) {
    MemorySettingsStore store;
    store.values = {{"ScreenWidth", "14700"},
                    {"ScreenHeight", " 9000.5 "},
                    {"ScreenTop", "abc"},
                    {"ScreenLeft", "-1.5e3"}};
    StoredGeometry geometry = ReadWindowGeometry(store);
    EXPECT_EQ(geometry.width, 14700.0f);
    EXPECT_EQ(geometry.height, 9000.5f);
    EXPECT_FALSE(geometry.top);
    EXPECT_EQ(geometry.left, -1500.0f);

    // Values a float cannot hold, and texts that only begin like numbers, are not numbers.
    store.values = {{"ScreenWidth", "1e300"},
                    {"ScreenHeight", "12px"},
                    {"ScreenTop", "nan"},
                    {"ScreenLeft", ""}};
    geometry = ReadWindowGeometry(store);
    EXPECT_FALSE(geometry.width);
    EXPECT_FALSE(geometry.height);
    EXPECT_FALSE(geometry.top);
    EXPECT_FALSE(geometry.left);
}

TEST(WindowGeometry, WhatIsWrittenReadsBackExactly) {
    MemorySettingsStore store;
    WriteWindowGeometry(store, 9800.0f, 7395.0f, 1234.5f, 0.1f);
    EXPECT_EQ(store.values.at("ScreenWidth"), "9800");
    EXPECT_EQ(store.values.at("ScreenHeight"), "7395");
    const StoredGeometry geometry = ReadWindowGeometry(store);
    EXPECT_EQ(geometry.width, 9800.0f);
    EXPECT_EQ(geometry.height, 7395.0f);
    EXPECT_EQ(geometry.top, 1234.5f);
    EXPECT_EQ(geometry.left, 0.1f);
}

}  // namespace
}  // namespace tidemark
