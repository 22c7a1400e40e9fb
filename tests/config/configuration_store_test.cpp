#include "config/configuration_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/posix_file_system.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::RecordingRunView;

const std::string kProgram = "/opt/tidemark";
const std::string kFolder = "/opt/tidemark/configurations/";
const std::string kIndex = "/opt/tidemark/Config.txt";

SyncSettings Example() {
    SyncSettings values;
    values.style = 1;
    values.source_path = "/home/ann/Work";
    values.destination_path = "/media/stick/Work";
    values.use_exclude_list = 1;
    return values;
}

TEST(ConfigurationNames, NamesThatDifferOnlyByRemovedCharactersShareOneFile) {
    InMemoryFileSystem fs;
    RecordingRunView messages;
    ConfigurationStore store(fs, fs, messages, kProgram);
    EXPECT_EQ(store.GetConfigPath("My Work"), kFolder + "MyWork.txt");
    EXPECT_EQ(store.GetConfigPath("MyWork"), kFolder + "MyWork.txt");
    EXPECT_EQ(store.GetConfigPath("My.Work"), kFolder + "MyWork.txt");
    // All 31 removed characters: nothing is left of the name.
    EXPECT_EQ(store.GetConfigPath(" `~!@#$%^&*()+={[}]<>|\\:;\"',.?/"), kFolder + ".txt");
    // Path separators and dots go, so no name reaches outside the folder.
    EXPECT_EQ(store.GetConfigPath("../../etc/passwd"), kFolder + "etcpasswd.txt");
    // Letters of any script, digits, hyphen, underscore and tabs stay, in order.
    EXPECT_EQ(FileStem("Büro_2-a\tß Ω"), "Büro_2-a\tßΩ");
}

TEST(ConfigurationText, NineValuesEachEndedByCrLfAndReadBack) {
    const SyncSettings values = Example();
    const std::string text = GetConfigText(values);
    EXPECT_EQ(text, "1\r\n/home/ann/Work\r\n/media/stick/Work\r\n1\r\n1\r\n1\r\n0\r\n0\r\n0\r\n");

    SyncSettings unusual;
    unusual.style = -1;
    unusual.source_path = "  spaced  ";
    unusual.destination_path = "";
    unusual.ignore_hidden = 2;
    unusual.preview_only = 1;
    for (const SyncSettings& original : {values, unusual}) {
        const std::optional<SyncSettings> read = ParseConfigText(GetConfigText(original));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(GetConfigText(*read), GetConfigText(original));
    }
}

TEST(ConfigurationText, ReadersAcceptLfOnlyAMissingFinalBreakAndExtraLines) {
    const std::string expected = GetConfigText(Example());
    for (const std::string text :
         {"1\n/home/ann/Work\n/media/stick/Work\n1\n1\n1\n0\n0\n0\n",
          "1\r\n/home/ann/Work\r\n/media/stick/Work\r\n1\r\n1\r\n1\r\n0\r\n0\r\n0",
          "1\r\n/home/ann/Work\r\n/media/stick/Work\r\n1\r\n1\r\n1\r\n0\r\n0\r\n0\r\nextra\r\n"}) {
        const std::optional<SyncSettings> read = ParseConfigText(text);
        ASSERT_TRUE(read.has_value()) << text;
        EXPECT_EQ(GetConfigText(*read), expected);
    }
}

