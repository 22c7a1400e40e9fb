// One set of expectations for both file systems, so the in-memory one cannot drift from the
// real one.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/worlds.h"

namespace tidemark {
namespace {

using Names = std::multiset<std::string>;  // sorted, and a name listed twice shows

// Stages and commits as a pass does; a copy that cannot be put in place is discarded.
Status CopyFile(FileSystemPort& fs, const FileEntry& source, const std::string& destination,
                bool overwrite) {
    Result<StagedCopy> staged = fs.StageCopyIn(nullptr, nullptr, source, destination);
    if (!staged) {
        return staged.failure();
    }
    Status committed = fs.CommitCopyIn(nullptr, *staged, overwrite);
    if (!committed) {
        fs.DiscardCopy(*staged);
    }
    return committed;
}

template <typename World>
class FileSystemContract : public ::testing::Test {
  protected:
    World w;
};

using Worlds = ::testing::Types<testing::PosixWorld, testing::MemoryWorld>;
TYPED_TEST_SUITE(FileSystemContract, Worlds);

TYPED_TEST(FileSystemContract, ListsAndTellsFilesFoldersLinksSpecialsAndMissingItemsApart) {
    auto& w = this->w;
    FileSystemPort& fs = w.fs();
    w.Folder("top/sub");
    w.Folder("top/.hidden-folder");
    w.File("top/a.txt", "12345");
    w.File("top/.profile", "p");
    w.Link("top/to-sub", "sub");
    w.Fifo("top/pipe");
    Result<FolderListing> listing = fs.ListFolder(w.Path("top"));
    ASSERT_TRUE(listing.ok());
    Names folders, files;
    for (const FileEntry& folder : listing->sub_folders)
        folders.insert(folder.name);
    for (const FileEntry& file : listing->files) {
        files.insert(file.name);
        EXPECT_EQ(file.path, w.Path("top/" + file.name));
        EXPECT_EQ(file.IsHidden(), file.name.front() == '.') << file.name;
        EXPECT_EQ(file.IsSystem(), file.name == "pipe") << file.name;
        EXPECT_EQ(file.kind == EntryKind::kSymlink, file.name == "to-sub") << file.name;
    }
    EXPECT_EQ(folders, (Names{".hidden-folder", "sub"}));
    EXPECT_EQ(files, (Names{".profile", "a.txt", "pipe", "to-sub"}));

    auto file = fs.FindFile(w.Path("top/a.txt"));
    ASSERT_TRUE(file.ok() && file->has_value());
    EXPECT_EQ((*file)->modified, testing::kWorldTime);
    EXPECT_EQ((*file)->size, 5u);
    EXPECT_FALSE(fs.FindFile(w.Path("top/sub"))->has_value());
    EXPECT_FALSE(fs.FindFile(w.Path("missing"))->has_value());
    EXPECT_TRUE(fs.FolderExists(w.Path("top/sub")));
    EXPECT_FALSE(fs.FolderExists(w.Path("top/a.txt")));
    EXPECT_FALSE(fs.FolderExists(w.Path("nothing")));
    EXPECT_FALSE(fs.ListFolder(w.Path("nothing")).ok());
    // Creating a folder makes exactly one level.
    EXPECT_TRUE(fs.CreateFolder(w.Path("one")).ok());
    EXPECT_TRUE(fs.FolderExists(w.Path("one")));
    EXPECT_FALSE(fs.CreateFolder(w.Path("one")).ok());
    EXPECT_FALSE(fs.CreateFolder(w.Path("two/three")).ok());
    EXPECT_FALSE(fs.FolderExists(w.Path("two")));
    // Every spelling of a folder resolves to one text.
    const auto plain = fs.ResolveFolder(w.Path("top"));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(fs.ResolveFolder(w.Path("top/")), plain);
    EXPECT_EQ(fs.ResolveFolder(w.Path("top/./sub/..")), plain);
    EXPECT_FALSE(fs.ResolveFolder(w.Path("missing")).has_value());
}

TYPED_TEST(FileSystemContract, CopiesAreExactAndReplaceOnlyWhenAskedLinksAsLinksSpecialsNot) {
    auto& w = this->w;
    FileSystemPort& fs = w.fs();
    const std::string data("data\0with nul", 13);
    w.File("src", data);
    w.File("dst", "old and longer");
    w.ReadOnly("dst");
    const FileEntry source{w.Path("src"), "src", EntryKind::kFile, 0};
    ASSERT_TRUE(CopyFile(fs, source, w.Path("copy"), false).ok());
    EXPECT_EQ(w.Content("copy"), data);
    EXPECT_EQ(w.Modified("copy"), testing::kWorldTime);
    // Without overwrite an existing file is refused; with it, a read-only one is replaced.
    EXPECT_FALSE(CopyFile(fs, source, w.Path("dst"), false).ok());
    EXPECT_EQ(w.Content("dst"), "old and longer");
    ASSERT_TRUE(fs.CheckDeletableIn(nullptr, w.Path("dst")).ok());
    ASSERT_TRUE(CopyFile(fs, source, w.Path("dst"), true).ok());
    EXPECT_EQ(w.Content("dst"), data);
    // Into a missing folder: an other error, described.
    const Status copied = CopyFile(fs, source, w.Path("no/such/dst"), false);
    ASSERT_FALSE(copied.ok());
    EXPECT_FALSE(copied.failure().IsAccessDenied());
    EXPECT_FALSE(copied.failure().description.empty());
    EXPECT_EQ(w.LeftoverTemporaries(""), 0);

    w.Link("link", "../somewhere/else");
    w.Fifo("pipe");
    ASSERT_TRUE(
        CopyFile(fs, {w.Path("link"), "link", EntryKind::kSymlink, 0}, w.Path("link-copy"), false)
            .ok());
    EXPECT_EQ(w.LinkTarget("link-copy"), "../somewhere/else");
    EXPECT_EQ(w.Modified("link-copy"), testing::kWorldTime);
    EXPECT_FALSE(CopyFile(fs, {w.Path("pipe"), "pipe", EntryKind::kSpecial, kSystemAttribute},
                          w.Path("pipe-copy"), false)
                     .ok());
    EXPECT_FALSE(w.Content("pipe-copy").has_value());
}

TYPED_TEST(FileSystemContract, NothingBelowAnAnchoredRootIsReachedThroughALink) {
    auto& w = this->w;
    w.File("src/sub/a.txt", "in the tree");
    w.File("outside/kept.txt", "outside");
    w.Folder("dst/inner");
    w.Link("dst/sub", "../outside");         // where the walk needs a folder
    w.Link("dst/alias", "inner");            // another name for a folder of the tree
    w.Link("src/to-outside", "../outside");  // a link listed in the source
    const auto anchor = w.fs().AnchorRoots({w.Path("src"), w.Path("dst")});
    FileSystemPort& fs = w.fs();
    const FileEntry file{w.Path("src/sub/a.txt"), "a.txt", EntryKind::kFile, 0};
    for (const std::string link : {"dst/sub", "dst/alias", "src/to-outside"}) {
        SCOPED_TRACE(link);
        EXPECT_FALSE(fs.FolderExists(w.Path(link)));
        EXPECT_FALSE(fs.ListFolder(w.Path(link)).ok());
        EXPECT_FALSE(fs.CreateFolder(w.Path(link)).ok());
        EXPECT_FALSE(fs.FindFile(w.Path(link + "/kept.txt"))->has_value());
        EXPECT_FALSE(CopyFile(fs, file, w.Path(link + "/a.txt"), false).ok());
        EXPECT_FALSE(CopyFile(fs, file, w.Path(link + "/kept.txt"), true).ok());
    }
    EXPECT_TRUE(fs.FolderExists(w.Path("dst/inner")));
    EXPECT_EQ(w.Content("outside/kept.txt"), "outside");
    EXPECT_FALSE(w.Exists("outside/a.txt"));
    EXPECT_FALSE(w.Exists("dst/inner/a.txt"));
    EXPECT_EQ(w.LeftoverTemporaries("dst"), 0);
}

// A text file that is there but cannot be opened (here a link that loops) must not pass for an
// empty one: whoever read it would then save defaults over it.
TYPED_TEST(FileSystemContract, TextFilesReadBackWhatWasWrittenAndOneThatCannotBeOpenedFails) {
    auto& w = this->w;
    auto& text_files = dynamic_cast<TextFilePort&>(w.fs());
    w.Folder("conf");
    EXPECT_EQ(*text_files.ReadTextFile(w.Path("conf/missing.txt")), "");
    ASSERT_TRUE(text_files.WriteTextFile(w.Path("conf/a.txt"), "a much longer old text").ok());
    ASSERT_TRUE(text_files.WriteTextFile(w.Path("conf/a.txt"), "one\r\ntwo\r\n").ok());
    EXPECT_EQ(*text_files.ReadTextFile(w.Path("conf/a.txt")), "one\r\ntwo\r\n");
    EXPECT_FALSE(text_files.WriteTextFile(w.Path("nowhere/a.txt"), "x").ok());
    EXPECT_EQ(w.LeftoverTemporaries("conf"), 0);
    w.Link("conf/loop.txt", "loop.txt");
    w.Fail(testing::InMemoryFileSystem::Operation::kReadTextFile, "conf/loop.txt",
           testing::AccessDenied());
    EXPECT_FALSE(text_files.ReadTextFile(w.Path("conf/loop.txt")).ok());
}

}  // namespace
}  // namespace tidemark
