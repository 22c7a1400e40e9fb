#include "config/configuration_store.h"

#include <gtest/gtest.h>

#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using Strings = std::vector<std::string>;

const std::string kFolder = "/opt/tidemark/configurations/";
const std::string kIndex = "/opt/tidemark/Config.txt";

SyncSettings Example() {
    SyncSettings values;
    values.style = SyncStyle::kNormal;
    values.source_path = "/home/ann/Work";
    values.destination_path = "/media/stick/Work";
    values.use_exclude_list = CheckState::kChecked;
    return values;
}

TEST(ConfigurationText, NineCrLfTerminatedValuesReadBackAndAnythingElseIsIgnored) {
    const std::string text = GetConfigText(Example());
    EXPECT_EQ(text, "1\r\n/home/ann/Work\r\n/media/stick/Work\r\n1\r\n1\r\n1\r\n0\r\n0\r\n0\r\n");
    SyncSettings unusual = Example();
    unusual.style = SyncStyle::kNone;
    unusual.source_path = "  spaced  ";
    unusual.ignore_hidden = CheckState::kGreyed;
    EXPECT_EQ(GetConfigText(ParseConfigText(GetConfigText(unusual)).value()),
              GetConfigText(unusual));
    // Hand-edited files with LF line breaks read the same.
    EXPECT_EQ(
        GetConfigText(
            ParseConfigText("1\n/home/ann/Work\n/media/stick/Work\n1\n1\n1\n0\n0\n0").value()),
        text);

    EXPECT_FALSE(ParseConfigText("1\r\n/a\r\n/b\r\n1\r\n1\r\n1\r\n0\r\n0\r\n"));  // eight lines
    // One bad number spoils the whole file, whichever line it is on.
    for (const std::string bad : {"x", "3", "-2", "1.0", "+1", "", "99999999999"}) {
        EXPECT_FALSE(ParseConfigText(bad + text.substr(text.find("\r\n")))) << bad;
        EXPECT_FALSE(ParseConfigText(text.substr(0, text.rfind("0\r\n")) + bad + "\r\n")) << bad;
    }
}

class StoreInMemory : public ::testing::Test {
  protected:
    StoreInMemory() { fs.AddFolder(kFolder); }

    std::string Index() { return fs.ContentOf(kIndex).value_or("<none>"); }
    Strings ChangesSince(std::size_t before) {
        return Strings(fs.Changes().begin() + static_cast<long>(before), fs.Changes().end());
    }

    InMemoryFileSystem fs;
    testing::RecordingRunView messages;
    ConfigurationStore store{fs, fs, messages, "/opt/tidemark"};
};

TEST_F(StoreInMemory, NamesThatDifferOnlyByRemovedCharactersShareOneFileInsideTheFolder) {
    for (const std::string name : {"My Work", "MyWork", "My.Work"})
        EXPECT_EQ(store.GetConfigPath(name), kFolder + "MyWork.txt");
    EXPECT_EQ(store.GetConfigPath(" `~!@#$%^&*()+={[}]<>|\\:;\"',.?/"), kFolder + ".txt");
    EXPECT_EQ(store.GetConfigPath("../../etc/passwd"), kFolder + "etcpasswd.txt");
    EXPECT_EQ(FileStem("Büro_2-a\tß Ω"), "Büro_2-a\tßΩ");
}

TEST_F(StoreInMemory, SavingKeepsTheListOrderAndListsEachNameOnce) {
    fs.AddFile(kIndex, "\r\nWork\r\n\r\n  Home  \r\n   \r\nLaptop\n");
    EXPECT_EQ(store.LoadConfigurationList().value(), (Strings{"Work", "Home", "Laptop"}));

    // A listed name rewrites only its own file and keeps its place.
    std::size_t before = fs.Changes().size();
    ASSERT_TRUE(store.SaveConfigurations({"Work", "Home", "Laptop"}, "Home", Example()).ok());
    EXPECT_EQ(ChangesSince(before), (Strings{"write " + kFolder + "Home.txt", "write " + kIndex}));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome\r\nLaptop");

    // A new name goes last; "Work" and "Work Laptop" stay two entries; duplicates (a name
    // restored twice) and spaces around the typed name make no second entry.
    ASSERT_TRUE(store.SaveConfigurations({"Work Laptop", "A", "", "A"}, " Work ", Example()).ok());
    EXPECT_EQ(Index(), "\r\nWork Laptop\r\nA\r\nWork");

    // With an empty name only the index is written.
    before = fs.Changes().size();
    ASSERT_TRUE(store.SaveConfigurations({"Work", "Home"}, "   ", Example()).ok());
    EXPECT_EQ(ChangesSince(before), (Strings{"write " + kIndex}));
    EXPECT_EQ(Index(), "\r\nWork\r\nHome");

    // A configuration that cannot be written is reported and is not listed.
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kFolder + "Laptop.txt",
              testing::NoSpace());
    ASSERT_FALSE(store.SaveConfigurations({"Work"}, "Laptop", Example()).ok());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The file " + kFolder +
                                             "Laptop.txt could not be saved:\r\n\r\n" +
                                             testing::NoSpace().description);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_EQ(Index(), "\r\nWork\r\nHome");
}

TEST_F(StoreInMemory, RestoreOffersUnindexedFilesByNameWithoutTxt) {
    fs.AddFile(kIndex, "\r\nWork Laptop\r\nMy Home");
    for (const std::string file :
         {"WorkLaptop.txt", "MyHome.txt", "Work.txt", "notes.doc", "A.TXT", "a.txt.txt", ".txt"}) {
        fs.AddFile(kFolder + file);
    }
    const std::size_t before = fs.Changes().size();
    EXPECT_EQ(store.RestoreConfigurations().value(), (Strings{"Work", "notes.doc", "A.TXT", "a"}));
    EXPECT_EQ(fs.Changes().size(), before);
}

}  // namespace
}  // namespace tidemark