TEST(ConfigurationText, ShortOrMalformedTextIsIgnoredWhole) {
    const std::string nine_lines = GetConfigText(Example());
    // Eight lines: the ninth value is missing.
    EXPECT_FALSE(ParseConfigText("1\r\n/a\r\n/b\r\n1\r\n1\r\n1\r\n0\r\n0\r\n"));
    EXPECT_FALSE(ParseConfigText(""));
    EXPECT_FALSE(ParseConfigText("\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
    // One bad number line spoils the whole file, whichever line it is.
    for (const std::string bad : {"x", "3", "-2", "1.0", "+1", "", "99999999999", "1 1"}) {
        std::string style_bad = bad + nine_lines.substr(nine_lines.find("\r\n"));
        EXPECT_FALSE(ParseConfigText(style_bad)) << "style " << bad;
        std::string preview_bad = nine_lines.substr(0, nine_lines.rfind("0\r\n")) + bad + "\r\n";
        EXPECT_FALSE(ParseConfigText(preview_bad)) << "preview " << bad;
    }
    EXPECT_FALSE(ParseConfigText("1\r\n/a\r\n/b\r\n1\r\n3\r\n1\r\n0\r\n0\r\n0\r\n"));
}

TEST(ConfigurationIndex, LoadsTrimmedNonBlankNamesInFileOrder) {
    EXPECT_EQ(ParseIndexText("\r\nWork\r\n\r\n  Home  \r\n   \r\nWork\r\nLaptop\n"),
              (std::vector<std::string>{"Work", "Home", "Work", "Laptop"}));
    EXPECT_TRUE(ParseIndexText("").empty());
}

class StoreInMemory : public ::testing::Test {
  protected:
    StoreInMemory() { fs.AddFolder(kFolder); }

    std::string Index() { return fs.ContentOf(kIndex).value_or("<none>"); }

    InMemoryFileSystem fs;
    RecordingRunView messages;
    ConfigurationStore store{fs, fs, messages, kProgram};
};

TEST_F(StoreInMemory, EnsureCreatesTheFolderOnlyWhenMissing) {
    InMemoryFileSystem empty;
    empty.AddFolder(kProgram);
    ConfigurationStore fresh(empty, empty, messages, kProgram);
    EXPECT_TRUE(fresh.EnsureConfigurationFolder().ok());
    EXPECT_TRUE(empty.FolderExists("/opt/tidemark/configurations"));
    EXPECT_TRUE(fresh.EnsureConfigurationFolder().ok());
    EXPECT_EQ(empty.Changes(), (std::vector<std::string>{"mkdir /opt/tidemark/configurations"}));

    // A program folder that cannot hold it: the failure is answered, not shown.
    InMemoryFileSystem without_program_folder;
    ConfigurationStore orphan(without_program_folder, without_program_folder, messages, kProgram);
    EXPECT_FALSE(orphan.EnsureConfigurationFolder().ok());
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(StoreInMemory, NewNamesGoToTheEndAndListedNamesKeepTheirPlace) {
    ASSERT_TRUE(store.SaveConfigurations({"Work", "Home"}, "Laptop", Example()).ok());
    EXPECT_EQ(Index(), "\r\nWork\r\nHome\r\nLaptop");
    EXPECT_EQ(fs.ContentOf(kFolder + "Laptop.txt"), GetConfigText(Example()));

    // Saving a listed name rewrites its file and the index, and touches no other file.
    fs.AddFile(kFolder + "Work.txt", "old work");
    fs.AddFile(kFolder + "Home.txt", "old home");
    const std::size_t before = fs.Changes().size();
    ASSERT_TRUE(store.SaveConfigurations({"Work", "Home", "Laptop"}, "Home", Example()).ok());
    EXPECT_EQ(Index(), "\r\nWork\r\nHome\r\nLaptop");
    EXPECT_EQ(std::vector<std::string>(fs.Changes().begin() + before, fs.Changes().end()),
              (std::vector<std::string>{"write " + kFolder + "Home.txt", "write " + kIndex}));
    EXPECT_EQ(fs.ContentOf(kFolder + "Work.txt"), "old work");

    // "Work" is not "Work Laptop": the two stay separate entries.
    ASSERT_TRUE(store.SaveConfigurations({"Work Laptop"}, "Work", Example()).ok());
    EXPECT_EQ(Index(), "\r\nWork Laptop\r\nWork");
}

TEST_F(StoreInMemory, TheIndexHoldsEachNameOnce) {
    // A name restored twice before saving is listed twice; the save writes it once.
    ASSERT_TRUE(store.SaveConfigurations({"A", "", "B", "A", "B"}, "A", Example()).ok());
    EXPECT_EQ(Index(), "\r\nA\r\nB");
    // Spaces around the typed name do not make a second entry of a listed name.
    ASSERT_TRUE(store.SaveConfigurations({"Work"}, "  Work ", Example()).ok());
    EXPECT_EQ(Index(), "\r\nWork");
    EXPECT_EQ(store.LoadConfigurationList().value(), (std::vector<std::string>{"Work"}));
}

TEST_F(StoreInMemory, NamesSharingAStemShareTheFileAndTheLastSaveWins) {
    SyncSettings first = Example();
    SyncSettings second = Example();
    second.source_path = "/elsewhere";
    ASSERT_TRUE(store.SaveConfigurations({"MyWork"}, "MyWork", first).ok());
    ASSERT_TRUE(store.SaveConfigurations({"MyWork"}, "My Work", second).ok());
    EXPECT_EQ(Index(), "\r\nMyWork\r\nMy Work");
    EXPECT_EQ(store.LoadConfiguration("MyWork").value()->source_path, "/elsewhere");
    EXPECT_EQ(store.LoadConfiguration("My Work").value()->source_path, "/elsewhere");
}

TEST_F(StoreInMemory, AnEmptyNameRewritesOnlyTheIndex) {
    for (const std::string name : {"", "   "}) {
        const std::size_t before = fs.Changes().size();
        ASSERT_TRUE(store.SaveConfigurations({"Work", "Home"}, name, Example()).ok());
        EXPECT_EQ(std::vector<std::string>(fs.Changes().begin() + before, fs.Changes().end()),
                  (std::vector<std::string>{"write " + kIndex}));
        EXPECT_EQ(Index(), "\r\nWork\r\nHome");
    }
    ASSERT_TRUE(store.SaveConfigurations({}, "", Example()).ok());
    EXPECT_EQ(Index(), "");
}

TEST_F(StoreInMemory, AFailedWriteIsReportedAndStopsTheSave) {
    fs.AddFile(kIndex, "\r\nWork");
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kFolder + "Home.txt",
              testing::NoSpace());
    const Status saved = store.SaveConfigurations({"Work"}, "Home", Example());
    ASSERT_FALSE(saved.ok());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The file " + kFolder +
                                             "Home.txt could not be saved:\r\n\r\n" +
                                             testing::NoSpace().description);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_EQ(messages.messages[0].buttons, MessageButtons::kOk);
    // The index was not rewritten to list a configuration that has no file.
    EXPECT_EQ(Index(), "\r\nWork");

    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kIndex, testing::AccessDenied());
    ASSERT_FALSE(store.SaveConfigurations({"Work"}, "Work", Example()).ok());
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_NE(messages.messages[1].text.find(kIndex), std::string::npos);
    EXPECT_NE(messages.messages[1].text.find(testing::AccessDenied().description),
              std::string::npos);
}

