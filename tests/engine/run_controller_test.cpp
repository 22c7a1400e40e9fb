// The Synchronize Now! command and its passes, over drive-letter paths in memory.
#include <functional>
#include <limits>
#include <stdexcept>

#include "tests/engine/run_fixture.h"

namespace tidemark::testing {
namespace {

using RunControllerTest = WindowsRunTest;
constexpr const char* kPreviewEnd =
    "********** Synchronization Processing completed in preview mode! Changes specified were not "
    "actually made **********";

TEST_F(RunControllerTest, CompletePassWritesItsLinesInOrderWithThePathsTheyName) {
    fs.AddFile("C:\\Data\\a.txt", "a", kOld);
    fs.AddFile("C:\\Data\\Photos\\2019\\p.jpg", "p", kOld);
    fs.AddFile("C:\\Data\\Photos\\q.jpg", "q", kOld);
    bool running = true;  // while every line is written
    view.on_line = [&](const ResultLine&) { running = running && view.running; };
    EXPECT_EQ(Run(), 3);
    EXPECT_TRUE(running);
    EXPECT_EQ(view.Texts(),
              (Lines{"Synchronizing C:\\Data --> E:\\Copy",
                     "Sychronization of 3 files started at @1600000000!",
                     "Creating Folder E:\\Copy\\Photos", "Creating Folder E:\\Copy\\Photos\\2019",
                     "Creating file E:\\Copy\\Photos\\2019\\p.jpg",
                     "Creating file E:\\Copy\\Photos\\q.jpg", "Creating file E:\\Copy\\a.txt",
                     "Sychronization completed at @1600000000!",
                     " --> Total files processed during synchronization: 3",
                     " --> Total folders created: 2", " --> Total files copied: 3", "Done!"}));
    EXPECT_EQ(view.lines[2].path + view.lines[4].path + view.lines.back().path,
              "E:\\Copy\\PhotosE:\\Copy\\Photos\\2019\\p.jpg");
    EXPECT_EQ(Shown(), (Messages{{"C:\\Data --> E:\\Copy\r\n\r\nAre you sure you want to "
                                  "synchronize 3 files now?",
                                  MessageIcon::kQuestion}}));
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(fs.ContentOf("E:\\Copy\\Photos\\2019\\p.jpg"), "p");
    EXPECT_EQ(fs.ModifiedOf("E:\\Copy\\a.txt"), kOld);
    EXPECT_FALSE(view.running);
    EXPECT_EQ(view.status, "Done!");
    const Lines counting(view.statuses.begin() + 1, view.statuses.begin() + 3);
    EXPECT_EQ(counting, (Lines{"Please wait while the workload is estimated.",
                               "3 files were found in the source path and all sub-folders."}));
    EXPECT_EQ(view.progress_maximum, 3);
    EXPECT_EQ(view.progress_values.back(), 3);

    // A new run starts with an empty list; the counters belong to the last pass.
    Run();
    EXPECT_EQ(view.lines.size(), 6u);
    EXPECT_EQ(controller.Stats().existing_files, 3);

    // A reverse pass runs without asking, and its count is returned.
    fs.AddFile("E:\\Copy\\b.txt", "b", kOld);
    settings.reverse_sync = CheckState::kChecked;
    settings.style = SyncStyle::kBackup;
    view.messages.clear();
    EXPECT_EQ(Run(), 4);
    EXPECT_EQ(view.messages.size(), 1u);
    const Lines texts = view.Texts();
    const auto reverse =
        std::find(texts.begin(), texts.end(), "Synchronizing E:\\Copy --> C:\\Data");
    ASSERT_NE(reverse, texts.end());
    EXPECT_EQ(*(reverse + 1), "Sychronization of 4 files started at @1600000000!");
    EXPECT_EQ(fs.ContentOf("C:\\Data\\b.txt"), "b");
    EXPECT_EQ(controller.Stats().updated_files, 3);  // the forward pass's copies came back
    EXPECT_EQ(controller.Stats().copied_files, 1);
    controller.ResetRun();
    EXPECT_EQ(controller.Stats(), SyncStats{});
    EXPECT_EQ(view.status, "Ready!");
    EXPECT_EQ(view.progress_values.back(), 0);
}

TEST(RunCommand, EndsEarlyWithItsMessagesAndLines) {
    const std::pair<std::string, MessageIcon> same = {
        "The Source and Destination cannot be the same!", MessageIcon::kCritical};
    const struct {
        const char* what;
        std::function<void(InMemoryFileSystem&, SyncSettings&)> arrange;
        Messages messages;
        Lines lines = {};
        std::vector<MessageAnswer> answers = {};
    } cases[] = {
        {"the same location in other case, with a blank",
         [](InMemoryFileSystem&, SyncSettings& s) {
             s.destination_path = "c:\\data ";
             s.preview_only = CheckState::kChecked;
         },
         {same},
         {"********** WARNING:  Synchronization is set to use Preview Only Mode!  Changes "
          "specified will not actually be made **********"}},
        {"the same location by another way",
         [](InMemoryFileSystem&, SyncSettings& s) { s.destination_path = "C:\\x\\..\\Data\\."; },
         {same}},
        {"a missing source",
         [](InMemoryFileSystem&, SyncSettings& s) { s.source_path = "C:\\Nope"; },
         {{"C:\\Nope is not a valid location!", MessageIcon::kNone}},
         {"Synchronizing C:\\Nope --> E:\\Copy"}},
        {"declining to create the destination",
         [](InMemoryFileSystem&, SyncSettings& s) {
             s.destination_path = "E:\\New";
             s.reverse_sync = CheckState::kChecked;
         },
         {{"E:\\New does not exist.  Would you like to create it now?", MessageIcon::kQuestion},
          {"The synchronization process cannot continue because the destination folder does not "
           "exist!",
           MessageIcon::kNone}},
         {"Synchronizing C:\\Data --> E:\\New"},
         {MessageAnswer::kNo}},
        {"a source without files",
         [](InMemoryFileSystem& fs, SyncSettings&) {
             fs.Remove("C:\\Data\\a.txt");
             fs.AddFolder("C:\\Data\\Empty\\Deeper");
         },
         {},
         {"Synchronizing C:\\Data --> E:\\Copy",
          "No files or folders are located in the source directory!"}},
        {"a source that cannot be listed after its check, in both passes",
         [](InMemoryFileSystem& fs, SyncSettings& s) {
             fs.FailOn(Op::kListFolder, "C:\\Data", NoSuchFile());
             s.reverse_sync = CheckState::kChecked;
         },
         {},
         {"Synchronizing C:\\Data --> E:\\Copy",
          "Object C:\\Data could not be processed.  No such file or directory",
          "No files or folders are located in the source directory!",
          "Synchronizing E:\\Copy --> C:\\Data",
          "No files or folders are located in the source directory!"}},
        {"declining a Backup preview, warned that it overwrites, with a reverse pass",
         [](InMemoryFileSystem&, SyncSettings& s) {
             s.style = SyncStyle::kBackup;
             s.preview_only = s.reverse_sync = CheckState::kChecked;
         },
         {{"C:\\Data --> E:\\Copy\r\n\r\nAre you sure you want to synchronize 1 files now?\r\n\r\n"
           "WARNING:  THIS WILL OVERWRITE ALL EXISTING FILES IN E:\\Copy",
           MessageIcon::kQuestion}},
         {kPreviewEnd},
         {MessageAnswer::kNo}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WindowsWorld w;
        w.fs.AddFile("C:\\Data\\a.txt");
        c.arrange(w.fs, w.settings);
        w.view.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(w.Run(), 0);
        EXPECT_EQ(w.view.Texts(), c.lines);
        EXPECT_EQ(w.Shown(), c.messages);
        EXPECT_FALSE(w.view.running);
        EXPECT_TRUE(w.fs.Changes().empty());
        EXPECT_EQ(w.controller.Stats(), SyncStats{});
    }
}

TEST_F(RunControllerTest, AFailureThatEscapesTheWalkEndsTheRunWithALine) {
    Sources({"Sub\\a.txt", "b.txt"});
    // From the second listing: after the count, the walk and whatever looks ahead.
    fs.ThrowOn(Op::kListFolder, "C:\\Data\\Sub", 2);
    settings.reverse_sync = settings.preview_only = CheckState::kChecked;
    Run();
    const Lines texts = view.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(Lines(texts.end() - 2, texts.end()),
              (Lines{"The synchronization could not be completed.  std::bad_alloc", kPreviewEnd}));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Synchronizing E:\\Copy --> C:\\Data"), 0);
    EXPECT_FALSE(view.running);
}

// Locations are normalised first, and written back into their boxes. A preview creates nothing,
// and its reverse pass finds its source missing.
TEST_F(RunControllerTest, AMissingDestinationIsCreatedWhenTheUserAgreesFromACompletePath) {
    fs.AddFile("C:\\Data\\Sub\\a.txt");
    fs.AddFolder("D:\\");
    settings.source_path = "C:/Data";
    settings.destination_path = "D:/Backup//2020\\June";
    for (const bool preview : {true, false}) {
        view = RecordingRunView{};
        settings.preview_only = settings.reverse_sync =
            preview ? CheckState::kChecked : CheckState::kUnchecked;
        Run();
        EXPECT_EQ(view.source_box + " " + view.destination_box, "C:\\Data D:\\Backup\\2020\\June");
        EXPECT_EQ(Walk(), (Lines{"Creating Folder D:\\Backup\\2020\\June\\Sub",
                                 "Creating file D:\\Backup\\2020\\June\\Sub\\a.txt"}));
        ASSERT_GE(view.messages.size(), 2u);
        EXPECT_EQ(view.messages.front().text,
                  "D:\\Backup\\2020\\June does not exist.  Would you like to create it now?");
        EXPECT_TRUE(view.messages.back().text.ends_with(preview ? "June is not a valid location!"
                                                                : "synchronize 1 files now?"));
        EXPECT_EQ(view.Texts().back(), preview ? kPreviewEnd : "Done!");
        EXPECT_EQ(fs.Changes().size(), preview ? 0u : 5u);
    }
    EXPECT_EQ(fs.ContentOf("D:\\Backup\\2020\\June\\Sub\\a.txt"), "");

    view = RecordingRunView{};
    settings.destination_path = "\\\\server\\share\\x";
    Run();
    ASSERT_GE(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text,
              "You must use a complete file path from a root drive when creating folders!  Ex. "
              "C:\\");
    // The pass goes on, and its copies fail one by one.
    EXPECT_EQ(SummaryLines(view.Texts()).back(),
              " --> Total files could not be processed due to other errors: 1");
}

TEST_F(RunControllerTest, DestinationInsideTheSourceIsNeitherCountedNorWalked) {
    Sources({"a.txt", "Backup\\old.txt"});
    settings.destination_path = "C:\\Data\\Backup";
    Run();
    EXPECT_EQ(controller.Stats().total_files, 1);
    EXPECT_EQ(Walk(), (Lines{"Creating file C:\\Data\\Backup\\a.txt"}));
    EXPECT_FALSE(fs.Exists("C:\\Data\\Backup\\Backup"));

    // A sibling whose name begins with the source's is not inside it.
    fs.AddFile("C:\\Data\\Copy\\c.txt");
    fs.AddFolder("C:\\DataCopy");
    settings.destination_path = "C:\\DataCopy";
    Run();
    EXPECT_TRUE(fs.Exists("C:\\DataCopy\\Copy\\c.txt"));
}

// A counter holds every value of its type; a step past either end ends the run ("Overflow")
// rather than wrapping round.
TEST(Counters, HoldEveryValueOfTheirTypeAndThrowPastIt) {
    std::int32_t most = std::numeric_limits<std::int32_t>::max() - 2;
    std::int32_t least = std::numeric_limits<std::int32_t>::min() + 1;
    Count(most, 2);
    Count(least, -1);
    EXPECT_THROW(Count(most), std::overflow_error);
    EXPECT_THROW(Count(least, -1), std::overflow_error);
    EXPECT_EQ(most, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(least, std::numeric_limits<std::int32_t>::min());
}

}  // namespace
}  // namespace tidemark::testing
