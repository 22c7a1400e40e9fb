#include <gtest/gtest.h>

#include <filesystem>

#include "exclude/exclude_list_editor.h"
#include "exclude/exclude_list_text.h"
#include "platform/posix_file_system.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::RecordingRunView;

TEST(ReplaceAll, RepeatsUntilNoOccurrenceIsLeft) {
    EXPECT_EQ(ReplaceAll("a\r\n\r\n\r\n\r\n\r\nb", "\r\n\r\n", "\r\n"), "a\r\nb");
    EXPECT_EQ(ReplaceAll("x    y", "  ", " "), "x y");
    // Non-overlapping, from the left: "aaa" holds one "aa", then the result "ba" holds none.
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("Aa", "a", ""), "A");
    // Cases that would never end are cut short.
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("a", "a", "aa"), "aa");
}

TEST(CleanExcludeText, EmptyLinesAndOuterSpacesOfLaterLinesGo) {
    // The four lines a, an empty line, two spaces and b, c and a space.
    EXPECT_EQ(CleanExcludeText("a\r\n\r\n  b\r\nc "), "a\r\nb\r\nc ");
    // The first line keeps its leading spaces, the last its trailing ones.
    EXPECT_EQ(CleanExcludeText("  first \r\n  second \r\n  last  "), "  first\r\nsecond\r\nlast  ");
    // A line of spaces between two entries becomes an empty line that stays.
    EXPECT_EQ(CleanExcludeText("a\r\n   \r\nb"), "a\r\n\r\nb");
    // Leading and trailing runs of line breaks keep one break each.
    EXPECT_EQ(CleanExcludeText("\r\n\r\n\r\nx\r\n\r\n"), "\r\nx\r\n");
    // Tabs and lone CR or LF are not line breaks and are not touched.
    EXPECT_EQ(CleanExcludeText("\ta \r\n\tb\n\n c"), "\ta\r\n\tb\n\n c");
    EXPECT_EQ(CleanExcludeText(""), "");
}

// The linear scan must give exactly what the three repeated replacements give: compare them on
// every text of up to seven characters over the characters that matter.
TEST(CleanExcludeText, MatchesTheThreeRepeatedReplacementsOnEveryShortText) {
    const std::string alphabet = "a \r\n";
    std::vector<std::string> texts = {""};
    for (std::size_t start = 0, length = 0; length < 7; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t i = start; i < end; ++i) {
            for (const char c : alphabet)
                texts.push_back(texts[i] + c);
        }
        start = end;
    }
    for (const std::string& text : texts) {
        std::string expected = ReplaceAll(text, "\r\n\r\n", "\r\n");
        expected = ReplaceAll(expected, "\r\n ", "\r\n");
        expected = ReplaceAll(expected, " \r\n", "\r\n");
        ASSERT_EQ(CleanExcludeText(text), expected) << ::testing::PrintToString(text);
    }
}

