// Whole passes on real temporary folders, over plain and hostile trees. Each pass runs in a
// child process with a time limit; afterwards every item of the destination is compared, byte
// for byte and with its time and permission bits, with the version it is due to hold: the
// source's, or its own previous one where a replace was refused or failed. And passes onto
// foreign file systems where the machine can mount them.
#include <grp.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <thread>

#include "engine/file_preparation.h"
#include "engine/run_controller.h"
#include "platform/creation_mode.h"
#include "platform/file_copy.h"
#include "platform/posix_file_system.h"
#include "platform/process_setup.h"
#include "tests/apparatus/tree_snapshot.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

using Lines = std::vector<std::string>;

// Big trees are cut down where the tests run under a sanitizer.
const bool kSmallScale = SmallScale();

constexpr long long kOld = 1'000'000'000'111'111'111;
constexpr long long kNew = 1'100'000'000'222'222'222;

/// The tally of this program, printed as its row of the loss table when it ends.
ReportedLossTally tally{{"hostile trees, real folders"}};

struct Limits {
    std::chrono::seconds time{120};
    /// When the tests run as root, this tree is handed to an ordinary user, who runs the case,
    /// so that permission bits hold.
    std::string unprivileged_tree = {};
    rlim_t file_size = RLIM_INFINITY;  ///< the largest file the case may write (ulimit -f)
    rlim_t open_files = RLIM_INFINITY;
};

