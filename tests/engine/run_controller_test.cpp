// The Synchronize Now! command and its passes, over drive-letter paths in memory.
#include "tests/engine/run_fixture.h"
#include "tests/support/exhausted_file_system.h"

namespace tidemark::testing {
namespace {

using RunControllerTest = WindowsRunTest;

TEST_F(RunControllerTest, AFailureThatEscapesTheWalkEndsTheRunWithALine) {
    fs.AddFile("C:\\Data\\Sub\\a.txt");
    fs.AddFile("C:\\Data\\b.txt");
    // From the second listing: after the count, the walk and whatever looks ahead.
    ExhaustedFileSystem exhausted(fs, "C:\\Data\\Sub", 2);
    RunController run(exhausted, view, view, clock, format, exclude_list);
    settings.reverse_sync = CheckState::kChecked;
    settings.preview_only = CheckState::kChecked;
    run.SynchronizeNow(settings);
    const Lines texts = view.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2],
              "The synchronization could not be completed.  std::bad_alloc");
    EXPECT_EQ(texts.back(),
              "********** Synchronization Processing completed in preview mode! Changes "
              "specified were not actually made **********");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Synchronizing E:\\Copy --> C:\\Data"), 0);
    EXPECT_FALSE(view.running);
}

TEST_F(RunControllerTest, CompletePassWritesItsLinesInOrder) {
    fs.AddFile("C:\\Data\\a.txt", "a", kOld);
    fs.AddFile("C:\\Data\\Photos\\2019\\p.jpg", "p", kOld);
    fs.AddFile("C:\\Data\\Photos\\q.jpg", "q", kOld);

    EXPECT_EQ(Run(), 3);

    EXPECT_EQ(view.Texts(), (Lines{
                                "Synchronizing C:\\Data --> E:\\Copy",
                                "Sychronization of 3 files started at @1600000000!",
                                "Creating Folder E:\\Copy\\Photos",
                                "Creating Folder E:\\Copy\\Photos\\2019",
                                "Creating file E:\\Copy\\Photos\\2019\\p.jpg",
                                "Creating file E:\\Copy\\Photos\\q.jpg",
                                "Creating file E:\\Copy\\a.txt",
                                "Sychronization completed at @1600000000!",
                                " --> Total files processed during synchronization: 3",
                                " --> Total folders created: 2",
                                " --> Total files copied: 3",
                                "Done!",
                            }));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              "C:\\Data --> E:\\Copy\r\n\r\nAre you sure you want to synchronize 3 files now?");
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(view.messages[0].icon, MessageIcon::kQuestion);
    EXPECT_EQ(fs.ContentOf("E:\\Copy\\Photos\\2019\\p.jpg"), "p");
    EXPECT_EQ(fs.ModifiedOf("E:\\Copy\\a.txt"), kOld);
    EXPECT_FALSE(view.running);
    EXPECT_EQ(view.status, "Done!");
    EXPECT_EQ(view.progress_maximum, 3);
    EXPECT_EQ(view.progress_values.back(), 3);
}

TEST_F(RunControllerTest, LinesNameThePathTheyWereWrittenFor) {
    fs.AddFile("C:\\Data\\Sub\\x.txt");
    Run();
    const auto& lines = view.lines;
    auto path_of = [&](const std::string& text) {
        for (const ResultLine& line : lines) {
            if (line.text == text)
                return line.path;
        }
        return std::string("<no such line>");
    };
    EXPECT_EQ(path_of("Creating Folder E:\\Copy\\Sub"), "E:\\Copy\\Sub");
    EXPECT_EQ(path_of("Creating file E:\\Copy\\Sub\\x.txt"), "E:\\Copy\\Sub\\x.txt");
    EXPECT_EQ(path_of("Done!"), "");
}

TEST_F(RunControllerTest, BackupConfirmationCarriesTheOverwriteWarning) {
    fs.AddFile("C:\\Data\\a.txt");
    settings.style = SyncStyle::kBackup;
    Run();
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages[0].text,
              "C:\\Data --> E:\\Copy\r\n\r\nAre you sure you want to synchronize 1 files now?"
              "\r\n\r\nWARNING:  THIS WILL OVERWRITE ALL EXISTING FILES IN E:\\Copy");
}

