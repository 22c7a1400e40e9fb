// Every file-system operation of a pass fails in turn, on every path it is called for, and the
// destination fills up at several sizes, in memory: each pass must report the failure, put
// nothing but complete new versions in place, keep every previous version it did not replace,
// and leave no staged copy behind. A fault may only leave something undone that the same pass
// without it did; it may never do more. With workers preparing files ahead, the pass must end
// exactly as without them.
#include <gtest/gtest.h>

#include <set>

#include "tests/apparatus/tree_snapshot.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {
namespace {

using Fault = std::function<void(InMemoryFileSystem&)>;

constexpr FileTime kOld = 1'000'000'000'111'111'111;
constexpr FileTime kNew = 1'100'000'000'222'222'222;

struct Outcome {
    std::vector<std::string> lines;
    TreeSnapshot source;
    TreeSnapshot destination;
    std::size_t pending = 0;  ///< staged copies neither put in place nor thrown away
    int fired = 0;            ///< calls that failed on purpose
};

/// The in-memory tree as items for the apparatus to compare: "kind:content:time" by path.
TreeSnapshot Items(const std::map<std::string, std::string>& snapshot) {
    TreeSnapshot items;
    for (const auto& [path, text] : snapshot) {
        items[path] = {
            .kind = text.starts_with("folder:") ? ItemState::Kind::kFolder : ItemState::Kind::kFile,
            .size = text.rfind(':') - text.find(':') - 1,
            .digest = std::hash<std::string>{}(text)};
    }
    return items;
}

/// A source with files of every fate and a destination that holds older, newer, equal and
/// unrelated files, and lacks a folder and a nested one; one pass with `settings` over them
/// (none without), with `workers` preparing files ahead of the walk.
Outcome Pass(const SyncSettings* settings, const Fault& fault, int workers = 0) {
    InMemoryFileSystem fs;
    for (const std::string file :
         {"older.txt=new older", "newer.txt=new newer", "equal.txt=equal", "missing.txt=missing",
          ".hidden=hidden", "sub/c.txt=new c", "sub/deeper/d.txt=d", "sub2/e.txt=e", "sub2/f.txt=f",
          "/dst/older.txt=old older", "/dst/sub/c.txt=old c",
          "/dst/extra.txt=only in the destination"}) {
        const bool old = file.starts_with("/dst/");
        fs.AddFile((old ? "" : "/src/") + file.substr(0, file.find('=')),
                   file.substr(file.find('=') + 1), old ? kOld : kNew);
    }
    fs.AddFile("/dst/equal.txt", "equal", kNew);
    fs.AddFile("/dst/newer.txt", "newer in destination", kNew + 1'000'000'000);
    fs.AddSymlink("/src/link", "older.txt", kNew);
    if (fault)
        fault(fs);
    TestRun run(fs, {}, {.workers = workers});
    return Outcome{settings != nullptr ? run.Synchronize(*settings) : std::vector<std::string>{},
                   Items(fs.Snapshot("/src")), Items(fs.Snapshot("/dst")), fs.PendingStagedCopies(),
                   fs.InjectedFailuresFired()};
}

TEST(FaultInjection, EachOperationFailsOnEachPathInTurnAndTheDestinationFillsUp) {
    using Op = InMemoryFileSystem::Operation;
    const Outcome before = Pass(nullptr, {});
    // Every path an operation of the walk can be called for: each source item and its
    // destination, present or not.
    std::set<std::string> paths = {"/src", "/dst"};
    for (const auto& entry : before.source)
        paths.insert({"/src/" + entry.first, "/dst/" + entry.first});
    for (const auto& entry : before.destination)
        paths.insert("/dst/" + entry.first);
    std::vector<std::pair<std::string, Fault>> faults;
    for (const Op operation : {Op::kListFolder, Op::kFindFile, Op::kCopyFile, Op::kCommitCopy,
                               Op::kCheckDeletable, Op::kCreateFolder}) {
        for (const std::string& path : paths) {
            for (const Failure& failure : {AccessDenied(), FailureFromErrno(EIO)})
                faults.emplace_back(
                    "operation " + std::to_string(static_cast<int>(operation)) + " fails on " +
                        path + " with " + std::to_string(failure.number),
                    [=](InMemoryFileSystem& fs) { fs.FailOn(operation, path, failure); });
        }
    }
    // The world holds 111 bytes of files before anything is copied.
    for (const std::uint64_t capacity : {1000, 130, 120, 111, 0})
        faults.emplace_back("filling up at " + std::to_string(capacity) + " bytes",
                            [capacity](InMemoryFileSystem& fs) { fs.SetCapacity(capacity); });
    ReportedLossTally tally{{"fault injection, in memory"}};
    int fired_cases = 0;
    const std::tuple<const char*, SyncStyle, bool> variants[] = {
        {"Safe Mode", SyncStyle::kSafeMode, false},
        {"Normal", SyncStyle::kNormal, false},
        {"Backup", SyncStyle::kBackup, false},
        {"Backup preview", SyncStyle::kBackup, true}};
    for (const auto& [name, style, preview] : variants) {
        SyncSettings variant = Between("/src", "/dst");
        variant.style = style;
        variant.preview_only = preview ? CheckState::kChecked : CheckState::kUnchecked;
        variant.ignore_hidden = CheckState::kUnchecked;
        const Outcome faultless = Pass(&variant, {});
        for (const auto& [what, fault] : faults) {
            const Outcome faulted = Pass(&variant, fault);
            const Outcome concurrent = Pass(&variant, fault, 2);
            ++tally.cases;
            fired_cases += faulted.fired > 0 ? 1 : 0;
            // A fault may leave undone only what the same pass without it did.
            const auto done_without_fault = [&](const std::string& path, const ItemState*,
                                                const ItemState*) -> const ItemState* {
                const auto found = faultless.destination.find(path);
                return found == faultless.destination.end() ? nullptr : &found->second;
            };
            std::vector<std::string> problems =
                CheckDestination(before.source, before.destination, faulted.destination,
                                 done_without_fault, true, tally);
            // A fault either shows in a line or leaves no trace: a look-up made ahead for a
            // folder the walk then creates is thrown away unreported.
            const bool reported = std::any_of(
                faulted.lines.begin(), faulted.lines.end(),
                [](auto& line) { return line.find(" could not be ") != std::string::npos; });
            if (!reported && (faulted.fired > 0 || faulted.lines != faultless.lines ||
                              faulted.destination != faultless.destination))
                problems.push_back("the fault changed the pass or fired, but no line reports it");
            if (faulted.source != before.source)
                problems.push_back("the source changed");
            if (faulted.pending != 0 || concurrent.pending != 0)
                problems.push_back("staged copies left");
            // Work done ahead of the walk may meet the fault and be thrown away, so the fault's
            // effects are judged on a sequential pass, and a concurrent one must match it.
            if (concurrent.lines != faulted.lines || concurrent.destination != faulted.destination)
                problems.push_back("the concurrent pass differs");
            for (const std::string& problem : problems)
                ADD_FAILURE() << name << ", " << what << ": " << problem;
        }
        // With no room at all, the copies say why they failed.
        const std::vector<std::string> full = Pass(&variant, faults.back().second).lines;
        EXPECT_TRUE(preview || std::any_of(full.begin(), full.end(),
                                           [](auto& line) {
                                               return line.ends_with("No space left on device");
                                           }))
            << name;
    }
    // Most combinations must have hit a call; otherwise the world does not exercise the walk.
    EXPECT_GT(fired_cases, 200);
}

}  // namespace
}  // namespace tidemark::testing
