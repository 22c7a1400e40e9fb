// One set of expectations for both file systems, so the in-memory one cannot drift from the
// real one.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/worlds.h"

namespace tidemark {
namespace {

using testing::MemoryWorld;
using testing::PosixWorld;

constexpr FileTime kTime = testing::kWorldTime;

template <typename World>
class FileSystemContract : public ::testing::Test {
  protected:
    World world;
};

using Worlds = ::testing::Types<PosixWorld, MemoryWorld>;
TYPED_TEST_SUITE(FileSystemContract, Worlds);

std::vector<std::string> Names(const std::vector<FileEntry>& entries) {
    std::vector<std::string> names;
    for (const FileEntry& entry : entries)
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

TYPED_TEST(FileSystemContract, ListsFoldersApartFromFilesLinksAndSpecials) {
    auto& w = this->world;
    w.Folder("top/sub");
    w.Folder("top/.hidden-folder");
    w.File("top/a.txt", "a");
    w.File("top/.profile", "p");
    w.Link("top/to-sub", "sub");
    w.Fifo("top/pipe");

    Result<FolderListing> listing = w.fs().ListFolder(w.Path("top"));
    ASSERT_TRUE(listing.ok());
    EXPECT_EQ(Names(listing->sub_folders), (std::vector<std::string>{".hidden-folder", "sub"}));
    EXPECT_EQ(Names(listing->files),
              (std::vector<std::string>{".profile", "a.txt", "pipe", "to-sub"}));
    for (const FileEntry& file : listing->files) {
        EXPECT_EQ(file.path, w.Path("top/" + file.name));
        EXPECT_EQ(file.IsHidden(), file.name.front() == '.') << file.name;
        EXPECT_EQ(file.IsSystem(), file.name == "pipe") << file.name;
        if (file.name == "to-sub") {
            EXPECT_EQ(file.kind, EntryKind::kSymlink);
        }
    }
}

TYPED_TEST(FileSystemContract, FilesFoldersAndMissingItemsAreToldApart) {
    auto& w = this->world;
    FileSystemPort& fs = w.fs();
    w.File("f.txt", "12345");
    w.Folder("d");
    auto file = fs.FindFile(w.Path("f.txt"));
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE(file->has_value());
    EXPECT_EQ((*file)->modified, kTime);
    EXPECT_EQ((*file)->size, 5u);
    EXPECT_FALSE(fs.FindFile(w.Path("d"))->has_value());
    EXPECT_FALSE(fs.FindFile(w.Path("missing"))->has_value());
    EXPECT_TRUE(fs.FolderExists(w.Path("d")));
    EXPECT_FALSE(fs.FolderExists(w.Path("f.txt")));
    EXPECT_FALSE(fs.FolderExists(w.Path("nothing")));
    EXPECT_FALSE(fs.ListFolder(w.Path("nothing")).ok());
    // Creating a folder makes exactly one level.
    EXPECT_TRUE(fs.CreateFolder(w.Path("one")).ok());
    EXPECT_TRUE(fs.FolderExists(w.Path("one")));
    EXPECT_FALSE(fs.CreateFolder(w.Path("one")).ok());
    EXPECT_FALSE(fs.CreateFolder(w.Path("two/three")).ok());
    EXPECT_FALSE(fs.FolderExists(w.Path("two")));
}

TYPED_TEST(FileSystemContract, CopiesAreExactAndReplaceOnlyWhenAskedLinksAsLinksSpecialsNot) {
    auto& w = this->world;
    FileSystemPort& fs = w.fs();
    const std::string data("data\0with nul", 13);
    w.File("src", data);
    w.File("dst", "old and longer");
    w.ReadOnly("dst");
    const FileEntry source{w.Path("src"), "src", EntryKind::kFile, 0};
    ASSERT_TRUE(fs.CopyFile(source, w.Path("copy"), false).ok());
    EXPECT_EQ(w.Content("copy"), data);
    EXPECT_EQ(w.Modified("copy"), kTime);
    // Without overwrite an existing file is refused; with it, a read-only one is replaced.
    EXPECT_FALSE(fs.CopyFile(source, w.Path("dst"), false).ok());
    EXPECT_EQ(w.Content("dst"), "old and longer");
    ASSERT_TRUE(fs.CheckDeletable(w.Path("dst")).ok());
    ASSERT_TRUE(fs.CopyFile(source, w.Path("dst"), true).ok());
    EXPECT_EQ(w.Content("dst"), data);
    // Into a missing folder: an other error, described.
    const Status copied = fs.CopyFile(source, w.Path("no/such/dst"), false);
    ASSERT_FALSE(copied.ok());
    EXPECT_FALSE(copied.failure().IsAccessDenied());
    EXPECT_FALSE(copied.failure().description.empty());
    EXPECT_EQ(w.LeftoverTemporaries(""), 0);

    w.Link("link", "../somewhere/else");
    w.Fifo("pipe");
    const FileEntry link{w.Path("link"), "link", EntryKind::kSymlink, 0};
    ASSERT_TRUE(fs.CopyFile(link, w.Path("link-copy"), false).ok());
    EXPECT_EQ(w.LinkTarget("link-copy"), "../somewhere/else");
    EXPECT_EQ(w.Modified("link-copy"), kTime);
    const FileEntry pipe{w.Path("pipe"), "pipe", EntryKind::kSpecial, kSystemAttribute};
    EXPECT_FALSE(fs.CopyFile(pipe, w.Path("pipe-copy"), false).ok());
    EXPECT_FALSE(w.Content("pipe-copy").has_value());
}

TYPED_TEST(FileSystemContract, NothingBelowAnAnchoredRootIsReachedThroughALink) {
    auto& w = this->world;
    w.File("src/sub/a.txt", "in the tree");
    w.File("outside/kept.txt", "outside");
    w.Folder("dst/inner");
    w.Link("dst/sub", "../outside");         // where the walk needs a folder
    w.Link("dst/alias", "inner");            // another name for a folder of the tree
    w.Link("src/to-outside", "../outside");  // a link listed in the source
    const auto anchor = w.fs().AnchorRoots({w.Path("src"), w.Path("dst")});
    FileSystemPort& fs = w.fs();
    const FileEntry file{w.Path("src/sub/a.txt"), "a.txt", EntryKind::kFile, 0};
    for (const char* link : {"dst/sub", "dst/alias", "src/to-outside"}) {
        SCOPED_TRACE(link);
        EXPECT_FALSE(fs.FolderExists(w.Path(link)));
        EXPECT_FALSE(fs.ListFolder(w.Path(link)).ok());
        EXPECT_FALSE(fs.CreateFolder(w.Path(link)).ok());
        EXPECT_FALSE(fs.FindFile(w.Path(std::string(link) + "/kept.txt"))->has_value());
        EXPECT_FALSE(fs.CopyFile(file, w.Path(std::string(link) + "/a.txt"), false).ok());
        EXPECT_FALSE(fs.CopyFile(file, w.Path(std::string(link) + "/kept.txt"), true).ok());
    }
    EXPECT_TRUE(fs.FolderExists(w.Path("dst/inner")));
    EXPECT_EQ(w.Content("outside/kept.txt"), "outside");
    EXPECT_FALSE(w.Content("outside/a.txt").has_value());
    EXPECT_FALSE(w.Content("dst/inner/a.txt").has_value());
    EXPECT_EQ(w.LeftoverTemporaries("dst"), 0);
}

TYPED_TEST(FileSystemContract, ResolveFolderGivesOneTextForEverySpelling) {
    auto& w = this->world;
    w.Folder("a/b");
    const auto plain = w.fs().ResolveFolder(w.Path("a"));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(w.fs().ResolveFolder(w.Path("a/")), plain);
    EXPECT_EQ(w.fs().ResolveFolder(w.Path("a/./b/..")), plain);
    EXPECT_FALSE(w.fs().ResolveFolder(w.Path("missing")).has_value());
}

TYPED_TEST(FileSystemContract, TextFilesReadBackWhatWasWritten) {
    auto& w = this->world;
    auto& text_files = dynamic_cast<TextFilePort&>(w.fs());
    w.Folder("conf");
    EXPECT_EQ(*text_files.ReadTextFile(w.Path("conf/missing.txt")), "");
    ASSERT_TRUE(text_files.WriteTextFile(w.Path("conf/a.txt"), "a much longer old text").ok());
    ASSERT_TRUE(text_files.WriteTextFile(w.Path("conf/a.txt"), "one\r\ntwo\r\n").ok());
    EXPECT_EQ(*text_files.ReadTextFile(w.Path("conf/a.txt")), "one\r\ntwo\r\n");
    EXPECT_FALSE(text_files.WriteTextFile(w.Path("nowhere/a.txt"), "x").ok());
    EXPECT_EQ(w.LeftoverTemporaries("conf"), 0);
}

}  // namespace
}  // namespace tidemark
