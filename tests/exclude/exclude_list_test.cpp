#include <gtest/gtest.h>

#include "exclude/exclude_list_editor.h"
#include "exclude/exclude_list_text.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;
using testing::RecordingRunView;

TEST(ReplaceAll, RepeatsUntilNoOccurrenceIsLeft) {
    EXPECT_EQ(ReplaceAll("a\r\n\r\n\r\n\r\n\r\nb", "\r\n\r\n", "\r\n"), "a\r\nb");
    // Non-overlapping, from the left: "aaa" holds one "aa", then "ba" holds none.
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    // Cases that would never end are cut short.
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("a", "a", "aa"), "aa");
}

TEST(CleanExcludeText, EmptyLinesAndOuterSpacesOfLaterLinesGo) {
    // The four lines a, an empty line, two spaces and b, c and a space.
    EXPECT_EQ(CleanExcludeText("a\r\n\r\n  b\r\nc "), "a\r\nb\r\nc ");
    EXPECT_EQ(CleanExcludeText("  first \r\n  second \r\n  last  "), "  first\r\nsecond\r\nlast  ");
    // A line of spaces between two entries becomes an empty line that stays.
    EXPECT_EQ(CleanExcludeText("a\r\n   \r\nb"), "a\r\n\r\nb");
    EXPECT_EQ(CleanExcludeText("\r\n\r\n\r\nx\r\n\r\n"), "\r\nx\r\n");
    // Tabs and a lone CR or LF are left alone.
    EXPECT_EQ(CleanExcludeText("\ta \r\n\tb\n\n c"), "\ta\r\n\tb\n\n c");
}

// The linear scan must give what the three repeated replacements give: compare them on every
// text of up to seven characters over the characters that matter.
TEST(CleanExcludeText, MatchesTheThreeRepeatedReplacementsOnEveryShortText) {
    std::vector<std::string> texts = {""};
    for (std::size_t start = 0, length = 0; length < 7; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t i = start; i < end; ++i) {
            for (const char c : std::string("a \r\n"))
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
    // Long runs of spaces, where a pass per space would never finish.
    const std::string spaces(1'000'000, ' ');
    EXPECT_EQ(CleanExcludeText("x" + spaces + "\r\n" + spaces + "y"), "x\r\ny");
}

/// The editor window in memory.
class FakeEditorView final : public ExcludeListEditorView {
  public:
    std::string text;
    bool save_enabled = true;
    ExcludeListEditor* editor = nullptr;

    void Type(const std::string& typed) {
        text = typed;
        editor->TextChanged();
    }
    std::string ExcludeText() override { return text; }
    void SetExcludeText(const std::string& shown) override { Type(shown); }
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

TEST_F(Editor, OpensCleanedAndSavesIntoTheFileAndTheList) {
    fs.AddFile(kPath, "a\n\n  b\r\nc\n");
    Open();
    EXPECT_EQ(view.text, "a\r\nb\r\nc\r\n");
    EXPECT_FALSE(view.save_enabled);
    EXPECT_EQ(list, ExcludeList{"in use"});

    view.Type("  .git \r\n\r\n node_modules");
    EXPECT_TRUE(view.save_enabled);
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_EQ(view.text, "  .git\r\nnode_modules");
    EXPECT_EQ(fs.ContentOf(kPath), "  .git\r\nnode_modules");
    EXPECT_EQ(list, (ExcludeList{"  .git", "node_modules"}));
    EXPECT_FALSE(view.save_enabled);

    // Saved empty: the list is empty, not one blank entry.
    view.Type("");
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Editor, FilesThatCannotBeReadOrWrittenAreReported) {
    fs.AddFile(kPath, "old");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kPath, testing::AccessDenied());
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kPath, testing::NoSpace());
    Open();
    EXPECT_EQ(view.text, "");
    EXPECT_EQ(messages.messages.at(0).text, "The file " + kPath + " could not be read:\r\n\r\n" +
                                                testing::AccessDenied().description);

    view.Type("new");
    EXPECT_FALSE(editor.SaveClicked());
    EXPECT_EQ(messages.messages.at(1).text, "The file " + kPath + " could not be saved:\r\n\r\n" +
                                                testing::NoSpace().description);
    EXPECT_EQ(messages.messages.at(1).icon, MessageIcon::kCritical);
    EXPECT_TRUE(view.save_enabled);
    EXPECT_EQ(list, ExcludeList{"in use"});
    EXPECT_EQ(fs.ContentOf(kPath), "old");
}

}  // namespace
}  // namespace tidemark