TEST_F(RunControllerTest, LocationsAreNormalisedAndWrittenBack) {
    fs.AddFile("D:\\Work\\Projects\\a.txt");
    settings.source_path = "D:/Work//Projects";
    Run();
    EXPECT_EQ(view.source_box, "D:\\Work\\Projects");
    EXPECT_EQ(view.destination_box, "E:\\Copy");
    EXPECT_EQ(view.Texts().front(), "Synchronizing D:\\Work\\Projects --> E:\\Copy");
}

TEST_F(RunControllerTest, SameLocationIsRefusedWhateverTheSpelling) {
    for (const char* destination : {"c:\\data ", "C:\\Data\\", "C:\\Data\\.", "C:\\x\\..\\Data"}) {
        view = RecordingRunView{};
        settings.destination_path = destination;
        EXPECT_EQ(Run(), 0) << destination;
        ASSERT_EQ(view.messages.size(), 1u) << destination;
        EXPECT_EQ(view.messages[0].text, "The Source and Destination cannot be the same!");
        EXPECT_EQ(view.messages[0].icon, MessageIcon::kCritical);
        EXPECT_TRUE(view.lines.empty());
        EXPECT_FALSE(view.running);
    }
}

TEST_F(RunControllerTest, PreviewWarningStaysAboveTheSameLocationRefusal) {
    settings.preview_only = CheckState::kChecked;
    settings.destination_path = "C:\\DATA";
    Run();
    EXPECT_EQ(view.Texts(), (Lines{"********** WARNING:  Synchronization is set to use Preview "
                                   "Only Mode!  Changes specified will not actually be made "
                                   "**********"}));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "The Source and Destination cannot be the same!");
}

TEST_F(RunControllerTest, MissingSourceEndsThePassWithoutSummary) {
    settings.source_path = "C:\\Nope";
    Run();
    EXPECT_EQ(view.Texts(), (Lines{"Synchronizing C:\\Nope --> E:\\Copy"}));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "C:\\Nope is not a valid location!");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::kNone);
}

TEST_F(RunControllerTest, MissingDestinationIsCreatedWhenTheUserAgrees) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFolder("D:\\");
    settings.destination_path = "D:\\Backup\\2020\\June";
    Run();
    ASSERT_GE(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].text,
              "D:\\Backup\\2020\\June does not exist.  Would you like to create it now?");
    EXPECT_EQ(fs.ContentOf("D:\\Backup\\2020\\June\\a.txt"), "");
    EXPECT_TRUE(fs.Exists("D:\\Backup\\2020"));
}

TEST_F(RunControllerTest, DecliningTheDestinationEndsTheRun) {
    fs.AddFile("C:\\Data\\a.txt");
    settings.destination_path = "E:\\New";
    settings.reverse_sync = CheckState::kChecked;
    view.answers = {MessageAnswer::kNo};
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text,
              "The synchronization process cannot continue because the destination folder does "
              "not exist!");
    EXPECT_EQ(view.Texts(), (Lines{"Synchronizing C:\\Data --> E:\\New"}));
    EXPECT_FALSE(fs.Exists("E:\\New"));
}

TEST_F(RunControllerTest, IncompleteDestinationPathIsRefusedWhenCreating) {
    fs.AddFile("C:\\Data\\a.txt");
    settings.destination_path = "\\\\server\\share\\x";
    Run();
    ASSERT_GE(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text,
              "You must use a complete file path from a root drive when creating folders!  Ex. "
              "C:\\");
    // The pass goes on, and its copies fail one by one.
    EXPECT_EQ(SummaryLines().back(),
              " --> Total files could not be processed due to other errors: 1");
}

TEST_F(RunControllerTest, SourceWithoutFilesEndsWithoutConfirmation) {
    fs.AddFolder("C:\\Data\\Empty\\Deeper");
    Run();
    EXPECT_EQ(view.Texts(), (Lines{"Synchronizing C:\\Data --> E:\\Copy",
                                   "No files or folders are located in the source directory!"}));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.status, "No files or folders are located in the source directory!");
}

TEST_F(RunControllerTest, SourceThatCannotBeListedAfterItsCheckEndsThePassCleanly) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.FailOn(InMemoryFileSystem::Operation::kListFolder, "C:\\Data", NoSuchFile());
    settings.reverse_sync = CheckState::kChecked;
    Run();
    EXPECT_EQ(view.Texts(),
              (Lines{"Synchronizing C:\\Data --> E:\\Copy",
                     "Object C:\\Data could not be processed.  No such file or directory",
                     "No files or folders are located in the source directory!",
                     "Synchronizing E:\\Copy --> C:\\Data",
                     "No files or folders are located in the source directory!"}));
    EXPECT_FALSE(view.running);
    EXPECT_TRUE(fs.Changes().empty());
}

