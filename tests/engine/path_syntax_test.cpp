#include "engine/path_syntax.h"

#include <gtest/gtest.h>

#include "engine/pass.h"

namespace tidemark {
namespace {

TEST(PathSyntax, SlashesCollapseAndTheSourceRootMakesWayForTheDestinationRoot) {
    const PathSyntax windows = PathSyntax::Windows();
    const PathSyntax posix = PathSyntax::Posix();
    EXPECT_EQ(FixBackslash("C:/a//b\\\\\\c/", windows), "C:\\a\\b\\c\\");
    EXPECT_EQ(FixBackslash("\\\\server\\share", windows), "\\server\\share");
    EXPECT_EQ(FixBackslash("//home//me///x/", posix), "/home/me/x/");
    EXPECT_EQ(FixBackslash("/a\\\\b", posix), "/a\\\\b");
    struct Case {
        const char *path, *source, *destination;
        const PathSyntax& syntax;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Data\\Photos\\2019", "C:\\Data", "E:\\Copy", windows, "E:\\Copy\\Photos\\2019"},
        {"c:\\data\\x.txt", "C:\\Data\\", "E:\\Copy\\", windows, "E:\\Copy\\x.txt"},
        {"C:\\DATA", "C:\\Data", "E:\\Copy", windows, "E:\\Copy\\"},
        {"C:\\Dat", "C:\\Data", "E:\\Copy", windows, "E:\\Copy\\C:\\Dat"},  // too short
        {"/s/a/s/b", "/s", "/d", posix, "/d/a/s/b"},
        {"/S/a", "/s", "/d", posix, "/d/S/a"},  // another case is another folder
        {"/s/a", "/s/", "/d/", posix, "/d/a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DestinationPathOf(c.path, c.source, c.destination, c.syntax), c.expected);
}

TEST(UpperCase, FoldsLatinGreekAndCyrillicAndKeepsInvalidBytes) {
    EXPECT_EQ(UpperCase("temp"), "TEMP");
    EXPECT_EQ(UpperCase("größe.txt"), "GRÖßE.TXT");  // sharp s has no single upper case
    EXPECT_EQ(UpperCase("éèà ÿ"), "ÉÈÀ Ÿ");
    EXPECT_EQ(UpperCase("łódź"), "ŁÓDŹ");
    EXPECT_EQ(UpperCase("αβγ σς"), "ΑΒΓ ΣΣ");
    EXPECT_EQ(UpperCase("файл"), "ФАЙЛ");
    EXPECT_EQ(UpperCase("a\xff\xc3z"), "A\xff\xc3Z");
    // The ends of each range, the letters beside them, and three-byte characters kept whole.
    EXPECT_EQ(UpperCase("àþ÷ āķĸĺňŉŋŷźžſ"), "ÀÞ÷ ĀĶĸĹŇŉŊŶŹŽſ");
    EXPECT_EQ(UpperCase("αω аяѐџ ѠӀ"), "ΑΩ АЯЀЏ ѠӀ");
    EXPECT_EQ(UpperCase("x€ḁ日z"), "X€ḁ日Z");
}

TEST(NamesFoldTogether, OnlyNamesThatAreOneInUpperCase) {
    auto fold = [](std::vector<std::string> names) {
        std::vector<FileEntry> entries;
        for (std::string& name : names)
            entries.push_back(FileEntry{"/src/" + name, std::move(name)});
        return NamesFoldTogether(entries);
    };
    EXPECT_TRUE(fold({"x", "a.txt", "A.TXT"}));
    EXPECT_TRUE(fold({"z", "Z"}));
    EXPECT_TRUE(fold({"éte", "ÉTE"}));
    EXPECT_FALSE(fold({"`", "@", "{", "[", "a", "b", "éte", "ete"}));
}

}  // namespace
}  // namespace tidemark
