// Every file-system operation of a pass fails in turn, on every path it is called for, in
// memory: each run must report the failure, put nothing but complete new versions in place,
// keep every previous version it did not replace, and leave no staged copy behind. A fault may
// only leave something undone that the same run without it did; it may never do more.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <set>

#include "engine/run_controller.h"
#include "tests/hostile/guarded_run.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {
namespace {

using Op = InMemoryFileSystem::Operation;
using Snapshot = std::map<std::string, std::string>;
using Fault = std::function<void(InMemoryFileSystem&)>;

const bool kNamed = (Tally().suite = "fault injection, in memory", true);

constexpr FileTime kOld = 1'000'000'000'111'111'111;
constexpr FileTime kNew = 1'100'000'000'222'222'222;

/// A source tree with files of every fate and a destination that holds older, newer, equal
/// and unrelated files, a missing folder and a missing nested folder.
void BuildWorld(InMemoryFileSystem& fs) {
    fs.AddFolder("/src");
    fs.AddFolder("/dst");
    fs.AddFile("/src/older.txt", "new older", kNew);
    fs.AddFile("/dst/older.txt", "old older", kOld);
    fs.AddFile("/src/newer.txt", "new newer", kNew);
    fs.AddFile("/dst/newer.txt", "newer in destination", kNew + 1'000'000'000);
    fs.AddFile("/src/equal.txt", "equal", kNew);
    fs.AddFile("/dst/equal.txt", "equal", kNew);
    fs.AddFile("/src/missing.txt", "missing", kNew);
    fs.AddSymlink("/src/link", "older.txt", kNew);
    fs.AddFile("/src/.hidden", "hidden", kNew);
    fs.AddFile("/src/sub/c.txt", "new c", kNew);
    fs.AddFile("/dst/sub/c.txt", "old c", kOld);
    fs.AddFile("/src/sub/deeper/d.txt", "d", kNew);
    fs.AddFile("/src/sub2/e.txt", "e", kNew);
    fs.AddFile("/src/sub2/f.txt", "f", kNew);
    fs.AddFile("/dst/extra.txt", "only in the destination", kOld);
    fs.SetReadOnly("/dst/older.txt");
}

struct Variant {
    const char* name;
    SyncStyle style;
    bool preview;
};

constexpr Variant kVariants[] = {
    {"Safe Mode", SyncStyle::kSafeMode, false},
    {"Normal", SyncStyle::kNormal, false},
    {"Backup", SyncStyle::kBackup, false},
    {"Backup preview", SyncStyle::kBackup, true},
};

struct Outcome {
    std::vector<std::string> lines;
    Snapshot source;
    Snapshot destination;
    std::size_t pending = 0;
    int fired = 0;
};

/// Runs a pass with `workers` preparing files ahead of the walk (0: none).
Outcome RunVariant(const Variant& variant, const Fault& fault, int workers = 0) {
    InMemoryFileSystem fs;
    BuildWorld(fs);
    if (fault)
        fault(fs);
    TestRun run(fs, {}, {.workers = workers});
    SyncSettings settings = Between("/src", "/dst");
    settings.style = variant.style;
    settings.preview_only = variant.preview ? CheckState::kChecked : CheckState::kUnchecked;
    settings.ignore_hidden = CheckState::kUnchecked;
    return Outcome{run.Synchronize(settings), fs.Snapshot("/src"), fs.Snapshot("/dst"),
                   fs.PendingStagedCopies(), fs.InjectedFailuresFired()};
}

Outcome Untouched() {
    InMemoryFileSystem fs;
    BuildWorld(fs);
    return Outcome{{}, fs.Snapshot("/src"), fs.Snapshot("/dst")};
}

bool ReportsAFailure(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find(" could not be ") != std::string::npos;
    });
}

/// Checks one faulted run against the world before it and the same run without the fault; the
/// same run with workers preparing files ahead must match it.
CaseReport Check(const Outcome& before, const Outcome& faultless, const Outcome& faulted,
                 const Outcome& concurrent) {
    CaseReport report;
    if (concurrent.lines != faulted.lines || concurrent.destination != faulted.destination ||
        concurrent.pending != 0) {
        report.problems.push_back("the concurrent pass differs");
    }
    report.lines = faulted.lines;
    report.faults_fired = faulted.fired;
    if (faulted.source != before.source)
        report.problems.push_back("the source changed");
    if (faulted.pending != 0)
        report.problems.push_back(std::to_string(faulted.pending) + " staged copies left");
    std::set<std::string> paths;
    for (const Snapshot* snapshot : {&before.destination, &faulted.destination})
        for (const auto& [path, item] : *snapshot)
            paths.insert(path);
    for (const std::string& path : paths) {
        const auto find = [&](const Snapshot& snapshot) -> const std::string* {
            const auto found = snapshot.find(path);
            return found == snapshot.end() ? nullptr : &found->second;
        };
        const std::string* previous = find(before.destination);
        const std::string* now = find(faulted.destination);
        const std::string* from_source = find(before.source);
        const std::string* due = find(faultless.destination);
        if ((now != nullptr && now->starts_with("folder:")) ||
            (previous != nullptr && previous->starts_with("folder:"))) {
            continue;
        }
        ++report.files_compared;
        const bool holds_previous = now != nullptr && previous != nullptr && *now == *previous;
        const bool holds_source = now != nullptr && from_source != nullptr && *now == *from_source;
        if (previous != nullptr && !holds_previous && !holds_source) {
            // "kind:content:time"; contents here hold no colon.
            const std::size_t first = previous->find(':');
            report.bytes_lost += static_cast<std::int64_t>(previous->rfind(':') - first - 1);
            report.problems.push_back(path + " lost its previous version");
        } else if (now != nullptr && !holds_previous && !holds_source) {
            report.problems.push_back(path + " holds neither version");
        }
        // A fault may leave a replacement or a copy undone, never add one.
        const bool done_without_fault =
            due != nullptr && (previous == nullptr || *due != *previous);
        const bool done_with_fault = now != nullptr && (previous == nullptr || *now != *previous);
        if (done_with_fault && !done_without_fault)
            report.problems.push_back(path + " was changed only because of the fault");
    }
    return report;
}