TEST_F(RunControllerTest, DecliningTheConfirmationLeavesAnEmptyList) {
    fs.AddFile("C:\\Data\\a.txt");
    settings.preview_only = CheckState::kChecked;
    settings.reverse_sync = CheckState::kChecked;
    view.answers = {MessageAnswer::kNo};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(view.Texts(), (Lines{"********** Synchronization Processing completed in preview "
                                   "mode! Changes specified were not actually made **********"}));
    EXPECT_EQ(controller.Stats(), SyncStats{});
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(RunControllerTest, ReversePassRunsWithoutConfirmationAndItsCountIsReturned) {
    fs.AddFile("C:\\Data\\a.txt", "a", kOld);
    fs.AddFile("E:\\Copy\\b.txt", "b", kOld);
    fs.AddFile("E:\\Copy\\c.txt", "c", kOld);
    settings.reverse_sync = CheckState::kChecked;
    settings.style = SyncStyle::kBackup;

    EXPECT_EQ(Run(), 3);

    EXPECT_EQ(view.messages.size(), 1u);  // only the first pass asks
    const Lines texts = view.Texts();
    const auto reverse =
        std::find(texts.begin(), texts.end(), "Synchronizing E:\\Copy --> C:\\Data");
    ASSERT_NE(reverse, texts.end());
    EXPECT_EQ(*(reverse + 1), "Sychronization of 3 files started at @1600000000!");
    EXPECT_EQ(fs.ContentOf("C:\\Data\\b.txt"), "b");
    EXPECT_EQ(controller.Stats().updated_files, 1);  // a.txt came back over itself
    EXPECT_EQ(controller.Stats().copied_files, 2);
}

TEST_F(RunControllerTest, StopInTheFirstPassPreventsTheReversePass) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFile("C:\\Data\\b.txt");
    settings.reverse_sync = CheckState::kChecked;
    view.on_line = [&](const ResultLine& line) {
        if (line.text == "Creating file E:\\Copy\\a.txt")
            controller.StopClicked();
    };
    Run();
    const Lines texts = view.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Done!"), 1);
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.starts_with("Synchronizing "); }),
              1);
    EXPECT_FALSE(fs.Exists("E:\\Copy\\b.txt"));
}

TEST_F(RunControllerTest, PreviewWithMissingDestinationCreatesNothing) {
    fs.AddFile("C:\\Data\\Sub\\a.txt");
    settings.destination_path = "E:\\New";
    settings.preview_only = CheckState::kChecked;
    settings.reverse_sync = CheckState::kChecked;
    Run();
    EXPECT_FALSE(fs.Exists("E:\\New"));
    EXPECT_TRUE(fs.Changes().empty());
    EXPECT_EQ(WalkLines(),
              (Lines{"Creating Folder E:\\New\\Sub", "Creating file E:\\New\\Sub\\a.txt"}));
    // The reverse pass finds its source missing.
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "E:\\New is not a valid location!");
    EXPECT_EQ(view.Texts().back(),
              "********** Synchronization Processing completed in preview mode! Changes "
              "specified were not actually made **********");
}

TEST_F(RunControllerTest, DestinationInsideTheSourceIsNeitherCountedNorWalked) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFile("C:\\Data\\Backup\\old.txt");
    settings.destination_path = "C:\\Data\\Backup";
    Run();
    EXPECT_EQ(controller.Stats().total_files, 1);
    EXPECT_EQ(WalkLines(), (Lines{"Creating file C:\\Data\\Backup\\a.txt"}));
    EXPECT_FALSE(fs.Exists("C:\\Data\\Backup\\Backup"));
}

TEST_F(RunControllerTest, CountersBelongToTheLastPassAndResetClearsThem) {
    fs.AddFile("C:\\Data\\a.txt");
    Run();
    EXPECT_EQ(controller.Stats().copied_files, 1);
    controller.ResetRun();
    EXPECT_EQ(controller.Stats(), SyncStats{});
    EXPECT_EQ(view.status, "Ready!");
    EXPECT_EQ(view.progress_values.back(), 0);
}

}  // namespace
}  // namespace tidemark::testing
