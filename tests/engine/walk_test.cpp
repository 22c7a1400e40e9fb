// What the walk does with folders and files: styles, skips, exclusion, preview and failures.
#include "engine/folder_creation.h"
#include "tests/engine/run_fixture.h"

namespace tidemark::testing {
namespace {

using WalkTest = WindowsRunTest;

struct StyleCase {
    SyncStyle style;
    const char* destination;  // "missing", "older", "equal", "newer"
    const char* line;         // expected walk line, "" for none
    const char* content;      // destination content afterwards
    SyncStats counters;       // only existing/copied/updated are compared
};

TEST_F(WalkTest, EachStyleAgainstEachDestination) {
    const StyleCase cases[] = {
        {SyncStyle::kSafeMode,
         "missing",
         "Creating file E:\\Copy\\f.txt",
         "src",
         {.copied_files = 1}},
        {SyncStyle::kSafeMode, "older", "", "dst", {.existing_files = 1}},
        {SyncStyle::kSafeMode, "equal", "", "dst", {.existing_files = 1}},
        {SyncStyle::kSafeMode, "newer", "", "dst", {.existing_files = 1}},
        {SyncStyle::kNormal,
         "missing",
         "Creating file E:\\Copy\\f.txt",
         "src",
         {.copied_files = 1}},
        {SyncStyle::kNormal,
         "older",
         "Updating file E:\\Copy\\f.txt - orig: @1000000000, new: @1100000000",
         "src",
         {.existing_files = 1, .updated_files = 1}},
        {SyncStyle::kNormal, "equal", "", "dst", {.existing_files = 1}},
        {SyncStyle::kNormal, "newer", "", "dst", {.existing_files = 1}},
        {SyncStyle::kBackup,
         "missing",
         "Creating file E:\\Copy\\f.txt",
         "src",
         {.copied_files = 1}},
        {SyncStyle::kBackup,
         "older",
         "Overwriting file E:\\Copy\\f.txt",
         "src",
         {.existing_files = 1, .updated_files = 1}},
        {SyncStyle::kBackup,
         "equal",
         "Overwriting file E:\\Copy\\f.txt",
         "src",
         {.existing_files = 1, .updated_files = 1}},
        {SyncStyle::kBackup,
         "newer",
         "Overwriting file E:\\Copy\\f.txt",
         "src",
         {.existing_files = 1, .updated_files = 1}},
    };
    for (const StyleCase& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.style)) + " " + c.destination);
        InMemoryFileSystem memory{PathSyntax::Windows()};
        RecordingRunView recording;
        RunController run{memory, recording, recording, clock, format, exclude_list};
        memory.AddFile("C:\\Data\\f.txt", "src", kNew);
        memory.AddFolder("E:\\Copy");
        const std::string destination = c.destination;
        if (destination != "missing") {
            const FileTime time = destination == "older"   ? kOld
                                  : destination == "equal" ? kNew
                                                           : kNew + 1;
            memory.AddFile("E:\\Copy\\f.txt", "dst", time);
            memory.SetReadOnly("E:\\Copy\\f.txt");  // read-only files are replaced all the same
        }
        settings.style = c.style;
        run.SynchronizeNow(settings);

        EXPECT_EQ(testing::WalkLines(recording.Texts()),
                  std::string(c.line).empty() ? Lines{} : Lines{c.line});
        EXPECT_EQ(memory.ContentOf("E:\\Copy\\f.txt"), c.content);
        EXPECT_EQ(run.Stats().existing_files, c.counters.existing_files);
        EXPECT_EQ(run.Stats().copied_files, c.counters.copied_files);
        EXPECT_EQ(run.Stats().updated_files, c.counters.updated_files);
        EXPECT_EQ(run.Stats().processed_files, 1);
    }
}

