#include <gtest/gtest.h>

#include "exclude/exclude_list_editor.h"
#include "exclude/exclude_list_text.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

using testing::InMemoryFileSystem;

// ReplaceAll repeats until no occurrence is left. Cleaning drops empty lines and the outer
// spaces of later lines; its linear scan must give what the three repeated replacements give:
// compare them on every text of up to seven characters over the characters that matter.
TEST(ExcludeListText, CleaningMatchesTheThreeRepeatedReplacementsOnEveryShortText) {
    EXPECT_EQ(ReplaceAll("a\r\n\r\n\r\n\r\n\r\nb", "\r\n\r\n", "\r\n"), "a\r\nb");
    // Non-overlapping, from the left: "aaa" holds one "aa", then "ba" holds none.
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    // Cases that would never end are cut short.
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("a", "a", "aa"), "aa");
    EXPECT_EQ(CleanExcludeText("  first \r\n\r\n  second \r\n  last  "),
              "  first\r\nsecond\r\nlast  ");
    std::vector<std::string> texts = {""};
    for (std::size_t i = 0; texts[i].size() < 7; ++i) {
        for (const char c : std::string("a \r\n"))
            texts.push_back(texts[i] + c);
    }
    for (const std::string& text : texts) {
        const std::string expected = ReplaceAll(
            ReplaceAll(ReplaceAll(text, "\r\n\r\n", "\r\n"), "\r\n ", "\r\n"), " \r\n", "\r\n");
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

// Opening and saving on real files: see the editor window's tests.
class Editor : public ::testing::Test {
  protected:
    Editor() {
        fs.AddFolder("/opt/tidemark");
        view.editor = &editor;
    }

    const std::string kPath = "/opt/tidemark/ExcludeList.txt";
    InMemoryFileSystem fs;
    testing::RecordingRunView messages;
    ExcludeList list = {"in use"};
    FakeEditorView view;
    ExcludeListEditor editor{fs, messages, kPath, list, view};
};

TEST_F(Editor, LineFeedsBecomeCrLfEachLineIsAnEntryAndAnEmptySaveEmptiesTheList) {
    fs.AddFile(kPath, "a\n\n  b\r\nc\n");
    editor.Opened();
    editor.Activated();  // the window opens with Save disabled, however the text was cleaned
    EXPECT_EQ(view.text, "a\r\nb\r\nc\r\n");
    EXPECT_FALSE(view.save_enabled);
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_EQ(list, (ExcludeList{"a", "b", "c", ""}));  // a blank entry stays and never matches
    view.Type("");
    EXPECT_TRUE(view.save_enabled);
    ASSERT_TRUE(editor.SaveClicked());
    EXPECT_EQ(fs.ContentOf(kPath), "");
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(view.save_enabled);
}

TEST_F(Editor, FilesThatCannotBeReadOrWrittenAreReported) {
    fs.AddFile(kPath, "old");
    fs.FailOn(InMemoryFileSystem::Operation::kReadTextFile, kPath, testing::AccessDenied());
    fs.FailOn(InMemoryFileSystem::Operation::kWriteTextFile, kPath, testing::NoSpace());
    editor.Opened();
    editor.Activated();
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
