// One set of expectations for both file systems, so the in-memory one cannot drift from the
// real one; a pipe put in a file's place at the worst moment, which the real one must never
// open; and copies where files cannot be made without a name.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/syscall.h>

#include <climits>
#include <cstdarg>
#include <set>
#include <string_view>
#include <utility>

#include "tests/support/worlds.h"

namespace {

std::string pipe_to_swap_in;        // renamed over the file once, then cleared
bool refuse_unnamed_files = false;  // as a file system without O_TMPFILE does

}  // namespace

// Every call of this program reaches this openat, which renames a pipe over the file called
// "swapped.txt" just after the file is first reached by name (and just before, when that reach
// opens it to read).
extern "C" int openat(int folder, const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    if (refuse_unnamed_files && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const std::string_view name(path);
    const bool swap =
        !pipe_to_swap_in.empty() && (name == "swapped.txt" || name.ends_with("/swapped.txt"));
    if (swap && (flags & O_PATH) == 0)
        ::renameat(AT_FDCWD, std::exchange(pipe_to_swap_in, "").c_str(), folder, path);
    const int fd = static_cast<int>(::syscall(SYS_openat, folder, path, flags, mode));
    if (swap && (flags & O_PATH) != 0)
        ::renameat(AT_FDCWD, std::exchange(pipe_to_swap_in, "").c_str(), folder, path);
    return fd;
}

namespace tidemark {
namespace {

using Names = std::multiset<std::string>;  // sorted, and a name listed twice shows

// Stages and commits as a pass does; a copy that cannot be put in place is discarded.
Status CopyFile(FileSystemPort& fs, const FileEntry& source, const std::string& destination,
                bool overwrite) {
    Result<StagedCopy> staged = fs.StageCopyIn(nullptr, nullptr, source, destination);
    if (!staged)
        return staged.failure();
    Status committed = fs.CommitCopyIn(nullptr, *staged, overwrite);
    if (!committed)
        fs.DiscardCopy(*staged);
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
    // Each item as "list name kind attributes", with its path checked: folders in list 0,
    // everything else in list 1; kinds 0 file, 1 folder, 2 link, 3 special; attributes 2
    // hidden, 4 system.
    Names items;
    for (const auto* list : {&listing->sub_folders, &listing->files}) {
        for (const FileEntry& item : *list) {
            items.insert(std::to_string(list == &listing->files) + " " + item.name + " " +
                         std::to_string(static_cast<int>(item.kind)) + " " +
                         std::to_string(item.attributes));
            EXPECT_EQ(item.path, w.Path("top/" + item.name));
        }
    }
    EXPECT_EQ(items, (Names{"0 .hidden-folder 1 2", "0 sub 1 0", "1 .profile 0 2", "1 a.txt 0 0",
                            "1 pipe 3 4", "1 to-sub 2 0"}));

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

TEST(SwappedBeforeOpen, APipePutInAFilesPlaceAfterItWasReachedIsNeverOpenedAndTheFileIsCopied) {
    testing::PosixWorld w;
    w.File("src/swapped.txt", "what was listed");
    w.Folder("dst");
    w.Fifo("pipe");
    const Result<FolderListing> listing = w.fs().ListFolder(w.Path("src"));
    ASSERT_TRUE(listing.ok() && listing->files.size() == 1);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, w.Path("pipe").c_str(), IN_OPEN), 0);

    pipe_to_swap_in = w.Path("pipe");
    const Result<StagedCopy> staged =
        w.fs().StageCopyIn(nullptr, nullptr, listing->files[0], w.Path("dst/copy.txt"));
    EXPECT_TRUE(pipe_to_swap_in.empty()) << "the file was never reached by name";
    alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
    EXPECT_EQ(::read(watch, events, sizeof events), -1) << "the pipe was opened";
    ::close(watch);
    // What is read is the file that was examined, whatever its name leads to by then.
    ASSERT_TRUE(staged.ok()) << staged.failure().description;
    ASSERT_TRUE(w.fs().CommitCopyIn(nullptr, *staged, false).ok());
    EXPECT_EQ(w.Content("dst/copy.txt"), "what was listed");
}

// The copy is made under a hidden name, created owner-only, then renamed into place.
TEST(WithoutUnnamedFiles, ACopyMadeUnderAHiddenNameIsPutInPlaceWithTheSourcesBits) {
    testing::PosixWorld w;
    w.File("src/a.txt", "new");
    w.File("dst/a.txt", "old");
    ::chmod(w.Path("src/a.txt").c_str(), 0754);
    refuse_unnamed_files = true;
    const FileEntry source{w.Path("src/a.txt"), "a.txt", EntryKind::kFile, 0};
    for (const bool overwrite : {false, true}) {
        const std::string destination = overwrite ? "dst/a.txt" : "dst/b.txt";
        SCOPED_TRACE(destination);
        const Result<StagedCopy> staged =
            w.fs().StageCopyIn(nullptr, nullptr, source, w.Path(destination));
        ASSERT_TRUE(staged.ok()) << staged.failure().description;
        EXPECT_FALSE(staged->temporary_path.empty());
        ASSERT_TRUE(w.fs().CommitCopyIn(nullptr, *staged, overwrite).ok());
        EXPECT_EQ(w.Content(destination), "new");
        struct stat copied {};
        ASSERT_EQ(::stat(w.Path(destination).c_str(), &copied), 0);
        EXPECT_EQ(copied.st_mode & 07777, 0754u);
    }
    refuse_unnamed_files = false;
    EXPECT_EQ(w.LeftoverTemporaries("dst"), 0);
}

}  // namespace
}  // namespace tidemark
