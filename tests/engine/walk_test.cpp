// What the walk does with folders and files: styles, skips, exclusion, preview and failures.
#include <functional>

#include "tests/engine/run_fixture.h"

namespace tidemark::testing {
namespace {

TEST(Walk, EachStyleAgainstEachDestination) {
    const FileTime destinations[] = {-1, kOld, kNew, kNew + 1};  // none, older, equal, newer
    const char* lines[3][4] = {
        {"Creating", "", "", ""},
        {"Creating", "Updating file E:\\Copy\\f.txt - orig: @1000000000, new: @1100000000", "", ""},
        {"Creating", "Overwriting", "Overwriting", "Overwriting"},
    };
    for (int style = 0; style < 3; ++style) {
        for (int d = 0; d < 4; ++d) {
            SCOPED_TRACE(std::to_string(style) + " against " + std::to_string(d));
            WindowsWorld w;
            w.fs.AddFile("C:\\Data\\f.txt", "src", kNew);
            if (d > 0)
                w.fs.AddFile("E:\\Copy\\f.txt", "dst", destinations[d]);
            w.settings.style = static_cast<SyncStyle>(style);
            std::string line = lines[style][d];
            if (line == "Creating" || line == "Overwriting")
                line += " file E:\\Copy\\f.txt";
            EXPECT_EQ((w.Run(), w.Walk()), line.empty() ? Lines{} : Lines{line});
            EXPECT_EQ(w.fs.ContentOf("E:\\Copy\\f.txt"), line.empty() ? "dst" : "src");
            const int existing = d > 0, updated = existing && !line.empty();
            EXPECT_EQ(w.controller.Stats(), (SyncStats{1, 1, 0, 0, existing, !existing, updated}));
        }
    }
}

TEST(WalkCases, ExclusionIgnoredFilesAndFailures) {
    // A tree, what is done to it before the run, and the walk lines and counters it must give:
    // total, processed, folders created and excluded, files existing, copied, updated, excluded,
    // hidden and system ignored; permission and other errors.
    const struct {
        const char* what;
        std::function<void(WindowsWorld&)> arrange;
        Lines walk;
        SyncStats stats;
    } cases[] = {
        {"folders matched by their source path are skipped whole",
         [](WindowsWorld& w) {
             w.Sources({"Temp\\a.tmp", "Temp\\Inner\\b.tmp", "Temp\\Locked\\c.tmp", "keep.txt"});
             w.fs.FailOn(Op::kListFolder, "C:\\Data\\Temp\\Locked", AccessDenied());
             w.UseExcludeList({"", "   ", "\\TEMP"});
         },
         {"Excluding folder E:\\Copy\\Temp",
          "Object C:\\Data\\Temp\\Locked could not be processed.  Permission denied",
          "Skipping 2 files in folder C:\\Data\\Temp due to custom Exclude List!",
          "Creating file E:\\Copy\\keep.txt"},
         {3, 3, 0, 1, 0, 1, 0, 2, 0, 0, 0, 0}},
        {"an entry matching only the destination excludes folders but not files",
         [](WindowsWorld& w) {
             w.Sources({"Sub\\a.txt", "b.txt"});
             w.UseExcludeList({"copy"});
         },
         {"Excluding folder E:\\Copy\\Sub", "Creating file E:\\Copy\\Sub\\a.txt",
          "File E:\\Copy\\Sub\\a.txt could not be processed.  No such file or directory",
          "Creating file E:\\Copy\\b.txt"},
         {2, 2, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1}},
        {"an entry matching the source root skips the pass",
         [](WindowsWorld& w) {
             w.Sources({"a.txt", "Empty\\Sub\\b.txt"});
             w.UseExcludeList({"data"});
         },
         {"Skipping 2 files in folder C:\\Data due to custom Exclude List!"},
         {2, 2, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0}},
        {"excluded files are logged even when ignored items are not",
         [](WindowsWorld& w) {
             // old.bakery\y.txt matches by both its paths.
             w.Sources({"report.bak", "old.bakery\\y.txt", "cache\\inside.txt", "ok.txt"});
             w.UseExcludeList({".bak", "\\cache\\"});
         },
         {"Excluding folder E:\\Copy\\old.bakery",
          "Skipping 1 files in folder C:\\Data\\old.bakery due to custom Exclude List!",
          "Creating Folder E:\\Copy\\cache", "Excluding file C:\\Data\\cache\\inside.txt",
          "Excluding file C:\\Data\\report.bak", "Creating file E:\\Copy\\ok.txt"},
         {4, 4, 1, 1, 0, 1, 0, 3, 0, 0, 0, 0}},
        {"hidden and system files are ignored on request",
         [](WindowsWorld& w) {
             w.fs.AddFile("C:\\Data\\h.txt", "", 0, kHiddenAttribute);
             w.fs.AddFile("C:\\Data\\s.sys", "", 0, kSystemAttribute);
             w.fs.AddFile("C:\\Data\\hs.sys", "", 0, kHiddenAttribute | kSystemAttribute);
             w.settings.log_ignored = CheckState::kChecked;
         },
         {"Ignoring hidden file C:\\Data\\h.txt", "Ignoring system file C:\\Data\\s.sys",
          "Ignoring hidden file C:\\Data\\hs.sys"},
         {3, 3, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0}},
        {"hidden files copied, system files ignored without a line",
         [](WindowsWorld& w) {
             w.fs.AddFile("C:\\Data\\h.txt", "", 0, kHiddenAttribute);
             w.fs.AddFile("C:\\Data\\hs.sys", "", 0, kHiddenAttribute | kSystemAttribute);
             w.settings.ignore_hidden = CheckState::kUnchecked;
         },
         {"Creating file E:\\Copy\\h.txt"},
         {2, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0}},
        // Failures are reported for the item in hand and counted by their number.
        {"copies that fail",
         [](WindowsWorld& w) {
             w.Sources({"denied.txt", "full.txt", "fine.txt"});
             w.fs.FailOn(Op::kCopyFile, "E:\\Copy\\denied.txt", AccessDenied());
             w.fs.FailOn(Op::kCopyFile, "E:\\Copy\\full.txt", NoSpace());
         },
         {"Creating file E:\\Copy\\denied.txt",
          "File E:\\Copy\\denied.txt could not be processed.  Permission denied",
          "Creating file E:\\Copy\\full.txt",
          "File E:\\Copy\\full.txt could not be processed.  No space left on device",
          "Creating file E:\\Copy\\fine.txt"},
         {3, 3, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1}},
        {"a failed delete and copy give two lines and keep the old file",
         [](WindowsWorld& w) {
             w.fs.AddFile("C:\\Data\\f.txt", "new", kNew);
             w.fs.AddFile("E:\\Copy\\f.txt", "old", kOld);
             w.fs.FailOn(Op::kCheckDeletable, "E:\\Copy\\f.txt", AccessDenied());
             w.fs.FailOn(Op::kCopyFile, "E:\\Copy\\f.txt", AccessDenied());
             w.settings.style = SyncStyle::kBackup;
         },
         {"Overwriting file E:\\Copy\\f.txt",
          "File E:\\Copy\\f.txt could not be processed.  Permission denied",
          "File E:\\Copy\\f.txt could not be processed.  Permission denied"},
         {1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0}},
        {"a failing look-up names the file in hand, never the one before",
         [](WindowsWorld& w) {
             w.fs.AddFile("C:\\Data\\first.txt", "", 0, kHiddenAttribute);
             w.fs.AddFile("C:\\Data\\second.txt", "x", kNew);
             w.fs.AddFile("C:\\Data\\third.txt", "x", kNew);
             w.fs.AddFile("E:\\Copy\\second.txt", "y", kOld);
             w.fs.FailOn(Op::kFindFile, "C:\\Data\\second.txt", AccessDenied());
             w.fs.FailOn(Op::kFindFile, "E:\\Copy\\third.txt", FailureFromErrno(EIO));
             w.settings.style = SyncStyle::kNormal;
         },
         // A destination that cannot be examined is taken as missing: nothing is overwritten.
         {"File E:\\Copy\\second.txt could not be processed.  Permission denied",
          "File E:\\Copy\\third.txt could not be processed.  Input/output error",
          "Creating file E:\\Copy\\third.txt"},
         {3, 3, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1}},
        {"an unreadable folder is reported by the count and both loops",
         [](WindowsWorld& w) {
             w.Sources({"Locked\\secret.txt", "open.txt"});
             w.fs.FailOn(Op::kListFolder, "C:\\Data\\Locked", AccessDenied());
         },
         {"Creating Folder E:\\Copy\\Locked", "Folder  could not be processed.  Permission denied",
          "Files could not be retrieved from C:\\Data\\Locked. Permission denied",
          "Creating file E:\\Copy\\open.txt"},
         {1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
        {"a folder that cannot be created is left out and counted, not its siblings",
         [](WindowsWorld& w) {
             w.Sources({"A\\a.txt", "B\\b.txt", "C\\c.txt", "root.txt"});
             w.fs.FailOn(Op::kCreateFolder, "E:\\Copy\\A", AccessDenied());
             w.fs.AddFile("E:\\Copy\\B");  // a file where a folder must go
         },
         {"Creating Folder E:\\Copy\\A",
          "Folder E:\\Copy\\A could not be processed.  Permission denied",
          "Creating Folder E:\\Copy\\B", "Folder E:\\Copy\\B could not be processed.  File exists",
          "Creating Folder E:\\Copy\\C", "Creating file E:\\Copy\\C\\c.txt",
          "Creating file E:\\Copy\\root.txt"},
         {4, 2, 1, 0, 0, 2, 0, 0, 0, 0, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WindowsWorld w;
        c.arrange(w);
        EXPECT_EQ((w.Run(), w.Walk()), c.walk);
        EXPECT_EQ(w.controller.Stats(), c.stats);
    }
}

// Folders that change while the count is confirmed are read again. Files added meanwhile grow
// the bar, files gone leave the walk short of the count: either way the bar ends full.
TEST(Walk, FoldersChangedAfterTheCountAreReadAgainAndTheBarEndsFull) {
    for (const bool added : {true, false}) {
        WindowsWorld w;
        w.Sources({"Same\\kept.txt", "Changed\\gone.txt", "root.txt", "Gone\\1", "Gone\\2"});
        w.view.on_line = [&](const ResultLine& line) {
            if (!line.text.starts_with("Sychronization of "))
                return;
            w.fs.Remove("C:\\Data\\Changed\\gone.txt");
            w.fs.Remove("C:\\Data\\Gone");
            if (added)
                w.Sources({"Changed\\new.txt", "late.txt", "later.txt", "latest.txt"});
        };
        w.Run();
        Lines walk = {"Folder Same", "file Same\\kept.txt", "Folder Changed", "file root.txt"};
        if (added)
            walk.insert(walk.begin() + 3, "file Changed\\new.txt");
        if (added)
            walk.insert(walk.end(), {"file late.txt", "file later.txt", "file latest.txt"});
        for (std::string& line : walk)
            line.insert(line.find(' ') + 1, "E:\\Copy\\").insert(0, "Creating ");
        EXPECT_EQ(w.Walk(), walk);
        EXPECT_EQ(w.view.progress_maximum, added ? 6 : 5);
        EXPECT_EQ(w.view.progress_values.back(), added ? 6 : 5);
    }
}

TEST(CaseFoldingDestination, TwoNamesForOneItemGiveOneCopyAndNoFailure) {
    for (const int workers : {0, 2}) {
        SCOPED_TRACE("workers " + std::to_string(workers));
        InMemoryFileSystem fs;
        fs.FoldCaseBelow("/dst");
        fs.AddFolder("/dst");
        fs.AddFile("/src/new/Az.txt", "upper", 2);
        fs.AddFile("/src/new/aZ.txt", "lower", 2);
        TestRun run(fs, {}, {.workers = workers});
        // The second name finds the first one's copy, in a folder new to the pass too.
        EXPECT_EQ(WalkLines(run.Synchronize(Between("/src", "/dst"))),
                  (Lines{"Creating Folder /dst/new", "Creating file /dst/new/Az.txt"}));
        EXPECT_EQ(run.controller.Stats(), (SyncStats{2, 2, 1, 0, 1, 1}));
        EXPECT_EQ(fs.ContentOf("/dst/new/az.txt"), "upper");
    }
}

}  // namespace
}  // namespace tidemark::testing
