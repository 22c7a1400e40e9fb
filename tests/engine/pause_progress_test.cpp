// Pause, Stop, the progress bar and the time-remaining estimate.
#include <sys/resource.h>

#include <chrono>
#include <thread>
#include <utility>

#include "engine/progress.h"
#include "tests/engine/run_fixture.h"

namespace tidemark::testing {
namespace {

using PauseStopTest = WindowsRunTest;

// Stop lets the file in hand finish and ends the run with its summary, no reverse pass after it;
// Pause waits at the next poll, 100 ms a sleep, until Continue or Stop.
TEST(PauseStop, StopEndsTheRunAfterTheFileInHandAndPauseWaitsUntilContinueOrStop) {
    enum Clicks { kStop, kPauseThenStop, kPauseThenContinue };
    const std::string a = "Creating file E:\\Copy\\a.txt",
                      deep = "Creating file E:\\Copy\\Sub\\deep.txt";
    const std::string paused = "Synchronization paused due to user request...";
    const std::string stopped =
        "Synchronization stopped prior to completion due to user request...";
    const struct {
        std::string at;  // the line after which the first button is clicked
        Clicks clicks;   // the second one after three sleeps while paused
        Lines walk;      // after "Creating Folder E:\\Copy\\Sub"
    } cases[] = {
        // The enclosing folder's file loop still handles its first file before it sees the flag.
        {deep, kStop, {deep, stopped, a}},
        {a, kPauseThenStop, {deep, a, paused, stopped}},
        {a,
         kPauseThenContinue,
         {deep, a, paused, "Synchronization continued due to user request...",
          "Creating file E:\\Copy\\b.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clicks);
        WindowsWorld w;
        w.Sources({"Sub\\deep.txt", "a.txt", "b.txt"});
        const bool stop = c.clicks != kPauseThenContinue;
        w.view.on_line = [&](const ResultLine& line) {
            if (line.text == c.at)
                c.clicks == kStop ? w.controller.StopClicked() : w.controller.PauseClicked();
        };
        w.view.on_events = [&, done = false]() mutable {
            if (w.view.sleeps == 3 && !std::exchange(done, true))
                stop ? w.controller.StopClicked() : w.controller.PauseClicked();
        };
        w.settings.reverse_sync = stop ? CheckState::kChecked : CheckState::kUnchecked;
        w.Run();
        const Lines texts = w.view.Texts();
        const Lines walk = w.Walk();
        EXPECT_EQ(Lines(walk.begin() + 1, walk.end()), c.walk);
        // The last sleep is after Continue; there is none once Stop is seen.
        EXPECT_EQ(w.view.sleeps, (std::vector{0, 3, 4}[c.clicks]));
        EXPECT_EQ(w.view.pause_caption, c.clicks == kPauseThenStop ? "Continue" : "Pause");
        EXPECT_EQ(texts.back(), "Done!");
        EXPECT_EQ(texts.end() - std::find(texts.begin() + 1, texts.end(),
                                          "Synchronizing E:\\Copy --> C:\\Data"),
                  0);
        // A stopped pass's bar is not filled: it shows the files done.
        const auto files = std::count_if(c.walk.begin(), c.walk.end(), [](const std::string& t) {
            return t.starts_with("Creating file");
        });
        EXPECT_EQ(SummaryLines(texts).front(),
                  " --> Total files processed during synchronization: " + std::to_string(files));
        EXPECT_EQ(w.view.progress_values.back(), files);
        // The next run starts running, with the caption put back.
        EXPECT_EQ(w.fs.Exists("E:\\Copy\\b.txt"), !stop);
        w.view = RecordingRunView{};
        w.Run();
        EXPECT_EQ(w.view.pause_caption, "Pause");
        EXPECT_TRUE(w.fs.Exists("E:\\Copy\\b.txt"));
    }
}

TEST(PauseStop, TimeRemainingFollowsTheWorkedExample) {
    const struct {
        int files;
        std::vector<double> finished_at;  // seconds after the start, of the first files
        Lines captions;                   // shown after each of them
        std::vector<bool> notes;          // the "calculating" note before each of them
    } cases[] = {
        // The fourth estimate equals the third once cut to hundredths: settled again.
        {10,
         {3, 4, 7, 10.8867},
         {"27.0 seconds *", "16.0 seconds", "16.3 seconds *", "16.3 seconds"},
         {false, true, false, true}},
        // Exactly a tenth of the files done is enough to settle.
        {20, {1, 1.5}, {"19.0 seconds *", "13.5 seconds"}, {false, true}},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.files);
        WindowsWorld w;
        for (int i = 0; i < example.files; ++i)
            w.fs.AddFile("C:\\Data\\f" + std::to_string(i) + ".txt");
        std::vector<bool> notes;
        w.view.on_line = [&](const ResultLine& line) {
            if (line.text.starts_with("Creating file ") && notes.size() < example.notes.size()) {
                notes.push_back(w.view.calculating_note_visible);
                w.clock.seconds = 1000.0 + example.finished_at[notes.size() - 1];
            }
        };
        w.Run();
        const Lines& captions = w.view.time_captions;
        const std::size_t shown = example.captions.size();
        ASSERT_GT(captions.size(), shown);
        EXPECT_EQ(captions.front(), "counting files...");
        EXPECT_EQ(Lines(captions.begin() + 1, captions.begin() + 1 + shown), example.captions);
        EXPECT_EQ(notes, example.notes);  // shown exactly while the caption carries its star
        // The next run replaces "counting files..." with its estimate, even one equal to the
        // last this run showed.
        w.view = RecordingRunView{};
        w.Run();
        EXPECT_NE(w.view.time_captions.back(), "counting files...");
    }
    // Each limit belongs to the lower row; more files than counted give a negative estimate.
    const std::pair<double, const char*> captions[] = {{120.0, "120.0 seconds"},
                                                       {120.01, "2.0 minutes"},
                                                       {7200.0, "120.0 minutes"},
                                                       {7200.01, "2.0 hours"},
                                                       {-3.5, "-3.5 seconds"}};
    FakeTextFormat format;
    for (const auto& [estimate, caption] : captions)
        EXPECT_EQ(TimeRemainingCaption(estimate, format), caption);
    EXPECT_DOUBLE_EQ(EstimateSecondsLeft(1.0, 12, 10), -0.17);
}

TEST_F(PauseStopTest, ProgressCyclesWhileCountingThenFollowsTheFilesAndEndsFull) {
    for (int i = 0; i < 120; ++i)
        fs.AddFolder("C:\\Data\\F" + std::to_string(i));
    fs.AddFile("C:\\Data\\a.txt");
    Run();
    const auto& values = view.progress_values;
    // ResetRun, then one step per folder counted: 1..99, 1..21, then 0 after the estimate.
    ASSERT_GE(values.size(), 123u);
    EXPECT_EQ(std::vector<std::int64_t>({values[0], values[1], values[99], values[100], values[120],
                                         values[121], values.back()}),
              std::vector<std::int64_t>({0, 1, 99, 1, 21, 0, 1}));
    EXPECT_EQ(view.progress_maximum, 1);
    EXPECT_GE(view.repaints, 120);  // counting repaints the window at every folder

    // Skipping an excluded tree moves the bar as counting does; it must not stretch the bar.
    view = RecordingRunView{};
    for (int i = 0; i < 40; ++i)
        fs.AddFolder("C:\\Data\\Skipped\\S" + std::to_string(i));
    fs.AddFile("C:\\Data\\Skipped\\a.txt");
    exclude_list = {"Skipped"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    EXPECT_EQ(view.progress_maximum, 2);
    const auto& skipped = view.progress_values;
    // Counting cycles below a bar of 100 again, not below the last pass's maximum of 1.
    EXPECT_EQ(std::vector<std::int64_t>(skipped.begin(), skipped.begin() + 4),
              std::vector<std::int64_t>({0, 1, 2, 3}));
    // After the estimate: a step for each folder below the skipped one, cycling below the bar's
    // top; then the file, and the fill at the end.
    std::vector<std::int64_t> walked;
    for (int folder = 0; folder < 40; ++folder)
        walked.push_back(1 + folder % 2);
    walked.insert(walked.end(), {2, 2});
    EXPECT_EQ(std::vector<std::int64_t>(std::find(skipped.rbegin(), skipped.rend(), 0).base(),
                                        skipped.end()),
              walked);
    EXPECT_EQ(view.repaints, 161 + 40);  // and so does skipping a tree, at each folder
}

// Paused before the walk and its helpers begin: the walk finishes its first file, nothing is
// listed or prepared ahead meanwhile, and next to no processor time is spent.
TEST_F(PauseStopTest, NothingIsPreparedAheadWhilePaused) {
    for (int i = 0; i < 300; ++i)
        fs.AddFile("C:\\Data\\d" + std::to_string(i % 30) + "\\f" + std::to_string(i) + ".txt");
    int calls[3] = {};  // at the pause, when waiting, a second later
    view.on_line = [&](const ResultLine& line) {
        if (line.text.starts_with("Sychronization of ")) {
            controller.PauseClicked();
            calls[0] = fs.Calls();
        }
    };
    double seconds_spent = -1.0;
    view.on_events = [&] {
        if (view.sleeps != 1 || seconds_spent >= 0.0)
            return;
        auto used = [] {
            struct rusage usage {};
            ::getrusage(RUSAGE_SELF, &usage);
            return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        };
        calls[1] = fs.Calls();
        const double before = used();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        seconds_spent = used() - before;
        calls[2] = fs.Calls();
        controller.PauseClicked();
    };
    Run();
    EXPECT_LT(calls[1] - calls[0], 10);
    EXPECT_EQ(calls[2], calls[1]);
    EXPECT_LT(seconds_spent, 0.05);
    EXPECT_EQ(controller.Stats().copied_files, 300);
}

TEST(LookAheadBounds, NoMoreFoldersAreReadAheadThanTheBoundAllows) {
    for (const std::size_t folders : {std::size_t{3}, std::size_t{64}}) {
        SCOPED_TRACE("folders " + std::to_string(folders));
        InMemoryFileSystem fs;
        for (int i = 0; i < 60; ++i) {
            fs.AddFile("/src/d" + std::to_string(i) + "/f");
            fs.AddFolder("/dst/d" + std::to_string(i));
        }
        TestRun run(fs, {}, {.workers = 2, .bounds = {.folders = folders}});
        // From the start of the walk to its first file, held there: each file prepared ahead
        // is two calls. Bounded, it is held the whole time; unbounded, until forty calls are
        // made ahead.
        int start = 0;
        int calls_ahead = -1;
        run.view.on_line = [&](const ResultLine& line) {
            if (line.text.starts_with("Sychronization of "))
                start = fs.Calls();
            if (calls_ahead >= 0 || !line.text.starts_with("Creating file "))
                return;
            for (int wait = 0; wait < 100 && (folders < 60 || fs.Calls() < start + 40); ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(folders < 60 ? 3 : 20));
            calls_ahead = fs.Calls() - start;
        };
        run.Synchronize(Between("/src", "/dst"));
        if (folders < 60) {
            EXPECT_LE(calls_ahead, 4);  // three listings and batches ahead: two files
        } else {
            EXPECT_GE(calls_ahead, 40);
        }
        EXPECT_EQ(run.controller.Stats().copied_files, 60);
    }
}

}  // namespace
}  // namespace tidemark::testing