/// Runs `body` in a child process within the limits and answers the lines it answered. Counts
/// the case in the tally, and fails the test for a child that is still running at the time
/// limit (a hang) or that ends otherwise than with its answer (a crash).
Lines RunGuarded(const std::function<Lines()>& body, const Limits& limits = {}) {
    constexpr uid_t kNobody = 65534;
    const bool unprivileged = !limits.unprivileged_tree.empty() && ::geteuid() == 0;
    if (unprivileged)
        (void)std::system(("chown -hR 65534:65534 '" + limits.unprivileged_tree + "'").c_str());
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        // The alarm's default action ends the child, however stuck it is.
        ::alarm(static_cast<unsigned>(limits.time.count()));
        PrepareProcess();  // as the program's main() does
        const auto limit = [](int resource, rlim_t most) {
            const rlimit both = {most, most};  // the hard limit too, so that nothing raises it
            return most == RLIM_INFINITY || ::setrlimit(resource, &both) == 0;
        };
        if ((unprivileged &&
             (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ||
            !limit(RLIMIT_FSIZE, limits.file_size) || !limit(RLIMIT_NOFILE, limits.open_files))
            ::_exit(90);
        // The answer travels as NUL-terminated lines; the exit status says whether it is whole.
        // A case that throws ends here too, rather than going on with the tests in the child.
        std::string bytes;
        try {
            for (const std::string& line : body())
                bytes += line + '\0';
        } catch (...) {
            ::_exit(92);
        }
        std::FILE* pipe = ::fdopen(out[1], "w");
        const bool sent = std::fwrite(bytes.data(), 1, bytes.size(), pipe) == bytes.size();
        ::_exit(sent && std::fclose(pipe) == 0 ? 0 : 91);
    }
    ::close(out[1]);
    Lines lines;
    std::FILE* in = ::fdopen(out[0], "r");
    char* line = nullptr;
    std::size_t capacity = 0;
    for (ssize_t n; (n = ::getdelim(&line, &capacity, '\0', in)) > 0;)
        lines.emplace_back(line, static_cast<std::size_t>(n - 1));
    std::free(line);
    std::fclose(in);
    int status = 0;
    ::waitpid(child, &status, 0);
    const bool hung = WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM;
    ++tally.cases;
    tally.hangs += hung ? 1 : 0;
    tally.crashes += status != 0 && !hung ? 1 : 0;
    EXPECT_EQ(status, 0) << (hung ? "no answer in time" : "the case crashed");
    return lines;
}

/// Makes items below `root` with the time `modified`: "path=content" is a file, "path->target"
/// a link.
void Make(const std::string& root, long long modified, const Lines& items) {
    for (const std::string& item : items) {
        const std::size_t arrow = item.find("->");
        const std::string path = root + "/" + item.substr(0, std::min(arrow, item.find('=')));
        if (arrow == std::string::npos) {
            WriteFile(path, item.substr(item.find('=') + 1));
        } else {
            MakeFolders(std::filesystem::path(path).parent_path());
            std::filesystem::create_symlink(item.substr(arrow + 2), path);
        }
        SetModified(path, modified);
    }
}

/// One pass with a fresh file system and view; answers its lines. With an executor, replaced
/// files are let go of on its threads, as in the program.
Lines RunPass(const SyncSettings& settings, RunConcurrency concurrency = {},
              FileTime settle_time = PosixFileSystem::kSettleTime,
              const std::function<void(const ResultLine&)>& on_line = {}) {
    PosixFileSystem fs(settle_time, concurrency.executor);
    TestRun run(fs, {}, concurrency);
    run.view.on_line = on_line;
    return run.Synchronize(settings);
}

/// Gives `folder` a default access list that lets only the owner in: what is made in it gets
/// no bits for the group and others unless they are set afterwards. False where the file
/// system keeps no access lists.
bool GiveOwnerOnlyDefaultAcl(const std::string& folder) {
    struct Entry {
        std::uint16_t tag, permissions;
        std::uint32_t id;
    };
    constexpr std::uint32_t kAnyone = ~0u;
    const struct {
        std::uint32_t version = 2;
        Entry entries[3] = {{0x01, 7, kAnyone}, {0x04, 0, kAnyone}, {0x20, 0, kAnyone}};
    } acl;
    return ::setxattr(folder.c_str(), "system.posix_acl_default", &acl, sizeof acl, 0) == 0;
}

/// What a destination item must hold where a case knows better than the style.
enum class Due { kPrevious, kAbsent, kFolder };

class RealFolderTest : public ::testing::Test {
  protected:
    RealFolderTest() {
        MakeFolders(source);
        MakeFolders(destination);
        settings = Between(source, destination);
        settings.ignore_hidden = settings.ignore_system = CheckState::kUnchecked;
    }

    /// Runs one pass in a child and compares the destination with what is due: each file and
    /// link of the source as the style leaves it (the source's version where it copies, the
    /// previous one where it keeps), no specials, every other item as it was; `due` overrides
    /// this by relative path. The source must come out unchanged unless `source_changes`.
    void Pass(const std::map<std::string, Due>& due = {}, const Limits& limits = {}) {
        const TreeSnapshot source_before = SnapshotTree(source);
        const TreeSnapshot previous = SnapshotTree(destination);
        lines = RunGuarded([&] { return RunPass(settings, concurrency, settle_time, on_line); },
                           limits);
        const TreeSnapshot source_after = SnapshotTree(source);
        EXPECT_TRUE(source_changes || source_after == source_before) << "the source changed";
        static const ItemState kFolder{.kind = ItemState::Kind::kFolder};
        const auto due_item = [&](const std::string& path, const ItemState* from_source,
                                  const ItemState* before) -> const ItemState* {
            if (const auto listed = due.find(path); listed != due.end()) {
                return listed->second == Due::kPrevious ? before
                       : listed->second == Due::kFolder ? &kFolder
                                                        : nullptr;
            }
            using Kind = ItemState::Kind;
            const bool keeps = from_source == nullptr || from_source->kind == Kind::kSpecial ||
                               (before != nullptr && from_source->kind != Kind::kFolder &&
                                (before->kind == Kind::kFolder ||
                                 ActionFor(true, settings.EffectiveStyle(), from_source->modified,
                                           before->modified, 1) == FileAction::kKeep));
            return keeps ? before : from_source;
        };
        for (const std::string& problem : CheckDestination(
                 source_after, previous, SnapshotTree(destination), due_item, false, tally))
            ADD_FAILURE() << problem;
    }

    /// Fails the test for each of the lines the last pass did not write.
    void ExpectLines(const Lines& wanted) const {
        for (const std::string& line : wanted)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    /// The line of a file that the pass could not copy, by its path below the destination.
    std::string NotProcessed(const std::string& relative, const std::string& why) const {
        return "File " + destination + "/" + relative + " could not be processed.  " + why;
    }

    TemporaryFolder folder;
    std::string source = folder / "src";
    std::string destination = folder / "dst";
    SyncSettings settings;
    /// Runs in the child at every results line: lets a case change the tree mid-pass.
    std::function<void(const ResultLine&)> on_line;
    bool source_changes = false;
    RunConcurrency concurrency;
    /// How long a folder must have been still for the pass to take the count's listing of it.
    FileTime settle_time = PosixFileSystem::kSettleTime;
    Lines lines;
};

TEST_F(RealFolderTest, ContentTimesModesAwkwardNamesHolesAndDeepPathsAreCopiedAndReplacedExactly) {
    const Lines names = {"new\nline", "back\\slash", "  spaced  ", "bad\xff\xfeutf8",
                         "\xc3\x28",  "tab\there",   "cr\rhere",   "...",
                         "-rf",       "*?<>|:\"",    ".profile",   std::string(255, 'n')};
    for (std::size_t i = 0; i < names.size(); ++i) {
        Make(source, kNew + i, {names[i] + "=content " + std::to_string(i)});
        Make(source, kOld, {"dir " + std::to_string(i) + "/" + names[i] + "/" + names[i] + "=in"});
    }
    Make(source, kNew,
         {"empty=", "data.bin=" + std::string(300'000, 'x'), "shared.txt=s", "acl/private.txt=p",
          "acl/second.txt=q"});
    Make(destination, kOld, {"empty=not empty before"});
    // Permission bits that the umask or a folder's default access list would take away.
    const mode_t umask_before = ::umask(022);
    ::chmod((source + "/data.bin").c_str(), 0640);
    ::chmod((source + "/shared.txt").c_str(), 0666);
    MakeFolders(destination + "/acl");
    if (!GiveOwnerOnlyDefaultAcl(destination + "/acl"))
        std::printf("No access lists here: the folder that passes one on is not tried\n");
    // Sparse files: data at both ends, a hole at the end, nothing but a hole.
    const off_t size = kSmallScale ? off_t{256} << 20 : off_t{2} << 30;
    const std::pair<const char*, std::vector<off_t>> sparse[] = {
        {"disk.img", {0, size / 2 + 12345, size - 100}}, {"tail-hole.img", {0}}, {"holes", {}}};
    for (const auto& [name, islands] : sparse) {
        const int fd = ::open((source + "/" + name).c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        for (const off_t at : islands)
            ASSERT_EQ(::pwrite(fd, name, 6, at), 6);
        ::close(fd);
        SetModified(source + "/" + name, kNew);
    }
    // 600 levels of 8-byte names: 5,400 bytes below the roots, with a file every 150 levels;
    // made from inside, one level at a time, as no path to them may be given whole.
    const std::filesystem::path start = std::filesystem::current_path();
    std::filesystem::current_path(source);
    std::string deep;
    for (int depth = 1; depth <= 600; ++depth, deep += "/deep-dir") {
        std::filesystem::create_directory("deep-dir");
        std::filesystem::current_path("deep-dir");
        if (depth % 150 == 0)
            WriteFile("file.txt", "deep");
    }
    std::filesystem::current_path(start);
    Pass();
    for (const std::string& name : names)
        ExpectLines({"Creating file " + destination + "/" + name});
    ExpectLines({"Creating file " + destination + deep + "/file.txt",
                 " --> Total folders created: " + std::to_string(600 + 2 * names.size())});
    // Replacing goes through a temporary name beside names of every kind.
    settings.style = SyncStyle::kBackup;
    Pass();
    ExpectLines({" --> Total files updated: " + std::to_string(2 * names.size() + 8 + 4)});
    const TreeSnapshot copied = SnapshotTree(destination);
    for (const auto& [name, islands] : sparse)
        EXPECT_LT(copied.at(name).allocated, std::uint64_t{4} << 20) << name << " was filled in";
    ::umask(umask_before);
}

// A copy's bits are set again after it is made unless its folder is known to keep them as
// given: a folder with a default access list, or on a file system that maps bits, is not.
TEST(CreationModeTest, TheUmaskAndFoldersThatKeepTheBitsGivenAreToldApart) {
    const mode_t umask_before = ::umask(027);
    EXPECT_EQ(ProcessUmask(), mode_t{027});
    ::umask(umask_before);
    std::string shared = "/dev/shm/tidemark-test-XXXXXX";  // tmpfs, which keeps them
    if (::mkdtemp(shared.data()) == nullptr)
        GTEST_SKIP() << "no /dev/shm here";
    MakeFolders(shared + "/acl");
    const bool acl = GiveOwnerOnlyDefaultAcl(shared + "/acl");
    for (const auto& [path, keeps] :
         {std::pair{shared, true}, {shared + "/acl", !acl}, {std::string("/proc/self"), false}}) {
        const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        EXPECT_EQ(FolderKeepsGivenBits(fd), keeps) << path;
        ::close(fd);
    }
    RemoveTree(shared);
}

// What the file was when it was looked at, against what it is once copied: a file rewritten
// with the same length within the same second differs only in the nanoseconds of its times.
TEST(FileCopyTest, AFileThatIsNotAsItWasLookedAtIsNotTakenAsCopied) {
    const TemporaryFolder folder;
    WriteFile(folder / "in.txt", "twelve bytes");
    const int in = ::open((folder / "in.txt").c_str(), O_RDONLY | O_CLOEXEC);
    struct stat now {};
    ASSERT_EQ(::fstat(in, &now), 0);
    struct Look {
        const char* how;
        bool changed;
        void (*make)(struct stat&);
    };
    static constexpr auto kMoved = [](struct timespec& time) {
        time.tv_nsec = (time.tv_nsec + 1) % 1'000'000'000;
    };
    for (const Look& look : {
             Look{"as it is", false, [](struct stat&) {}},
             Look{"modified within the second", true,
                  [](struct stat& was) { kMoved(was.st_mtim); }},
             Look{"changed within the second", true, [](struct stat& was) { kMoved(was.st_ctim); }},
             Look{"another file", true, [](struct stat& was) { ++was.st_ino; }},
             Look{"a byte longer", true, [](struct stat& was) { ++was.st_size; }},
             Look{"a byte shorter", true, [](struct stat& was) { --was.st_size; }},
         }) {
        struct stat was = now;
        look.make(was);
        const int out = ::open(folder.path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(out, 0);
        const Status copied = CopyRegularFileInto(in, was, out, /*has_bits=*/false);
        EXPECT_EQ(copied ? "" : copied.failure().description,
                  look.changed ? SourceChanged().description : "")
            << look.how;
        ::close(out);
    }
    ::close(in);
}

// Labelled slow: a developer's quick run leaves it out.
TEST_F(RealFolderTest, AHundredThousandFilesInOneFolder) {
    const int files = kSmallScale ? 5'000 : 100'000;
    for (int i = 0; i < files; ++i)
        WriteFile(source + "/f" + std::to_string(1'000'000 + i), std::string(i % 97, 'a'));
    Pass({}, {.time = std::chrono::seconds(600)});
    ExpectLines({" --> Total files copied: " + std::to_string(files)});
    settings.style = SyncStyle::kNormal;
    Pass({}, {.time = std::chrono::seconds(600)});
    ExpectLines({" --> Total files already existed: " + std::to_string(files)});
}

// Items that change after the count, and pipes and links put in place of files and folders
// after the listing, which are never opened or followed.
TEST_F(RealFolderTest, ItemsThatChangeAfterTheCountOrTurnIntoPipesOrLinksAfterTheListing) {
    Make(folder.path(), kNew, {"secret/secret.txt=private"});
    Make(
        source, kNew,
        {"still/kept.txt=k", "gone/inside.txt=i", "late/one.txt=1", "zzz/mine.txt=mine",
         "vanishes.txt=v", "vanishes-with-copy.txt=v", "becomes-pipe.txt=v", "becomes-folder.txt=v",
         "grows.txt=" + std::string(1000, 'g'), "shrinks.txt=" + std::string(100'000, 's')});
    Make(destination, kOld, {"vanishes-with-copy.txt=older copy"});
    const std::string pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, pipe.c_str(), IN_OPEN), 0);
    settings.style = SyncStyle::kNormal;
    source_changes = true;
    // Changes in the middle of the walk meet the item in its turn only when nothing is
    // prepared ahead; with the look-ahead, a file copied before it changed keeps that copy.
    concurrency.workers = 0;
    // The count's listings of folders still since the tree was made are kept for the pass,
    // which must notice the folders that changed after the count.
    settle_time = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    on_line = [src = source, dst = destination, pipe](const ResultLine& line) {
        // After the count, before the walk lists the source root.
        if (line.text.starts_with("Sychronization of ")) {
            WriteFile(src + "/grows.txt", std::string(70'000, 'G'));
            ::truncate((src + "/shrinks.txt").c_str(), 10);
            ::unlink((src + "/becomes-folder.txt").c_str());
            for (const char* name : {"becomes-folder.txt/x", "appears.txt", "late/two.txt"})
                WriteFile(src + "/" + name, "new");
        }
        // After the root was listed, before its files' turn.
        if (line.text == "Creating Folder " + dst + "/gone") {
            RemoveTree(src + "/gone");
            for (const char* name : {"vanishes.txt", "vanishes-with-copy.txt"})
                ::unlink((src + "/" + name).c_str());
            ::rename(pipe.c_str(), (src + "/becomes-pipe.txt").c_str());
        }
        // Before the walk goes into it, the folder becomes a link to a folder outside.
        if (line.text == "Creating Folder " + dst + "/zzz") {
            ::rename((src + "/zzz").c_str(), (src + "/moved").c_str());
            (void)::symlink("../secret", (src + "/zzz").c_str());
        }
    };
    Pass({{"gone", Due::kFolder},
          {"zzz", Due::kFolder},
          {"moved", Due::kAbsent},
          {"moved/mine.txt", Due::kAbsent}});
    ExpectLines({"Sychronization of 10 files started at @1600000000!",
                 NotProcessed("vanishes.txt", "No such file or directory"),
                 NotProcessed("vanishes-with-copy.txt", "No such file or directory"),
                 NotProcessed("becomes-pipe.txt", "Operation not supported"),
                 "Files could not be retrieved from " + source + "/gone. No such file or directory",
                 "Creating file " + destination + "/late/two.txt",
                 " --> Total files processed during synchronization: 10"});
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& text) {
        return text.starts_with("Files could not be retrieved from " + source + "/zzz. ");
    }));
    char event[4096];
    EXPECT_LT(::read(watch, event, sizeof event), 0) << "the pipe was opened";
    ::close(watch);
}

// As an ordinary user, so that permission bits hold, and with a limit on the size of a file.
TEST_F(RealFolderTest, FailuresAreCountedByKindAndKeepThePreviousVersions) {
    Make(source, kNew,
         {"locked/secret.txt=s", "unreadable.txt=new secret", "unsearchable/c.txt=c",
          "read-only.txt=new", "frozen/kept.txt=new", "large.bin=" + std::string(3 << 20, 'L')});
    Make(destination, kOld,
         {"unreadable.txt=old secret", "read-only.txt=old", "frozen/kept.txt=old",
          "large.bin=" + std::string(2 << 20, 'o')});
    for (const auto& [path, mode] : {std::pair{source + "/locked", 0000},
                                     {source + "/unreadable.txt", 0000},
                                     {source + "/unsearchable", 0644},
                                     {destination + "/read-only.txt", 0444},
                                     {destination + "/frozen", 0555}})
        ::chmod(path.c_str(), static_cast<mode_t>(mode));
    settings.style = SyncStyle::kBackup;
    Pass({{"locked/secret.txt", Due::kAbsent},
          {"unreadable.txt", Due::kPrevious},
          {"unsearchable/c.txt", Due::kAbsent},
          {"frozen/kept.txt", Due::kPrevious},
          {"large.bin", Due::kPrevious}},
         {.unprivileged_tree = folder.path(), .file_size = 1 << 20});
    ExpectLines({"Object " + source + "/locked could not be processed.  Permission denied",
                 "Files could not be retrieved from " + source + "/locked. Permission denied",
                 NotProcessed("unreadable.txt", "Permission denied"),
                 NotProcessed("unsearchable/c.txt", "Permission denied"),
                 NotProcessed("frozen/kept.txt", "Permission denied"),
                 NotProcessed("large.bin", "File too large"), " --> Total files updated: 1",
                 " --> Total files/folders could not be processed due to permission error: 4",
                 " --> Total files could not be processed due to other errors: 1"});
    // Folders are compared by kind; the one the pass could not write to keeps its bits too.
    EXPECT_EQ(SnapshotTree(destination).at("frozen").mode, 0555u);
}

TEST_F(RealFolderTest, LinksAreCopiedAsLinksAndNothingIsReadWrittenOrOpenedThroughOneOrASpecial) {
    const std::string outside = folder / "outside";
    Make(outside, kOld, {"private/diary.txt=dear diary"});
    Make(source, kNew,
         {"sub/file.txt=in the tree", "loop-a->loop-b", "loop-b->loop-a", "self->self",
          "parent->..", "root->/", "outside->" + outside, "dangling->/no/such",
          "outside-file->" + outside + "/private/diary.txt", "relative->sub/file.txt",
          "alias/a.txt=a", "into-outside/a.txt=a"});
    ASSERT_EQ(::mkfifo((source + "/sub/.hidden-pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mknod((source + "/socket").c_str(), S_IFSOCK | 0600, 0), 0);
    // A previous link in the destination pointing elsewhere is replaced by Backup; links where
    // the walk needs a folder are not folders, and nothing is written through them.
    MakeFolders(destination + "/other");
    Make(destination, kOld, {"relative->elsewhere", "alias->other", "into-outside->../outside"});
    const std::map<std::string, Due> through_links = {{"alias", Due::kPrevious},
                                                      {"alias/a.txt", Due::kAbsent},
                                                      {"into-outside", Due::kPrevious},
                                                      {"into-outside/a.txt", Due::kAbsent}};
    Pass(through_links);
    ExpectLines({"Sychronization of 14 files started at @1600000000!",
                 "Folder " + destination + "/alias could not be processed.  File exists",
                 NotProcessed("socket", "Operation not supported"),
                 " --> Total files could not be processed due to other errors: 4"});
    settings.style = SyncStyle::kBackup;
    settings.ignore_system = settings.log_ignored = CheckState::kChecked;
    Pass(through_links);
    ExpectLines({" --> Total files updated: 10", "Ignoring system file " + source + "/socket",
                 " --> Total system files ignored: 2"});
    // The destination's checks cover `other`; what lies outside must be untouched too.
    EXPECT_EQ(TreeOf(outside).size(), 2u);
    EXPECT_EQ(TreeOf(outside)["/private/diary.txt"], "dear diary@" + std::to_string(kOld));
}

TEST_F(RealFolderTest, OnlyARealPassRemovesWhatDeadCopiesOfThisMachineLeftWhereItWrites) {
    const std::string boot = TemporaryName::BootId();
    ASSERT_FALSE(boot.empty());
    const std::string dead = ".tidemark-" + boot + "-7ffffffe-2a.tmp";  // no such process
    char live[96];
    std::snprintf(live, sizeof live, ".tidemark-%s-%x-1.tmp", boot.c_str(),
                  static_cast<unsigned>(::getpid()));
    const std::string elsewhere = ".tidemark-0123456789abcdef0123456789abcdef-7ffffffe-1.tmp";
    // In a source, such a name is a user's file like any other: counted and copied.
    Make(source, kNew, {"user/" + dead + "=a user's file", "real.txt=new"});
    // Whoever puts the first copy in the folder removes them: a worker ahead of the walk, or
    // the walk itself. The walk waits at the folder it makes, so that the workers have looked
    // at the top folder's file (and, in a real pass, staged its copy) before the walk reaches it.
    const auto wait_at_new_folder = [](const ResultLine& line) {
        if (line.text.starts_with("Creating Folder"))
            ::usleep(50'000);
    };
    for (const int workers : {RunConcurrency{}.workers, 0}) {
        SCOPED_TRACE(workers);
        std::filesystem::remove(destination + "/real.txt");
        Make(destination, kOld,
             {dead + "=left by a copy", live + std::string("=left by a copy"),
              elsewhere + "=left by a copy"});
        settings.preview_only = CheckState::kChecked;
        EXPECT_EQ(RunPass(settings, {.workers = workers}, PosixFileSystem::kSettleTime,
                          wait_at_new_folder)[2],
                  "Sychronization of 2 files started at @1600000000!");
        EXPECT_EQ(ReadFile(destination + "/" + dead), "left by a copy");  // a preview keeps it
        settings.preview_only = CheckState::kUnchecked;
        RunPass(settings, {.workers = workers}, PosixFileSystem::kSettleTime, wait_at_new_folder);
        EXPECT_EQ(ReadFile(destination + "/user/" + dead), "a user's file");
        // Only the dead process's file of this machine goes, once the pass writes to its folder.
        EXPECT_FALSE(std::filesystem::exists(destination + "/" + dead));
        EXPECT_EQ(ReadFile(destination + "/" + live), "left by a copy");
        EXPECT_EQ(ReadFile(destination + "/" + elsewhere), "left by a copy");
    }
}

TEST_F(RealFolderTest, FilesPreparedAheadStayWithinATightDescriptorLimit) {
    // Many small files in many small folders: the most the look-ahead could hold open.
    for (int i = 0; i < 150 * 12; ++i)
        WriteFile(source + "/d" + std::to_string(i / 12) + "/f" + std::to_string(i % 12), "x");
    on_line = [](const ResultLine&) { ::usleep(300); };  // the workers run as far ahead as they may
    Pass({}, {.open_files = 512});
    ExpectLines({" --> Total files copied: 1800"});
}

TEST_F(RealFolderTest, TheSourceUnderAnotherSpellingOrInsideItselfIsNeverWalkedAsADestination) {
    WriteFile(source + "/a", "a");
    ASSERT_EQ(::symlink(source.c_str(), (folder / "alias").c_str()), 0);
    settings.style = SyncStyle::kBackup;
    for (const std::string& other :
         {source + "/", source + "/.", folder / "alias", folder / "dst/../src"}) {
        settings.destination_path = other;
        EXPECT_EQ(RunPass(settings), Lines{}) << other;
    }
    EXPECT_EQ(TreeOf(source).size(), 1u);
    settings.destination_path = folder / "SRC";  // another case is another folder
    EXPECT_EQ(RunPass(settings).back(), "Done!");
    EXPECT_EQ(ReadFile(folder / "SRC/a"), "a");

    // Inside the source by its path, with the reverse pass too.
    settings.style = SyncStyle::kSafeMode;
    MakeFolders(source + "/mirror");
    settings.destination_path = source + "/mirror";
    settings.reverse_sync = CheckState::kChecked;
    RunPass(settings);
    EXPECT_EQ(ReadFile(source + "/mirror/a"), "a");
    EXPECT_FALSE(std::filesystem::exists(source + "/mirror/mirror"));
    RemoveTree(source + "/mirror");
    // Inside it under another name: mounted there.
    MakeFolders(source + "/inner");
    if (::mount(destination.c_str(), (source + "/inner").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "no bind mount here: " << std::strerror(errno);
    RunWhenThisProcessEnds("umount -l " + source + "/inner; rm -rf " + folder.path());
    const std::shared_ptr<void> unmount(
        nullptr, [&](void*) { ::umount2((source + "/inner").c_str(), MNT_DETACH); });
    settings.destination_path = destination;
    settings.reverse_sync = CheckState::kUnchecked;
    for (int pass = 0; pass < 2; ++pass) {
        const Lines texts = RunPass(settings);
        EXPECT_EQ(texts[1], "Sychronization of 1 files started at @1600000000!");
        EXPECT_EQ(WalkLines(texts),
                  pass == 0 ? Lines{"Creating file " + destination + "/a"} : Lines{});
    }
    EXPECT_FALSE(std::filesystem::exists(destination + "/inner"));
}

using ChangingSourceTest = RealFolderTest;  // labelled slow: it needs a quiet machine

TEST_F(ChangingSourceTest, ACopyIsThePreviousFileOrAWholeVersionTheSourceHad) {
    // Versions of different lengths and fillings, none a whole number of pages: a copy that
    // mixes two of them, or stops short, holds none of them. Each is below 2 MiB, so that the
    // kernel puts it in the page cache in one piece: a write held up between pieces would leave
    // a still, shorter file, which is a version the file had but not one the writer meant.
    constexpr int kVersions = 40;
    std::vector<std::string> contents;
    std::set<std::string> versions = {""};
    for (int k = 0; k <= kVersions; ++k) {  // the last is the destination's previous file
        contents.emplace_back((1 << 20) + 4096 * k + 1 + k % 7, static_cast<char>('0' + k));
        versions.insert(contents.back());
    }
    WriteFile(source + "/big.bin", contents[0]);
    // The writer truncates the file and writes a whole new version in one call, again and
    // again; given the processor first where the system allows it, it is never stopped
    // half-way for long.
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        const sched_param first{1};
        (void)::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &first);
        const int fd = ::open((source + "/big.bin").c_str(), O_WRONLY | O_CLOEXEC);
        for (int k = 1; !stop; k = (k + 1) % kVersions) {
            ::ftruncate(fd, 0);
            (void)::pwrite(fd, contents[k].data(), contents[k].size(), 0);
            ::usleep(static_cast<useconds_t>(50 + k * 157 % 400));
        }
        ::close(fd);
    });
    settings.style = SyncStyle::kBackup;
    int changed = 0;
    for (int pass = 0; pass < (kSmallScale ? 10 : 40); ++pass) {
        WriteFile(destination + "/big.bin", contents[kVersions]);
        const Lines texts = RunPass(settings, {}, 0);
        const std::string now = ReadFile(destination + "/big.bin");
        EXPECT_TRUE(versions.contains(now))
            << "pass " << pass << " left " << now.size() << " bytes of no version";
        changed += static_cast<int>(std::count(
            texts.begin(), texts.end(), NotProcessed("big.bin", SourceChanged().description)));
    }
    stop = true;
    writer.join();
    std::printf("%d of the passes found the file changing while it was copied\n", changed);
}

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

/// A file system mounted at folder/type for as long as the object lives, or the process when it
/// is killed: exFAT from an image on a loop device (by the kernel or through FUSE), or a small
/// tmpfs. `why_not` says why there is none.
struct Mount {
    std::string path, why_not;
    std::string detach = "losetup -j " + path + ".img -O NAME -n | xargs -r losetup -d";

    Mount(const TemporaryFolder& folder, const std::string& type, const std::string& size)
        : path(folder / type) {
        MakeFolders(path);
        RunWhenThisProcessEnds("umount -l " + path + "; " + detach + "; rm -rf " + folder.path());
        const std::string image = path + ".img";
        // Quiet unless it fails: the kernel may lack exFAT, and FUSE then serves.
        const std::string exfat = "truncate -s " + size + " " + image + " && mkfs.exfat " + image +
                                  " >/dev/null && device=$(losetup -f --show " + image +
                                  ") && { mount -t exfat $device " + path +
                                  " 2>/dev/null || mount.exfat-fuse $device " + path + "; }";
        if (::geteuid() != 0)
            why_not = "mounting needs root";
        else if (!Shell(type == "tmpfs" ? "mount -t tmpfs -o size=" + size + " tmpfs " + path
                                        : exfat))
            why_not = "no " + type + " (exFAT needs mkfs.exfat, a loop device, a kernel or FUSE)";
    }
    ~Mount() {
        if (why_not.empty())
            Shell("umount " + path);
        Shell(detach);
    }
};

// exFAT has no hard links, no rename that refuses a taken name, times kept to two seconds, and
// names that differ only in case are one.
TEST_F(RealFolderTest, ExfatCreatesFilesKeepsCopiesAndFoldsCaseAsOneFileAtATimeDoes) {
    const Mount exfat{folder, "exfat", "64M"};
    if (!exfat.why_not.empty())
        GTEST_SKIP() << exfat.why_not;
    settings.destination_path = destination = exfat.path + "/backup";
    MakeFolders(destination);
    settings.style = SyncStyle::kNormal;
    Executor executor;
    // Times with fractions of a second, which exFAT cannot keep: copies are not copied again,
    // but touched files are updated.
    const auto write_and_pass = [&](int count, const std::string& content, long long seconds) {
        for (int i = 0; i < count; ++i) {
            const std::string path = source + "/sub/file" + std::to_string(i) + ".txt";
            WriteFile(path, content + std::to_string(i));
            SetModified(path, seconds * 1'000'000'000 + i * 333'333'333LL);
        }
        return WalkLines(RunPass(settings, {.executor = &executor})).size();
    };
    EXPECT_EQ(write_and_pass(6, "content ", 1'700'000'001), 7u);
    EXPECT_EQ(write_and_pass(0, "", 0), 0u);
    EXPECT_EQ(write_and_pass(3, "touched ", 1'700'000'101), 3u);
    EXPECT_EQ(write_and_pass(0, "", 0), 0u);
    EXPECT_EQ(ReadFile(destination + "/sub/file5.txt"), "content 5");
    EXPECT_EQ(ReadFile(destination + "/sub/file2.txt"), "touched 2");

    // Names that differ only in case, with and without workers ahead.
    for (const char* file : {"Photos/A.jpg", "photos/a.jpg", "Readme.txt", "README.TXT"})
        WriteFile(folder / "cases/" + file, file);
    settings.source_path = folder / "cases";
    settings.style = SyncStyle::kBackup;
    std::map<std::string, std::string> trees[2];
    Lines results[2];
    for (const int workers : {0, 1}) {
        RemoveTree(destination);
        MakeFolders(destination);
        for (int pass = 0; pass < 2; ++pass) {
            const Lines walk =
                WalkLines(RunPass(settings, {.workers = workers * 2, .executor = &executor}));
            results[workers].insert(results[workers].end(), walk.begin(), walk.end());
        }
        trees[workers] = TreeOf(destination);
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(trees[1], trees[0]);
    for (const std::string& line : results[0])
        EXPECT_EQ(line.find("could not be processed"), std::string::npos) << line;
}

TEST_F(RealFolderTest, EveryFileOfANearlyFullDestinationIsReplacedOneAtATime) {
    const Mount small{folder, "tmpfs", "36M"};
    if (!small.why_not.empty())
        GTEST_SKIP() << small.why_not;
    settings.destination_path = destination = small.path + "/dst";
    settings.style = SyncStyle::kBackup;
    for (int i = 0; i < 28; ++i) {
        const std::string name = "/f" + std::to_string(i) + ".bin";
        WriteFile(source + name, std::string(1 << 20, static_cast<char>('a' + i % 26)));
        WriteFile(destination + name, std::string(1 << 20, '.'));
    }
    // Only 4 MiB stay free: each replacement needs the room of the file it replaces.
    const std::uint64_t free = *PosixFileSystem().FreeSpace(destination);
    WriteFile(small.path + "/filler", std::string(free - (4 << 20), 'x'));
    Executor executor;
    for (const int workers : {0, 2}) {
        EXPECT_EQ(SummaryLines(RunPass(settings, {.workers = workers, .executor = &executor})),
                  (Lines{" --> Total files processed during synchronization: 28",
                         " --> Total files already existed: 28", " --> Total files updated: 28"}))
            << workers;
        EXPECT_EQ(ReadFile(destination + "/f27.bin"), std::string(1 << 20, 'b'));
    }
}

TEST(ProgramFilesTest, SavesKeepLinksAndModesAndAreWholeAfterAKillOrAFailure) {
    TemporaryFolder folder;
    Make(folder.path(), kOld,
         {"dotfiles/Config.txt=old", "Config.txt->dotfiles/Config.txt", "Index.txt->Config.txt"});
    const std::string kept = folder / "dotfiles/Config.txt";
    ::chmod(kept.c_str(), 0640);
    ASSERT_TRUE(PosixFileSystem().WriteTextFile(folder / "Index.txt", "new").ok());  // two links
    for (const char* link : {"Config.txt", "Index.txt"})
        EXPECT_TRUE(std::filesystem::is_symlink(folder / link)) << link;
    EXPECT_EQ(ReadFile(kept), "new");
    EXPECT_EQ(std::filesystem::status(kept).permissions(), std::filesystem::perms(0640));

    // Saves killed at any moment leave one whole version or the other.
    const std::string path = folder / "Plain.txt";
    const std::string versions[] = {std::string(1 << 20, 'a'), std::string((3 << 19) + 7, 'b')};
    WriteFile(path, versions[0]);
    for (int trial = 0; trial < 12; ++trial) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (int i = 0;; ++i)  // the child saves until it is killed
                (void)PosixFileSystem().WriteTextFile(path, versions[(i + 1) % 2]);
        }
        ::usleep(static_cast<useconds_t>(1000 + trial * 1700));
        ::kill(child, SIGKILL);
        int ended = 0;
        ::waitpid(child, &ended, 0);
        const std::string now = ReadFile(path);
        const bool whole = now == versions[0] || now == versions[1];
        ++tally.cases;
        ++tally.files_compared;
        tally.crashes += WIFSIGNALED(ended) && WTERMSIG(ended) == SIGKILL ? 0 : 1;
        tally.bytes_lost += whole ? 0 : static_cast<long>(versions[0].size());
        EXPECT_TRUE(whole) << "after kill " << trial << ": " << now.size();
    }
    // A save that fails on the way (here at a file-size limit) leaves the old file.
    const std::string before = ReadFile(path);
    const Lines saved = RunGuarded(
        [&] {
            const Status status = PosixFileSystem().WriteTextFile(path, versions[1]);
            return Lines{status.ok() ? "saved" : status.failure().description};
        },
        {.file_size = 1 << 19});
    EXPECT_EQ(saved, Lines{"File too large"});
    EXPECT_EQ(ReadFile(path), before);
    // A pass that writes into the folder removes what the killed saves left.
    PosixFileSystem().RemoveLeftoversIn(nullptr, folder.path());
    EXPECT_EQ(CountItemsStartingWith(folder.path(), ".tidemark-"), 0);
}

}  // namespace
}  // namespace tidemark::testing