/// Runs one faulted variant in a child, tallies it and fails the test with each problem.
CaseReport Guarded(const std::string& what, const std::function<CaseReport()>& body) {
    GuardedOptions options;
    options.time_limit = std::chrono::seconds(60);
    const GuardedResult result = RunGuarded(body, options);
    Record(result);
    EXPECT_EQ(result.end, GuardedResult::End::kFinished) << what << ": " << result.how;
    for (const std::string& problem : result.report.problems)
        ADD_FAILURE() << what << ": " << problem;
    return result.report;
}

TEST(FaultInjection, EachOperationFailsOnEachPathInTurn) {
    const std::pair<Op, const char*> operations[] = {
        {Op::kListFolder, "listing"},        {Op::kFindFile, "looking up"},
        {Op::kCopyFile, "staging a copy"},   {Op::kCommitCopy, "putting a copy in place"},
        {Op::kCheckDeletable, "the delete"}, {Op::kCreateFolder, "creating a folder"},
    };
    const Failure failures[] = {AccessDenied(), FailureFromErrno(EIO)};
    // Every path an operation of the walk can be called for: each source item and its
    // destination, present or not.
    const Outcome before = Untouched();
    std::set<std::string> paths = {"/src", "/dst"};
    for (const auto& [relative, item] : before.source) {
        paths.insert("/src/" + relative);
        paths.insert("/dst/" + relative);
    }
    for (const auto& [relative, item] : before.destination)
        paths.insert("/dst/" + relative);

    int fired_cases = 0;
    for (const Variant& variant : kVariants) {
        const Outcome faultless = RunVariant(variant, {});
        for (const auto& named : operations) {
            const auto operation = named.first;  // a lambda cannot capture a binding
            const auto& operation_name = named.second;
            for (const std::string& path : paths) {
                for (const Failure& failure : failures) {
                    const std::string what = std::string(variant.name) + ", " + operation_name +
                                             " fails on " + path + " with " +
                                             std::to_string(failure.number);
                    const CaseReport report = Guarded(what, [&] {
                        const Fault fault = [&](InMemoryFileSystem& fs) {
                            fs.FailOn(operation, path, failure);
                        };
                        // Work done ahead of the walk may meet the fault and be thrown away,
                        // so the fault's effects are judged on a sequential pass, and a
                        // concurrent one must match it.
                        const Outcome faulted = RunVariant(variant, fault);
                        CaseReport checked =
                            Check(before, faultless, faulted, RunVariant(variant, fault, 2));
                        // A fault either shows in a line or leaves no trace: a look-up made
                        // ahead for a folder the walk then creates is thrown away unreported.
                        if (!ReportsAFailure(faulted.lines) &&
                            (faulted.lines != faultless.lines ||
                             faulted.destination != faultless.destination)) {
                            checked.problems.push_back("the run changed but no line reports why");
                        }
                        if (faulted.fired > 0 && !ReportsAFailure(faulted.lines))
                            checked.problems.push_back("the fault fired but no line reports it");
                        return checked;
                    });
                    fired_cases += report.faults_fired > 0 ? 1 : 0;
                }
            }
        }
    }
    // Most combinations must have hit a call; otherwise the world does not exercise the walk.
    EXPECT_GT(fired_cases, 200);
}

TEST(FaultInjection, AFullDestinationKeepsEveryPreviousVersion) {
    const Outcome before = Untouched();
    for (const Variant& variant : kVariants) {
        const Outcome faultless = RunVariant(variant, {});
        // The world holds 111 bytes of files before anything is copied.
        for (const std::uint64_t capacity : {0, 111, 120, 130, 1000}) {
            const std::string what =
                std::string(variant.name) + " into " + std::to_string(capacity) + " bytes";
            const CaseReport report = Guarded(what, [&] {
                const Fault fault = [&](InMemoryFileSystem& fs) { fs.SetCapacity(capacity); };
                const Outcome full = RunVariant(variant, fault);
                CaseReport checked = Check(before, faultless, full, RunVariant(variant, fault, 2));
                if (full.destination != faultless.destination && !ReportsAFailure(full.lines))
                    checked.problems.push_back("a copy failed but no line reports it");
                return checked;
            });
            if (capacity == 0 && !variant.preview) {
                EXPECT_TRUE(std::any_of(report.lines.begin(), report.lines.end(),
                                        [](const std::string& line) {
                                            return line.ends_with("No space left on device");
                                        }))
                    << what;
            }
        }
    }
}

}  // namespace
}  // namespace tidemark::testing