TEST_F(WalkTest, PreviewWritesTheSameLinesAndCountersAndChangesNothing) {
    auto build = [](InMemoryFileSystem& memory) {
        memory.AddFile("C:\\Data\\new.txt", "n", kNew);
        memory.AddFile("C:\\Data\\changed.txt", "c2", kNew);
        memory.AddFile("C:\\Data\\Sub\\Deep\\d.txt", "d", kNew);
        memory.AddFile("C:\\Data\\.hidden", "h", kNew, kHiddenAttribute);
        memory.AddFile("E:\\Copy\\changed.txt", "c1", kOld);
        memory.AddFolder("E:\\Copy\\Sub");
    };
    settings.style = SyncStyle::kNormal;
    settings.log_ignored = CheckState::kChecked;

    InMemoryFileSystem real_fs{PathSyntax::Windows()};
    build(real_fs);
    RecordingRunView real_view;
    RunController real{real_fs, real_view, real_view, clock, format, exclude_list};
    real.SynchronizeNow(settings);

    InMemoryFileSystem preview_fs{PathSyntax::Windows()};
    build(preview_fs);
    const auto before = preview_fs.Snapshot("E:\\Copy");
    RecordingRunView preview_view;
    RunController preview{preview_fs, preview_view, preview_view, clock, format, exclude_list};
    settings.preview_only = CheckState::kChecked;
    preview.SynchronizeNow(settings);

    Lines preview_lines = preview_view.Texts();
    ASSERT_GE(preview_lines.size(), 2u);
    preview_lines.erase(preview_lines.begin());  // the warning banner
    preview_lines.pop_back();                    // the closing line
    EXPECT_EQ(preview_lines, real_view.Texts());
    EXPECT_EQ(preview.Stats(), real.Stats());
    EXPECT_TRUE(preview_fs.Changes().empty());
    EXPECT_EQ(preview_fs.Snapshot("E:\\Copy"), before);
    EXPECT_FALSE(real_fs.Changes().empty());
}