TEST(CleanExcludeText, LongRunsOfSpacesAndBreaksStayLinear) {
    // A repeated replacement would need a pass per space here.
    const std::string spaces(200'000, ' ');
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "x" + spaces + "\r\n" + spaces;
    text += std::string(100'000, '\n');
    const std::string cleaned = CleanExcludeText(text);
    EXPECT_EQ(cleaned.substr(0, 6), "x\r\nx\r\n");
}

/// The editor window in memory.
class FakeEditorView final : public ExcludeListEditorView {
  public:
    std::string text;
    bool save_enabled = false;
    ExcludeListEditor* editor = nullptr;

    void Type(const std::string& typed) {
        text = typed;
        editor->TextChanged();
    }
    std::string ExcludeText() override { return text; }
    void SetExcludeText(const std::string& shown) override {
        text = shown;
        editor->TextChanged();
    }
    void SetSaveEnabled(bool enabled) override { save_enabled = enabled; }
};

class Editor : public ::testing::Test {
  protected:
    Editor() {
        fs.AddFolder("/opt/tidemark");
        view.editor = &editor;
    }

    void Open() {
        editor.Opened();
        editor.Activated();
    }

    const std::string kPath = "/opt/tidemark/ExcludeList.txt";
    InMemoryFileSystem fs;
    RecordingRunView messages;
    ExcludeList list = {"in use"};
    FakeEditorView view;
    ExcludeListEditor editor{fs, messages, kPath, list, view};
};

TEST_F(Editor, OpensWithTheCleanedTextAndSaveDisabled) {
    fs.AddFile(kPath, "a\r\n\r\n  b\r\nc ");
    Open();
    EXPECT_EQ(view.text, "a\r\nb\r\nc ");
    EXPECT_FALSE(view.save_enabled);
    // Opening changes neither the file nor the list.
    EXPECT_EQ(fs.ContentOf(kPath), "a\r\n\r\n  b\r\nc ");
    EXPECT_EQ(list, ExcludeList{"in use"});
}

TEST_F(Editor, AFileWithLfBreaksOpensCleanedWithCrLf) {
    fs.AddFile(kPath, "a\n\n  b\r\nc\n");
    Open();
    EXPECT_EQ(view.text, "a\r\nb\r\nc\r\n");
}

TEST_F(Editor, NoFileOpensEmptyAndSavingCreatesIt) {
    Open();
    EXPECT_EQ(view.text, "");
    view.Type("  .git \r\n\r\n node_modules");
    EXPECT_TRUE(view.save_enabled);
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_EQ(view.text, "  .git\r\nnode_modules");
    EXPECT_EQ(fs.ContentOf(kPath), "  .git\r\nnode_modules");
    EXPECT_EQ(list, (ExcludeList{"  .git", "node_modules"}));
    EXPECT_FALSE(view.save_enabled);
    EXPECT_TRUE(messages.messages.empty());

    // Saved empty: the list is empty, not one blank entry.
    view.Type("");
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_TRUE(list.empty());
}

TEST_F(Editor, SaveIsEnabledOnlyByAChangeSinceTheLastSave) {
    fs.AddFile(kPath, "a");
    Open();
    view.Type("a\r\nb");
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_FALSE(view.save_enabled);
    // Switching to another program and back must not hide unsaved edits.
    view.Type("a\r\nb\r\nc");
    editor.Activated();
    EXPECT_TRUE(view.save_enabled);
}

TEST_F(Editor, ClosingWithoutSavingDropsTheEdits) {
    fs.AddFile(kPath, "keep");
    Open();
    view.Type("changed");
    // Closing is just the end of the editor: nothing has been written or replaced.
    EXPECT_EQ(fs.ContentOf(kPath), "keep");
    EXPECT_EQ(list, ExcludeList{"in use"});
    EXPECT_EQ(fs.Changes(), std::vector<std::string>{});
}

TEST_F(Editor, AFailedWriteIsReportedAndKeepsTheListAndSave) {
    fs.AddFile(kPath, "old");
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kPath, testing::NoSpace());
    Open();
    view.Type("new");
    EXPECT_FALSE(editor.SaveClicked());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The file " + kPath + " could not be saved:\r\n\r\n" +
                                             testing::NoSpace().description);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kCritical);
    EXPECT_EQ(messages.messages[0].buttons, MessageButtons::kOk);
    EXPECT_TRUE(view.save_enabled);
    EXPECT_EQ(list, ExcludeList{"in use"});
    EXPECT_EQ(fs.ContentOf(kPath), "old");
}

TEST_F(Editor, AnUnreadableFileIsReportedAndTheEditorOpensEmpty) {
    fs.AddFile(kPath, "secret");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kPath, testing::AccessDenied());
    Open();
    EXPECT_EQ(view.text, "");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find(kPath), std::string::npos);
    EXPECT_FALSE(view.save_enabled);
}

TEST(EditorOnDisk, SaveReplacesTheFileAtomicallyWithCrLfLines) {
    testing::TemporaryFolder program;
    const std::string path = program / "ExcludeList.txt";
    testing::WriteFile(path, std::string(5000, 'x') + "\n\n   y\n");
    PosixFileSystem fs;
    RecordingRunView messages;
    ExcludeList list;
    FakeEditorView view;
    ExcludeListEditor editor(fs, messages, path, list, view);
    view.editor = &editor;
    editor.Opened();
    editor.Activated();
    EXPECT_EQ(view.text, std::string(5000, 'x') + "\r\ny\r\n");

    view.Type("Thumbs.db\r\n.cache \r\n");
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_EQ(testing::ReadFile(path), "Thumbs.db\r\n.cache\r\n");
    EXPECT_EQ(list, (ExcludeList{"Thumbs.db", ".cache", ""}));
    EXPECT_EQ(testing::CountItemsStartingWith(program.path(), ".tidemark-"), 0);

    // The program folder vanished: reported, the list stays.
    std::filesystem::remove_all(program.path());
    view.Type("other");
    EXPECT_FALSE(editor.SaveClicked());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(list, (ExcludeList{"Thumbs.db", ".cache", ""}));
}

}  // namespace
}  // namespace tidemark