TEST_F(StoreInMemory, LoadingAnAbsentShortOrUnreadableConfiguration) {
    EXPECT_FALSE(store.LoadConfiguration("Nothing").value().has_value());
    fs.AddFile(kFolder + "Short.txt", "1\r\n/a\r\n/b\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
    EXPECT_FALSE(store.LoadConfiguration("Short").value().has_value());
    EXPECT_TRUE(messages.messages.empty());

    fs.AddFile(kFolder + "Locked.txt", GetConfigText(Example()));
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kFolder + "Locked.txt",
              testing::AccessDenied());
    EXPECT_FALSE(store.LoadConfiguration("Locked").ok());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The file " + kFolder +
                                             "Locked.txt could not be read:\r\n\r\n" +
                                             testing::AccessDenied().description);
}

TEST_F(StoreInMemory, RestoreOffersUnindexedFilesByNameWithoutTxt) {
    fs.AddFile(kIndex, "\r\nWork Laptop\r\nMy Home");
    for (const std::string file :
         {"WorkLaptop.txt", "MyHome.txt", "Work.txt", "notes.doc", "A.TXT", "a.txt.txt", ".txt"}) {
        fs.AddFile(kFolder + file, GetConfigText(Example()));
    }
    const std::size_t before = fs.Changes().size();
    EXPECT_EQ(store.RestoreConfigurations().value(),
              (std::vector<std::string>{"Work", "notes.doc", "A.TXT", "a"}));
    // Nothing is written: a second restore offers the same names again.
    EXPECT_EQ(fs.Changes().size(), before);
    EXPECT_EQ(store.RestoreConfigurations().value().size(), 4u);
}

TEST_F(StoreInMemory, RestoreWithoutIndexOffersEveryFileAndReportsAMissingFolder) {
    fs.AddFile(kFolder + "Work.txt");
    EXPECT_EQ(store.RestoreConfigurations().value(), (std::vector<std::string>{"Work"}));

    fs.Remove("/opt/tidemark/configurations");
    EXPECT_FALSE(store.RestoreConfigurations().ok());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_NE(messages.messages[0].text.find("/opt/tidemark/configurations"), std::string::npos);
}

TEST(StoreOnDisk, SaveLoadAndRestoreThroughRealFiles) {
    testing::TemporaryFolder program;
    PosixFileSystem fs;
    RecordingRunView messages;
    ConfigurationStore store(fs, fs, messages, program.path());
    ASSERT_TRUE(store.EnsureConfigurationFolder().ok());

    ASSERT_TRUE(store.SaveConfigurations({}, "My Work", Example()).ok());
    ASSERT_TRUE(store.SaveConfigurations({"My Work"}, "Home", Example()).ok());
    EXPECT_EQ(testing::ReadFile(program / "Config.txt"), "\r\nMy Work\r\nHome");
    EXPECT_EQ(testing::ReadFile(program / "configurations/MyWork.txt"), GetConfigText(Example()));
    EXPECT_EQ(store.LoadConfigurationList().value(), (std::vector<std::string>{"My Work", "Home"}));

    // A hand-edited file with LF line breaks still loads.
    testing::WriteFile(program / "configurations/Edited.txt", "2\n/src\n/dst\n0\n0\n0\n1\n1\n1\n");
    const std::optional<SyncSettings> edited = store.LoadConfiguration("Edited").value();
    ASSERT_TRUE(edited.has_value());
    EXPECT_EQ(edited->style, 2);
    EXPECT_EQ(edited->destination_path, "/dst");
    EXPECT_EQ(edited->preview_only, 1);

    // Delete "My Work" by rewriting the index without it: its file stays and restore finds it.
    ASSERT_TRUE(store.SaveConfigurations({"Home"}, "", Example()).ok());
    std::vector<std::string> restored = store.RestoreConfigurations().value();
    std::sort(restored.begin(), restored.end());
    EXPECT_EQ(restored, (std::vector<std::string>{"Edited", "MyWork"}));

    // The configurations folder vanished: the save says so and nothing is written.
    std::filesystem::remove_all(program / "configurations");
    ASSERT_FALSE(store.SaveConfigurations({"Home"}, "Home", Example()).ok());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(testing::ReadFile(program / "Config.txt"), "\r\nHome");
    EXPECT_EQ(testing::CountItemsStartingWith(program.path(), ".tidemark-"), 0);
}

}  // namespace
}  // namespace tidemark
