// A pipe put in a file's place at the worst moment is never opened: the openat below, which
// every call of this program reaches, renames a pipe over the file called "swapped.txt" just
// after the file is first reached by name (and just before, when that reach opens it to read).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>
#include <string>
#include <string_view>
#include <utility>

#include "tests/support/worlds.h"

namespace {

std::string pipe_to_swap_in;  // renamed over the file once, then cleared

}  // namespace

extern "C" int openat(int folder, const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
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

}  // namespace
}  // namespace tidemark
