#include <gtest/gtest.h>

#include "exclude/exclude_list_editor.h"
#include "exclude/exclude_list_text.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;

TEST(ReplaceAll, RepeatsUntilNoOccurrenceIsLeft) {
    EXPECT_EQ(ReplaceAll("a\r\n\r\n\r\n\r\n\r\nb", "\r\n\r\n", "\r\n"), "a\r\nb");
    // Non-overlapping, from the left: "aaa" holds one "aa", then "ba" holds none.
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    // Cases that would never end are cut short.
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("a", "a", "aa"), "aa");
}

// Cleaning drops empty lines and the outer spaces of later lines. The linear scan must give
// what the three repeated replacements give: compare them on every text of up to seven
// characters over the characters that matter.
TEST(CleanExcludeText, MatchesTheThreeRepeatedReplacementsOnEveryShortText) {
    EXPECT_EQ(CleanExcludeText("  first \r\n\r\n  second \r\n  last  "),
              "  first\r\nsecond\r\nlast  ");
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
    testing::RecordingRunView messages;
    ExcludeList list = {"in use"};
    FakeEditorView view;
    ExcludeListEditor editor{fs, messages, kPath, list, view};
};

// Opening and saving on real files: see the editor window's tests.
TEST_F(Editor, LineFeedsBecomeCrLfAndAnEmptySaveEmptiesTheList) {
    fs.AddFile(kPath, "a\n\n  b\r\nc\n");
    Open();
    EXPECT_EQ(view.text, "a\r\nb\r\nc\r\n");
    view.Type("");
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_EQ(fs.ContentOf(kPath), "");
    EXPECT_TRUE(list.empty());
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
    EXPECT_TRUE(view.save_enabled);
    EXPECT_EQ(list, ExcludeList{"in use"});
    EXPECT_EQ(fs.ContentOf(kPath), "old");
}

}  // namespace
}  // namespace tidemark
