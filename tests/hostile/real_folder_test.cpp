// Whole passes on real temporary folders, over plain and hostile trees. Each pass runs in a
// child process with a time limit; afterwards every item of the destination is compared, byte
// for byte and with its time and permission bits, with the version it is due to hold: the
// source's, or its own previous one where a replace was refused or failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "bench/split_mix64.h"
#include "engine/file_decision.h"
#include "engine/run_controller.h"
#include "platform/posix_file_system.h"
#include "tests/apparatus/tree_snapshot.h"
#include "tests/hostile/guarded_run.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temporary_folder.h"

namespace tidemark::testing {
namespace {

const bool kNamed = (Tally().suite = "hostile trees, real folders", true);

constexpr long long kOld = 1'000'000'000'111'111'111;
constexpr long long kNew = 1'100'000'000'222'222'222;

/// Big trees are cut down where the tests run under a sanitizer.
bool SmallScale() {
    const char* scale = std::getenv("TIDEMARK_CHECK_SCALE");
    return scale != nullptr && std::string(scale) == "small";
}

/// What a destination item must hold after a pass: the source's version, its own previous
/// one, nothing, or a folder that the pass created (for a source folder that went away).
enum class Due { kSource, kPrevious, kAbsent, kFolder };

TreeSnapshot Snapshot(const std::string& root) {
    std::string error;
    auto snapshot = SnapshotTree(root, &error);
    if (!snapshot)
        ADD_FAILURE() << error;
    return snapshot.value_or(TreeSnapshot{});
}

void WriteFileAt(const std::string& path, const std::string& content, long long modified) {
    WriteFile(path, content);
    SetModified(path, modified);
}

/// One pass with a fresh file system and view; answers its lines.
std::vector<std::string> RunPass(const SyncSettings& settings, RunConcurrency concurrency = {},
                                 FileTime settle_time = PosixFileSystem::kSettleTime,
                                 const std::function<void(const ResultLine&)>& on_line = {}) {
    PosixFileSystem fs(settle_time);
    TestRun run(fs, {}, concurrency);
    run.view.on_line = on_line;
    return run.Synchronize(settings);
}

class RealFolderTest : public ::testing::Test {
  protected:
    RealFolderTest() {
        MakeFolders(source);
        MakeFolders(destination);
        settings.source_path = source;
        settings.destination_path = destination;
        settings.ignore_hidden = CheckState::kUnchecked;
        settings.ignore_system = CheckState::kUnchecked;
    }
    ~RealFolderTest() override { RemoveTree(folder.path()); }

    /// Runs one pass and compares the destination with what is due: by default each file and
    /// link of the source is due as the source's version where the style copies it and as
    /// its previous version where the style keeps it; specials are never copied; items the
    /// source does not have stay as they were. `due` overrides this per relative path. The
    /// source must come out unchanged unless `source_changes` is set.
    void Pass(const std::map<std::string, Due>& due = {}, GuardedOptions options = {}) {
        const TreeSnapshot source_before = Snapshot(source);
        const TreeSnapshot destination_before = Snapshot(destination);
        if (options.unprivileged)
            HandOverToUnprivilegedUser(folder.path());
        GuardedResult result = RunGuarded(
            [&] {
                if (open_files_limit > 0) {
                    const struct rlimit tight = {open_files_limit, open_files_limit};
                    ::setrlimit(RLIMIT_NOFILE, &tight);
                }
                return CaseReport{RunPass(settings, concurrency, settle_time, on_line)};
            },
            options);
        if (result.end != GuardedResult::End::kFinished)
            result.report.problems.push_back("the pass " + result.how);
        const TreeSnapshot source_after = Snapshot(source);
        for (const auto& [path, item] : source_before) {
            const auto now = source_after.find(path);
            if (!source_changes && (now == source_after.end() || !now->second.SameVersion(item)))
                result.report.problems.push_back("source item changed: " + path);
        }
        Compare(source_after, destination_before, Snapshot(destination), due, result.report);
        Record(result);
        lines = result.report.lines;
        for (const std::string& problem : result.report.problems)
            ADD_FAILURE() << problem;
        EXPECT_EQ(result.report.bytes_lost, 0);
    }