TEST_F(WalkTest, FoldersMatchedByTheirPathAreSkippedWhole) {
    fs.AddFile("C:\\Data\\Temp\\a.tmp");
    fs.AddFile("C:\\Data\\Temp\\Inner\\b.tmp");
    fs.AddFile("C:\\Data\\keep.txt");
    exclude_list = {"", "   ", "\\TEMP"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    EXPECT_EQ(WalkLines(),
              (Lines{"Excluding folder E:\\Copy\\Temp",
                     "Skipping 2 files in folder C:\\Data\\Temp due to custom Exclude List!",
                     "Creating file E:\\Copy\\keep.txt"}));
    EXPECT_EQ(SummaryLines(), (Lines{" --> Total files processed during synchronization: 3",
                                     " --> Total folders excluded: 1", " --> Total files copied: 1",
                                     " --> Total files excluded: 2"}));
    EXPECT_FALSE(fs.Exists("E:\\Copy\\Temp"));
}

TEST_F(WalkTest, AnEntryMatchingOnlyTheDestinationExcludesFoldersButNotFiles) {
    fs.AddFile("C:\\Data\\Sub\\a.txt");
    fs.AddFile("C:\\Data\\b.txt");
    exclude_list = {"copy"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    EXPECT_EQ(WalkLines(),
              (Lines{"Excluding folder E:\\Copy\\Sub", "Creating file E:\\Copy\\Sub\\a.txt",
                     "File E:\\Copy\\Sub\\a.txt could not be processed.  No such file or directory",
                     "Creating file E:\\Copy\\b.txt"}));
}

TEST_F(WalkTest, AnEntryMatchingTheSourceRootSkipsThePass) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFile("C:\\Data\\Empty\\Sub\\b.txt");
    exclude_list = {"data"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    EXPECT_EQ(WalkLines(),
              (Lines{"Skipping 2 files in folder C:\\Data due to custom Exclude List!"}));
}

TEST_F(WalkTest, ExcludedFilesAreLoggedEvenWhenIgnoredItemsAreNot) {
    fs.AddFile("C:\\Data\\report.bak");
    fs.AddFile("C:\\Data\\old.bakery\\y.txt");
    fs.AddFile("C:\\Data\\cache\\inside.txt");
    fs.AddFile("C:\\Data\\ok.txt");
    exclude_list = {".bak", "\\cache\\"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    // The folder old.bakery matches by its destination and by its source path.
    EXPECT_EQ(
        WalkLines(),
        (Lines{"Excluding folder E:\\Copy\\old.bakery",
               "Skipping 1 files in folder C:\\Data\\old.bakery due to "
               "custom Exclude List!",
               "Creating Folder E:\\Copy\\cache", "Excluding file C:\\Data\\cache\\inside.txt",
               "Excluding file C:\\Data\\report.bak", "Creating file E:\\Copy\\ok.txt"}));
}

TEST_F(WalkTest, GreyedExcludeOptionCountsAsOff) {
    fs.AddFile("C:\\Data\\a.bak");
    exclude_list = {".bak"};
    settings.use_exclude_list = CheckState::kGreyed;
    Run();
    EXPECT_EQ(WalkLines(), (Lines{"Creating file E:\\Copy\\a.bak"}));
}

TEST_F(WalkTest, HiddenAndSystemFilesAreIgnoredOnRequest) {
    fs.AddFile("C:\\Data\\h.txt", "", 0, kHiddenAttribute);
    fs.AddFile("C:\\Data\\s.sys", "", 0, kSystemAttribute);
    fs.AddFile("C:\\Data\\hs.sys", "", 0, kHiddenAttribute | kSystemAttribute);
    settings.log_ignored = CheckState::kChecked;
    Run();
    EXPECT_EQ(WalkLines(),
              (Lines{"Ignoring hidden file C:\\Data\\h.txt", "Ignoring system file C:\\Data\\s.sys",
                     "Ignoring hidden file C:\\Data\\hs.sys"}));
    EXPECT_EQ(controller.Stats().hidden_ignored, 2);
    EXPECT_EQ(controller.Stats().system_ignored, 1);
    EXPECT_EQ(controller.Stats().processed_files, 3);

    view = RecordingRunView{};
    settings.ignore_hidden = CheckState::kUnchecked;
    settings.log_ignored = CheckState::kUnchecked;
    Run();
    EXPECT_EQ(WalkLines(), (Lines{"Creating file E:\\Copy\\h.txt"}));
    EXPECT_EQ(controller.Stats().system_ignored, 2);
}

TEST_F(WalkTest, FailuresAreCountedByTheirNumber) {
    fs.AddFile("C:\\Data\\denied.txt");
    fs.AddFile("C:\\Data\\full.txt");
    fs.AddFile("C:\\Data\\fine.txt");
    fs.FailOn(InMemoryFileSystem::Operation::kCopyFile, "E:\\Copy\\denied.txt", AccessDenied());
    fs.FailOn(InMemoryFileSystem::Operation::kCopyFile, "E:\\Copy\\full.txt", NoSpace());
    Run();
    EXPECT_EQ(WalkLines(),
              (Lines{"Creating file E:\\Copy\\denied.txt",
                     "File E:\\Copy\\denied.txt could not be processed.  Permission denied",
                     "Creating file E:\\Copy\\full.txt",
                     "File E:\\Copy\\full.txt could not be processed.  No space left on device",
                     "Creating file E:\\Copy\\fine.txt"}));
    EXPECT_EQ(
        SummaryLines(),
        (Lines{" --> Total files processed during synchronization: 3", " --> Total files copied: 1",
               " --> Total files/folders could not be processed due to permission error: 1",
               " --> Total files could not be processed due to other errors: 1"}));
}

TEST_F(WalkTest, FailedDeleteAndCopyGiveTwoLinesAndKeepTheOldFile) {
    fs.AddFile("C:\\Data\\f.txt", "new", kNew);
    fs.AddFile("E:\\Copy\\f.txt", "old", kOld);
    fs.FailOn(InMemoryFileSystem::Operation::kCheckDeletable, "E:\\Copy\\f.txt", AccessDenied());
    fs.FailOn(InMemoryFileSystem::Operation::kCopyFile, "E:\\Copy\\f.txt", AccessDenied());
    settings.style = SyncStyle::kBackup;
    Run();
    EXPECT_EQ(WalkLines(),
              (Lines{"Overwriting file E:\\Copy\\f.txt",
                     "File E:\\Copy\\f.txt could not be processed.  Permission denied",
                     "File E:\\Copy\\f.txt could not be processed.  Permission denied"}));
    EXPECT_EQ(controller.Stats().permission_errors, 2);
    EXPECT_EQ(controller.Stats().updated_files, 0);
    EXPECT_EQ(controller.Stats().processed_files, 1);
    EXPECT_EQ(fs.ContentOf("E:\\Copy\\f.txt"), "old");
}

TEST_F(WalkTest, AFailureNamesTheFileInHandNeverTheOneBefore) {
    fs.AddFile("C:\\Data\\first.txt", "", 0, kHiddenAttribute);
    fs.AddFile("C:\\Data\\second.txt", "x", kNew);
    fs.AddFile("E:\\Copy\\second.txt", "y", kOld);
    fs.FailOn(InMemoryFileSystem::Operation::kFindFile, "C:\\Data\\second.txt", AccessDenied());
    settings.style = SyncStyle::kNormal;
    Run();
    // The failing step names the file in hand, never the file before it.
    EXPECT_EQ(WalkLines(),
              (Lines{"File E:\\Copy\\second.txt could not be processed.  Permission denied"}));
    EXPECT_EQ(fs.ContentOf("E:\\Copy\\second.txt"), "y");
}

TEST_F(WalkTest, UnreadableFolderIsReportedByTheCountAndBothLoops) {
    fs.AddFile("C:\\Data\\Locked\\secret.txt");
    fs.AddFile("C:\\Data\\open.txt");
    fs.FailOn(InMemoryFileSystem::Operation::kListFolder, "C:\\Data\\Locked", AccessDenied());
    Run();
    const Lines texts = view.Texts();
    EXPECT_EQ(texts[1], "Object C:\\Data\\Locked could not be processed.  Permission denied");
    EXPECT_EQ(controller.Stats().total_files, 1);
    EXPECT_EQ(WalkLines(),
              (Lines{"Creating Folder E:\\Copy\\Locked",
                     "Folder  could not be processed.  Permission denied",
                     "Files could not be retrieved from C:\\Data\\Locked. Permission denied",
                     "Creating file E:\\Copy\\open.txt"}));
}

TEST_F(WalkTest, FolderThatCannotBeCreatedIsLeftOutAndCountedButNotItsSiblings) {
    fs.AddFile("C:\\Data\\A\\a.txt");
    fs.AddFile("C:\\Data\\B\\b.txt");
    fs.AddFile("C:\\Data\\C\\c.txt");
    fs.AddFile("C:\\Data\\root.txt");
    fs.FailOn(InMemoryFileSystem::Operation::kCreateFolder, "E:\\Copy\\A", AccessDenied());
    fs.AddFile("E:\\Copy\\B");  // a file where a folder must go
    Run();
    EXPECT_EQ(WalkLines(), (Lines{"Creating Folder E:\\Copy\\A",
                                  "Folder E:\\Copy\\A could not be processed.  Permission denied",
                                  "Creating Folder E:\\Copy\\B",
                                  "Folder E:\\Copy\\B could not be processed.  File exists",
                                  "Creating Folder E:\\Copy\\C", "Creating file E:\\Copy\\C\\c.txt",
                                  "Creating file E:\\Copy\\root.txt"}));
    EXPECT_EQ(controller.Stats().created_folders, 1);
    EXPECT_EQ(controller.Stats().permission_errors, 1);
    EXPECT_EQ(controller.Stats().other_errors, 1);
    EXPECT_TRUE(fs.ContentOf("E:\\Copy\\B").has_value());
}

TEST_F(WalkTest, FoldersThatChangeWhileTheCountIsConfirmedAreReadAgain) {
    fs.AddFile("C:\\Data\\Same\\kept.txt");
    fs.AddFile("C:\\Data\\Changed\\gone.txt");
    fs.AddFile("C:\\Data\\root.txt");
    view.on_line = [&](const ResultLine& line) {
        // Written after the count and its confirmation, before the walk starts.
        if (line.text.starts_with("Sychronization of ")) {
            fs.Remove("C:\\Data\\Changed\\gone.txt");
            fs.AddFile("C:\\Data\\Changed\\new.txt");
            fs.AddFile("C:\\Data\\late.txt");
        }
    };
    Run();
    EXPECT_EQ(
        WalkLines(),
        (Lines{"Creating Folder E:\\Copy\\Same", "Creating file E:\\Copy\\Same\\kept.txt",
               "Creating Folder E:\\Copy\\Changed", "Creating file E:\\Copy\\Changed\\new.txt",
               "Creating file E:\\Copy\\root.txt", "Creating file E:\\Copy\\late.txt"}));
}

TEST(EnsureFolderPathTest, CreatesOnlyTheMissingLevels) {
    InMemoryFileSystem fs{PathSyntax::Windows()};
    fs.AddFolder("C:\\a");
    ASSERT_TRUE(EnsureFolderPath(fs, "C:\\a\\b"));
    EXPECT_EQ(fs.Changes(), (Lines{"mkdir C:\\a\\b"}));

    InMemoryFileSystem empty{PathSyntax::Windows()};
    empty.AddFolder("C:\\");
    EXPECT_TRUE(EnsureFolderPath(empty, "C:\\x\\"));
    EXPECT_EQ(empty.Changes(), (Lines{"mkdir C:\\x"}));

    InMemoryFileSystem posix;
    EXPECT_TRUE(EnsureFolderPath(posix, "/srv/backup/2020"));
    EXPECT_TRUE(posix.FolderExists("/srv/backup/2020"));
    posix.FailOn(InMemoryFileSystem::Operation::kCreateFolder, "/srv/other", AccessDenied());
    EXPECT_FALSE(EnsureFolderPath(posix, "/srv/other/deeper"));
}

}  // namespace
}  // namespace tidemark::testing

namespace tidemark::testing {
namespace {

TEST(CaseFoldingDestination, TwoNamesForOneItemGiveOneCopyAndNoFailure) {
    for (const int workers : {0, 2}) {
        SCOPED_TRACE("workers " + std::to_string(workers));
        InMemoryFileSystem fs;
        fs.FoldCaseBelow("/dst");
        fs.AddFolder("/dst");
        fs.AddFile("/src/new/A.txt", "upper", 2);
        fs.AddFile("/src/new/a.txt", "lower", 2);
        RecordingRunView view;
        FakeClock clock;
        FakeTextFormat format;
        const ExcludeList exclude_list;
        SyncSettings settings;
        settings.source_path = "/src";
        settings.destination_path = "/dst";
        RunController controller(fs, view, view, clock, format, exclude_list,
                                 RunConcurrency{.workers = workers});
        controller.SynchronizeNow(settings);
        // The second name finds the first one's copy, in a folder new to the pass too.
        EXPECT_EQ(WalkLines(view.Texts()),
                  (Lines{"Creating Folder /dst/new", "Creating file /dst/new/A.txt"}));
        EXPECT_EQ(controller.Stats().copied_files, 1);
        EXPECT_EQ(controller.Stats().existing_files, 1);
        EXPECT_EQ(fs.ContentOf("/dst/new/a.txt"), "upper");
    }
}

}  // namespace
}  // namespace tidemark::testing