    Due DefaultDue(const ItemState* from_source, const ItemState* previous) const {
        if (from_source != nullptr && from_source->kind == ItemState::Kind::kFolder)
            return Due::kFolder;
        if (from_source == nullptr || from_source->kind == ItemState::Kind::kSpecial)
            return previous != nullptr ? Due::kPrevious : Due::kAbsent;
        if (previous == nullptr)
            return Due::kSource;
        if (previous->kind == ItemState::Kind::kFolder)
            return Due::kPrevious;
        return ActionFor(true, settings.EffectiveStyle(), from_source->modified, previous->modified,
                         1) == FileAction::kKeep
                   ? Due::kPrevious
                   : Due::kSource;
    }

    void Compare(const TreeSnapshot& source_after, const TreeSnapshot& destination_before,
                 const TreeSnapshot& destination_after, const std::map<std::string, Due>& due,
                 CaseReport& report) const {
        std::set<std::string> paths;
        for (const TreeSnapshot* snapshot :
             {&source_after, &destination_before, &destination_after})
            for (const auto& [path, item] : *snapshot)
                paths.insert(path);
        ItemState folder_state;
        folder_state.kind = ItemState::Kind::kFolder;
        for (const std::string& path : paths) {
            auto find = [&](const TreeSnapshot& snapshot) -> const ItemState* {
                const auto found = snapshot.find(path);
                return found == snapshot.end() ? nullptr : &found->second;
            };
            const ItemState* from_source = find(source_after);
            const ItemState* previous = find(destination_before);
            const ItemState* actual = find(destination_after);
            const auto listed = due.find(path);
            const Due expected =
                listed != due.end() ? listed->second : DefaultDue(from_source, previous);
            const ItemState* wanted = expected == Due::kSource     ? from_source
                                      : expected == Due::kPrevious ? previous
                                      : expected == Due::kFolder   ? &folder_state
                                                                   : nullptr;
            const bool is_folder =
                (wanted != nullptr && wanted->kind == ItemState::Kind::kFolder) ||
                (actual != nullptr && actual->kind == ItemState::Kind::kFolder);
            report.files_compared += is_folder ? 0 : 1;
            // Data is lost when a previous file is gone or replaced by anything but the
            // complete new version, or when a copy is torn.
            const bool previous_file =
                previous != nullptr && previous->kind != ItemState::Kind::kFolder;
            const bool holds_previous =
                actual != nullptr && previous_file && actual->SameVersion(*previous);
            const bool holds_source =
                actual != nullptr && from_source != nullptr && actual->SameVersion(*from_source);
            if (previous_file && !holds_previous && !holds_source) {
                report.bytes_lost += static_cast<std::int64_t>(previous->size);
            } else if (!previous_file && actual != nullptr && !is_folder && !holds_source) {
                report.bytes_lost += static_cast<std::int64_t>(actual->size);
            }
            if ((wanted == nullptr) != (actual == nullptr) ||
                (wanted != nullptr &&
                 (is_folder ? actual->kind != wanted->kind : !actual->SameVersion(*wanted)))) {
                report.problems.push_back(path + " holds " +
                                          (actual ? Describe(*actual) : "nothing") + ", due " +
                                          (wanted ? Describe(*wanted) : "nothing"));
            }
        }
    }

    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
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
    rlim_t open_files_limit = 0;
    std::vector<std::string> lines;
};

TEST_F(RealFolderTest, ContentTimesModesAndAwkwardNamesAreCopiedAndReplacedByteForByte) {
    const std::string longest(255, 'n');
    const std::vector<std::string> names = {
        "new\nline", "back\\slash", "  spaced  ", "bad\xff\xfeutf8", "\xc3\x28", "tab\there",
        "cr\rhere",  "...",         "-rf",        "*?<>|:\"",        ".profile", longest,
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string inner = source + "/dir " + std::to_string(i) + "/" + names[i];
        WriteFileAt(source + "/" + names[i], "content " + std::to_string(i), kNew + i);
        WriteFileAt(inner + "/" + names[i], "inner " + std::to_string(i), kOld);
    }
    WriteFileAt(source + "/data.bin", std::string(300'000, 'x'), kOld);
    ::chmod((source + "/data.bin").c_str(), 0640);

    Pass();
    for (const std::string& name : names)
        EXPECT_TRUE(Has("Creating file " + destination + "/" + name)) << name;
    EXPECT_EQ(CountItemsStartingWith(destination, ".tidemark-"), 0);

    // Replacing goes through a temporary name beside names of every kind.
    settings.style = SyncStyle::kBackup;
    Pass();
    EXPECT_TRUE(Has(" --> Total files updated: " + std::to_string(2 * names.size() + 1)));
}

TEST_F(RealFolderTest, PathsFarBeyondTheSystemLimitAreWalkedCopiedAndReplaced) {
    // 600 levels of 8-byte names: 5,400 bytes below the roots, with a file every 150 levels.
    std::string relative;
    int at = ::open(source.c_str(), O_PATH | O_DIRECTORY);
    for (int depth = 1; depth <= 600; ++depth) {
        ASSERT_EQ(::mkdirat(at, "deep-dir", 0755), 0);
        const int next = ::openat(at, "deep-dir", O_PATH | O_DIRECTORY);
        ::close(at);
        at = next;
        relative += "/deep-dir";
        if (depth % 150 == 0) {
            const int file = ::openat(at, "file.txt", O_WRONLY | O_CREAT, 0640);
            ASSERT_EQ(::write(file, "deep", 4), 4);
            ::close(file);
        }
    }
    ::close(at);
    Pass();
    EXPECT_TRUE(Has("Creating file " + destination + relative + "/file.txt"));
    EXPECT_TRUE(Has(" --> Total folders created: 600"));
    settings.style = SyncStyle::kBackup;
    Pass();
    EXPECT_TRUE(Has(" --> Total files updated: 4"));
}

// Labelled slow: a developer's quick run leaves it out.
TEST_F(RealFolderTest, AHundredThousandFilesInOneFolder) {
    const int files = SmallScale() ? 5'000 : 100'000;
    const int at = ::open(source.c_str(), O_PATH | O_DIRECTORY);
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%06d.dat", i);
        const int fd = ::openat(at, name, O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        const std::string content(static_cast<std::size_t>(i % 97), 'a');
        ASSERT_EQ(::write(fd, content.data(), content.size()),
                  static_cast<ssize_t>(content.size()));
        ::close(fd);
    }
    ::close(at);
    GuardedOptions generous;
    generous.time_limit = std::chrono::seconds(600);
    Pass({}, generous);
    EXPECT_TRUE(Has(" --> Total files copied: " + std::to_string(files)));
    settings.style = SyncStyle::kNormal;
    Pass({}, generous);
    EXPECT_TRUE(Has(" --> Total files already existed: " + std::to_string(files)));
    EXPECT_FALSE(Has(" --> Total files updated: " + std::to_string(files)));
}

TEST_F(RealFolderTest, EmptyAndSparseFilesStayExactAndSparse) {
    const off_t size = SmallScale() ? (off_t{256} << 20) : (off_t{2} << 30);
    auto sparse = [&](const std::string& name, const std::vector<off_t>& islands) {
        const int fd = ::open((source + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        for (const off_t island : islands) {
            const std::string data = "island at " + std::to_string(island);
            ASSERT_EQ(::pwrite(fd, data.data(), data.size(), island),
                      static_cast<ssize_t>(data.size()));
        }
        ::close(fd);
        SetModified(source + "/" + name, kNew);
    };
    sparse("disk.img", {0, size / 2 + 12345, size - 100});
    sparse("tail-hole.img", {0});
    sparse("all-hole.img", {});
    WriteFileAt(source + "/empty", "", kNew);
    WriteFileAt(destination + "/disk.img", std::string(1 << 20, 'o'), kOld);
    WriteFileAt(destination + "/empty", "not empty before", kOld);
    settings.style = SyncStyle::kBackup;
    Pass();
    const TreeSnapshot copied = Snapshot(destination);
    for (const char* name : {"disk.img", "tail-hole.img", "all-hole.img"})
        EXPECT_LT(copied.at(name).allocated, std::uint64_t{4} << 20) << name << " was filled in";
}

TEST_F(RealFolderTest, FilesThatChangeBetweenTheCountAndTheWalk) {
    WriteFileAt(source + "/still/kept.txt", "k", kNew);
    WriteFileAt(source + "/gone/inside.txt", "i", kNew);
    WriteFileAt(source + "/late/one.txt", "1", kNew);
    WriteFileAt(source + "/grows.txt", std::string(1000, 'g'), kNew);
    WriteFileAt(source + "/shrinks.txt", std::string(100'000, 's'), kNew);
    for (const char* name :
         {"vanishes.txt", "vanishes-with-copy.txt", "becomes-pipe.txt", "becomes-folder.txt"}) {
        WriteFileAt(source + "/" + name, "v", kNew);
    }
    WriteFileAt(destination + "/vanishes-with-copy.txt", "older copy", kOld);
    settings.style = SyncStyle::kNormal;
    source_changes = true;
    // Changes in the middle of the walk meet the file in its turn only when nothing is
    // prepared ahead; with the look-ahead, a file copied before it changed keeps that copy.
    concurrency.workers = 0;
    // The count's listings of folders still since the tree was made are kept for the pass,
    // which must notice the folders that changed after the count.
    settle_time = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    on_line = [src = source, dst = destination](const ResultLine& line) {
        // After the count, before the walk lists the source root.
        if (line.text.starts_with("Sychronization of ")) {
            WriteFile(src + "/grows.txt", std::string(70'000, 'G'));
            ::truncate((src + "/shrinks.txt").c_str(), 10);
            ::unlink((src + "/becomes-folder.txt").c_str());
            ::mkdir((src + "/becomes-folder.txt").c_str(), 0755);
            WriteFile(src + "/becomes-folder.txt/x", "x");
            WriteFile(src + "/appears.txt", "new");
            WriteFile(src + "/late/two.txt", "2");
        }
        // After the root was listed, before its files' turn.
        if (line.text == "Creating Folder " + dst + "/gone") {
            RemoveTree(src + "/gone");
            ::unlink((src + "/vanishes.txt").c_str());
            ::unlink((src + "/vanishes-with-copy.txt").c_str());
            ::unlink((src + "/becomes-pipe.txt").c_str());
            ::mkfifo((src + "/becomes-pipe.txt").c_str(), 0600);
        }
    };
    Pass({{"gone", Due::kFolder}});
    EXPECT_TRUE(Has("Sychronization of 9 files started at @1600000000!"));
    EXPECT_TRUE(Has(NotProcessed("vanishes.txt", "No such file or directory")));
    EXPECT_TRUE(Has(NotProcessed("vanishes-with-copy.txt", "No such file or directory")));
    EXPECT_TRUE(Has(NotProcessed("becomes-pipe.txt", "Operation not supported")));
    EXPECT_TRUE(
        Has("Files could not be retrieved from " + source + "/gone. No such file or directory"));
    EXPECT_TRUE(Has("Creating file " + destination + "/late/two.txt"));
    EXPECT_TRUE(Has(" --> Total files processed during synchronization: 10"));
}

// As an ordinary user, so that permission bits hold, and with a limit on the size of a file.
TEST_F(RealFolderTest, FailuresAreCountedByKindAndKeepThePreviousVersions) {
    WriteFileAt(source + "/locked/secret.txt", "s", kNew);
    ::chmod((source + "/locked").c_str(), 0000);
    WriteFileAt(source + "/unreadable.txt", "new secret", kNew);
    WriteFileAt(destination + "/unreadable.txt", "old secret", kOld);
    ::chmod((source + "/unreadable.txt").c_str(), 0000);
    WriteFileAt(source + "/unsearchable/c.txt", "c", kNew);
    ::chmod((source + "/unsearchable").c_str(), 0644);
    WriteFileAt(source + "/read-only.txt", "new", kNew);
    WriteFileAt(destination + "/read-only.txt", "old", kOld);
    ::chmod((destination + "/read-only.txt").c_str(), 0444);
    MakeFolders(destination + "/frozen");
    WriteFileAt(source + "/frozen/kept.txt", "new", kNew);
    WriteFileAt(destination + "/frozen/kept.txt", "old", kOld);
    ::chmod((destination + "/frozen").c_str(), 0555);
    WriteFileAt(source + "/large.bin", std::string(3 << 20, 'L'), kNew);
    WriteFileAt(destination + "/large.bin", std::string(2 << 20, 'o'), kOld);
    settings.style = SyncStyle::kBackup;
    GuardedOptions options;
    options.unprivileged = true;
    options.file_size_limit = 1 << 20;
    Pass({{"locked", Due::kFolder},
          {"locked/secret.txt", Due::kAbsent},
          {"unreadable.txt", Due::kPrevious},
          {"unsearchable/c.txt", Due::kAbsent},
          {"frozen/kept.txt", Due::kPrevious},
          {"large.bin", Due::kPrevious}},
         options);
    EXPECT_TRUE(Has("Object " + source + "/locked could not be processed.  Permission denied"));
    EXPECT_TRUE(Has("Files could not be retrieved from " + source + "/locked. Permission denied"));
    EXPECT_TRUE(Has(NotProcessed("unreadable.txt", "Permission denied")));
    EXPECT_TRUE(Has(NotProcessed("unsearchable/c.txt", "Permission denied")));
    EXPECT_TRUE(Has(NotProcessed("frozen/kept.txt", "Permission denied")));
    EXPECT_TRUE(Has(NotProcessed("large.bin", "File too large")));
    EXPECT_TRUE(Has(" --> Total files updated: 1"));
    EXPECT_TRUE(Has(" --> Total files/folders could not be processed due to permission error: 4"));
    EXPECT_TRUE(Has(" --> Total files could not be processed due to other errors: 1"));
    struct stat frozen {};
    ASSERT_EQ(::stat((destination + "/frozen").c_str(), &frozen), 0);
    EXPECT_EQ(frozen.st_mode & 07777, 0555u);
    EXPECT_EQ(CountItemsStartingWith(destination, ".tidemark-"), 0);
}

TEST_F(RealFolderTest, LinksAreCopiedAsLinksAndNothingIsReadOrWrittenThroughOne) {
    const std::string outside = folder / "outside";
    WriteFileAt(outside + "/private/diary.txt", "dear diary", kOld);
    WriteFileAt(source + "/sub/file.txt", "in the tree", kNew);
    const std::pair<std::string, std::string> links[] = {
        {"loop-a", "loop-b"},
        {"loop-b", "loop-a"},
        {"self", "self"},
        {"parent", ".."},
        {"root", "/"},
        {"outside", outside},
        {"dangling", "/no/such"},
        {"outside-file", outside + "/private/diary.txt"},
        {"relative", "sub/file.txt"},
    };
    for (const auto& [name, target] : links) {
        ASSERT_EQ(::symlink(target.c_str(), (source + "/" + name).c_str()), 0) << name;
        SetModified(source + "/" + name, kNew);
    }
    // A previous link in the destination pointing elsewhere is replaced by Backup; links where
    // the walk needs a folder are not folders, and nothing is written through them.
    ASSERT_EQ(::symlink("elsewhere", (destination + "/relative").c_str()), 0);
    SetModified(destination + "/relative", kOld);
    for (const char* name : {"alias", "into-outside"}) {
        WriteFileAt(source + "/" + name + "/a.txt", name, kNew);
    }
    MakeFolders(destination + "/other");
    ASSERT_EQ(::symlink("other", (destination + "/alias").c_str()), 0);
    ASSERT_EQ(::symlink("../outside", (destination + "/into-outside").c_str()), 0);
    const TreeSnapshot outside_before = Snapshot(outside);
    const std::map<std::string, Due> through_links = {{"alias", Due::kPrevious},
                                                      {"alias/a.txt", Due::kAbsent},
                                                      {"into-outside", Due::kPrevious},
                                                      {"into-outside/a.txt", Due::kAbsent}};
    Pass(through_links);
    EXPECT_TRUE(Has("Sychronization of 12 files started at @1600000000!"));
    EXPECT_TRUE(Has("Folder " + destination + "/alias could not be processed.  File exists"));
    EXPECT_TRUE(Has(" --> Total files could not be processed due to other errors: 2"));
    settings.style = SyncStyle::kBackup;
    Pass(through_links);
    EXPECT_TRUE(Has(" --> Total files updated: 10"));
    const TreeSnapshot outside_after = Snapshot(outside);
    ASSERT_EQ(outside_after.size(), outside_before.size());
    for (const auto& [path, item] : outside_before)
        EXPECT_TRUE(outside_after.at(path).SameVersion(item)) << path;
    EXPECT_TRUE(Snapshot(destination + "/other").empty());
}

TEST_F(RealFolderTest, ASourceFolderTurnedIntoALinkIsAFailureOfThatFolder) {
    WriteFileAt(folder / "secret/secret.txt", "private", kNew);
    WriteFileAt(source + "/zzz/mine.txt", "mine", kNew);
    // After the walk listed the root and before it opens the folder, the folder is swapped
    // for a link to a folder outside.
    on_line = [this](const ResultLine& line) {
        if (line.text == "Creating Folder " + destination + "/zzz") {
            ::rename((source + "/zzz").c_str(), (source + "/moved").c_str());
            (void)::symlink("../secret", (source + "/zzz").c_str());
        }
    };
    source_changes = true;
    concurrency.workers = 0;  // the walk opens each folder itself, at that moment
    Pass({{"zzz", Due::kFolder}, {"moved", Due::kAbsent}, {"moved/mine.txt", Due::kAbsent}});
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& text) {
        return text.starts_with("Files could not be retrieved from " + source + "/zzz. ");
    }));
}

TEST_F(RealFolderTest, PipesSocketsAndFilesTurnedIntoPipesAreNeverOpened) {
    MakeFolders(source + "/nested");
    ASSERT_EQ(::mkfifo((source + "/nested/.hidden-pipe").c_str(), 0600), 0);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string socket_path = source + "/socket";
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
    ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    GuardedOptions quick;
    quick.time_limit = std::chrono::seconds(60);
    Pass({}, quick);
    EXPECT_TRUE(Has(NotProcessed("socket", "Operation not supported")));
    EXPECT_TRUE(Has(" --> Total files could not be processed due to other errors: 2"));
    settings.ignore_system = CheckState::kChecked;
    settings.log_ignored = CheckState::kChecked;
    Pass({}, quick);
    EXPECT_TRUE(Has("Ignoring system file " + source + "/socket"));
    EXPECT_TRUE(Has(" --> Total system files ignored: 2"));
    ::close(server);
    RemoveTree(source);
    MakeFolders(source);

    // Once the first file is done, the others, already listed, turn into pipes.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (int i = 0; i < 5; ++i) {
        WriteFileAt(source + "/f" + std::to_string(i), "data", kNew);
        const std::string pipe = folder / ("pipe" + std::to_string(i));
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        ASSERT_GE(::inotify_add_watch(watch, pipe.c_str(), IN_OPEN), 0);
    }
    on_line = [this, swapped = false](const ResultLine& line) mutable {
        if (swapped || !line.text.starts_with("Creating file "))
            return;
        swapped = true;
        for (int i = 0; i < 5; ++i) {
            if (line.path != destination + "/f" + std::to_string(i))
                ::rename((folder / ("pipe" + std::to_string(i))).c_str(),
                         (source + "/f" + std::to_string(i)).c_str());
        }
    };
    source_changes = true;
    concurrency.workers = 0;  // each file is opened at its turn, after the swap
    settings.ignore_system = CheckState::kUnchecked;
    Pass({}, quick);
    EXPECT_TRUE(Has(" --> Total files could not be processed due to other errors: 4"));
    char event[4096];
    EXPECT_LT(::read(watch, event, sizeof event), 0) << "a pipe was opened";
    ::close(watch);
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
    WriteFile(source + "/user/" + dead, "a user's file");
    for (const std::string& name : {dead, std::string(live), elsewhere})
        WriteFile(destination + "/" + name, "left by a copy");
    WriteFile(source + "/real.txt", "new");
    settings.preview_only = CheckState::kChecked;
    EXPECT_EQ(RunPass(settings)[2], "Sychronization of 2 files started at @1600000000!");
    EXPECT_EQ(ReadFile(destination + "/" + dead), "left by a copy");  // a preview changes nothing
    settings.preview_only = CheckState::kUnchecked;
    RunPass(settings);
    EXPECT_EQ(ReadFile(destination + "/user/" + dead), "a user's file");
    // Only the dead process's file of this machine goes, once the pass writes to its folder.
    EXPECT_FALSE(std::filesystem::exists(destination + "/" + dead));
    EXPECT_EQ(ReadFile(destination + "/" + live), "left by a copy");
    EXPECT_EQ(ReadFile(destination + "/" + elsewhere), "left by a copy");
}

TEST_F(RealFolderTest, FilesPreparedAheadStayWithinATightDescriptorLimit) {
    // Many small files in many small folders: the most the look-ahead could hold open.
    for (int folder_number = 0; folder_number < 150; ++folder_number) {
        const std::string path = source + "/d" + std::to_string(folder_number);
        MakeFolders(path);
        for (int file = 0; file < 12; ++file)
            WriteFile(path + "/f" + std::to_string(file), "x");
    }
    open_files_limit = 512;  // the hard limit too, so that nothing can raise it again
    on_line = [](const ResultLine&) { ::usleep(300); };  // the workers run as far ahead as they may
    Pass();
    EXPECT_TRUE(Has(" --> Total files copied: 1800"));
}

TEST_F(RealFolderTest, AnotherSpellingOfTheSourceIsRefusedButAnotherCaseIsAnotherFolder) {
    WriteFile(source + "/a", "a");
    ASSERT_EQ(::symlink(source.c_str(), (folder / "alias").c_str()), 0);
    settings.style = SyncStyle::kBackup;
    for (const std::string& other :
         {source + "/", source + "/.", folder / "alias", folder / "dst/../src"}) {
        settings.destination_path = other;
        EXPECT_EQ(RunPass(settings), std::vector<std::string>{}) << other;
    }
    settings.destination_path = folder / "SRC";
    EXPECT_EQ(RunPass(settings).back(), "Done!");
    EXPECT_EQ(ReadFile(folder / "SRC/a"), "a");
    EXPECT_EQ(CountItemsStartingWith(source, ".tidemark-"), 0);
}

TEST(ChangingSourceTest, ACopyIsThePreviousFileOrAWholeVersionTheSourceHad) {
    TemporaryFolder folder;
    MakeFolders(folder / "src");
    MakeFolders(folder / "dst");
    // Versions of different lengths, none a whole number of pages: a copy that mixes two of
    // them, or stops short, holds none of them. Each is below 2 MiB, so that the kernel puts
    // it in the page cache in one piece: a write held up between pieces would leave a still,
    // shorter file, which is a version the file had but not one the writer meant.
    auto version = [](int k) {
        std::string content((1 << 20) + 4096 * k + 1 + k % 7, '\0');
        bench::SplitMix64 random(static_cast<std::uint64_t>(k) + 1);
        for (std::size_t i = 0; i + 8 <= content.size(); i += 8) {
            const std::uint64_t word = random.Next();
            std::memcpy(content.data() + i, &word, 8);
        }
        return content;
    };
    const std::string previous = version(1000);
    std::set<std::uint64_t> versions = {DigestOf(previous), DigestOf("")};
    constexpr int kVersions = 40;
    std::vector<std::string> contents;
    for (int k = 0; k < kVersions; ++k) {
        contents.push_back(version(k));
        versions.insert(DigestOf(contents.back()));
    }
    WriteFile(folder / "src/big.bin", contents[0]);
    // The writer truncates the file and writes a whole new version in one call, again and
    // again; given the processor first where the system allows it, it is never stopped
    // half-way for long.
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        const sched_param first{1};
        (void)::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &first);
        const int fd = ::open((folder / "src/big.bin").c_str(), O_WRONLY | O_CLOEXEC);
        bench::SplitMix64 pause(7);
        for (int k = 1; !stop; k = (k + 1) % kVersions) {
            ::ftruncate(fd, 0);
            (void)::pwrite(fd, contents[k].data(), contents[k].size(), 0);
            ::usleep(static_cast<useconds_t>(50 + pause.Below(400)));
        }
        ::close(fd);
    });
    SyncSettings settings = Between(folder / "src", folder / "dst");
    settings.style = SyncStyle::kBackup;
    int changed = 0;
    for (int pass = 0; pass < (SmallScale() ? 10 : 40); ++pass) {
        WriteFile(folder / "dst/big.bin", previous);
        const std::vector<std::string> texts = RunPass(settings, {}, 0);
        const std::string now = ReadFile(folder / "dst/big.bin");
        EXPECT_TRUE(versions.contains(DigestOf(now)))
            << "pass " << pass << " left " << now.size() << " bytes of no version";
        changed += static_cast<int>(std::count(texts.begin(), texts.end(),
                                               "File " + (folder / "dst/big.bin") +
                                                   " could not be processed.  " +
                                                   SourceChanged().description));
    }
    stop = true;
    writer.join();
    std::printf("%d of the passes found the file changing while it was copied\n", changed);
}

TEST(MountedDestinationTest, ADestinationInsideTheSourceIsNeitherCountedNorWalked) {
    TemporaryFolder folder;
    MakeFolders(folder / "src/inner");
    MakeFolders(folder / "src/mirror");
    MakeFolders(folder / "dst");
    WriteFile(folder / "src/a.txt", "a");
    // Inside the source by its path, with the reverse pass too.
    SyncSettings settings = Between(folder / "src", folder / "src/mirror");
    settings.reverse_sync = CheckState::kChecked;
    RunPass(settings);
    EXPECT_EQ(ReadFile(folder / "src/mirror/a.txt"), "a");
    EXPECT_FALSE(std::filesystem::exists(folder / "src/mirror/mirror"));
    RemoveTree(folder / "src/mirror");

    // Inside it under another name: mounted there.
    if (::mount((folder / "dst").c_str(), (folder / "src/inner").c_str(), nullptr, MS_BIND,
                nullptr) != 0) {
        GTEST_SKIP() << "no bind mount here: " << std::strerror(errno);
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount_inner{folder / "src/inner"};
    settings.destination_path = folder / "dst";
    settings.reverse_sync = CheckState::kUnchecked;
    for (int pass = 0; pass < 2; ++pass) {
        const std::vector<std::string> texts = RunPass(settings);
        EXPECT_EQ(texts[1], "Sychronization of 1 files started at @1600000000!");
        EXPECT_EQ(WalkLines(texts),
                  pass == 0 ? std::vector<std::string>{"Creating file " + (folder / "dst/a.txt")}
                            : std::vector<std::string>{});
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "dst/inner"));
}

TEST(ProgramFilesTest, ASaveKeepsALinkAndTheModeOfTheFileItReplaces) {
    TemporaryFolder folder;
    MakeFolders(folder / "dotfiles");
    const std::string kept = folder / "dotfiles/Config.txt";
    WriteFile(kept, "old");
    ::chmod(kept.c_str(), 0640);
    ASSERT_EQ(::symlink("dotfiles/Config.txt", (folder / "Config.txt").c_str()), 0);
    ASSERT_EQ(::symlink("Config.txt", (folder / "Index.txt").c_str()), 0);  // a chain of two
    ASSERT_TRUE(PosixFileSystem().WriteTextFile(folder / "Index.txt", "new").ok());
    for (const char* link : {"Config.txt", "Index.txt"})
        EXPECT_TRUE(std::filesystem::is_symlink(folder / link)) << link;
    EXPECT_EQ(ReadFile(kept), "new");
    struct stat status {};
    ASSERT_EQ(::stat(kept.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST(ProgramFilesTest, SavesAreWholeAfterAKillAndAFailedSaveKeepsTheOldFile) {
    TemporaryFolder folder;
    const std::string path = folder / "Config.txt";
    const std::string first(1 << 20, 'a');
    const std::string second((3 << 19) + 7, 'b');
    WriteFile(path, first);
    for (int trial = 0; trial < 12; ++trial) {
        const pid_t child = ::fork();
        if (child == 0) {
            PosixFileSystem fs;
            for (int i = 0;; ++i)
                (void)fs.WriteTextFile(path, i % 2 == 0 ? second : first);
        }
        ::usleep(static_cast<useconds_t>(1000 + trial * 1700));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        GuardedResult result;
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
            result.end = GuardedResult::End::kCrashed;
        const std::string now = ReadFile(path);
        result.report.files_compared = 1;
        if (now != first && now != second)
            result.report.bytes_lost = static_cast<std::int64_t>(first.size());
        Record(result);
        EXPECT_EQ(result.report.bytes_lost, 0) << "after kill " << trial << ": " << now.size();
    }
    // A save that fails on the way (here at a file-size limit) leaves the old file.
    const std::string before = ReadFile(path);
    GuardedOptions limited;
    limited.file_size_limit = 1 << 19;
    const GuardedResult result = RunGuarded(
        [&] {
            const Status saved = PosixFileSystem().WriteTextFile(path, second);
            return CaseReport{{saved.ok() ? "saved" : saved.failure().description}, {}, 1};
        },
        limited);
    Record(result);
    EXPECT_EQ(result.end, GuardedResult::End::kFinished) << result.how;
    EXPECT_EQ(result.report.lines, std::vector<std::string>{"File too large"});
    EXPECT_EQ(ReadFile(path), before);
    // A pass that writes into the folder removes what the killed saves left.
    PosixFileSystem().RemoveLeftovers(folder.path());
    EXPECT_EQ(CountItemsStartingWith(folder.path(), ".tidemark-"), 0);
}

}  // namespace
}  // namespace tidemark::testing
