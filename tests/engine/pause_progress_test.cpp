// Pause, Stop, the progress bar and the time-remaining estimate.
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "engine/progress.h"
#include "tests/engine/run_fixture.h"

namespace tidemark::testing {
namespace {

using PauseStopTest = WindowsRunTest;

TEST_F(PauseStopTest, StopFinishesTheFileInHandThenEndsThePassWithItsSummary) {
    fs.AddFile("C:\\Data\\Sub\\deep.txt");
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFile("C:\\Data\\b.txt");
    view.on_line = [&](const ResultLine& line) {
        if (line.text == "Creating file E:\\Copy\\Sub\\deep.txt")
            controller.StopClicked();
    };
    Run();
    // The enclosing folder's file loop still handles its first file before it sees the flag.
    EXPECT_EQ(WalkLines(),
              (Lines{"Creating Folder E:\\Copy\\Sub", "Creating file E:\\Copy\\Sub\\deep.txt",
                     "Synchronization stopped prior to completion due to user request...",
                     "Creating file E:\\Copy\\a.txt"}));
    EXPECT_TRUE(fs.Exists("E:\\Copy\\Sub\\deep.txt"));
    EXPECT_FALSE(fs.Exists("E:\\Copy\\b.txt"));
    EXPECT_EQ(view.Texts().back(), "Done!");
    EXPECT_EQ(SummaryLines().front(), " --> Total files processed during synchronization: 2");
}

TEST_F(PauseStopTest, PauseWaitsAtTheNextPollUntilContinue) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFile("C:\\Data\\b.txt");
    view.on_line = [&](const ResultLine& line) {
        if (line.text == "Creating file E:\\Copy\\a.txt")
            controller.PauseClicked();
    };
    bool continued = false;
    view.on_events = [&] {
        if (view.sleeps == 3 && !continued) {
            continued = true;
            controller.PauseClicked();
        }
    };
    Run();
    EXPECT_EQ(WalkLines(), (Lines{"Creating file E:\\Copy\\a.txt",
                                  "Synchronization paused due to user request...",
                                  "Synchronization continued due to user request...",
                                  "Creating file E:\\Copy\\b.txt"}));
    EXPECT_EQ(view.sleeps, 4);  // 100 ms each while paused, the last after Continue
    EXPECT_EQ(view.pause_caption, "Pause");
}

TEST_F(PauseStopTest, StopWhilePausedEndsTheWaitAtOnce) {
    fs.AddFile("C:\\Data\\a.txt");
    fs.AddFile("C:\\Data\\b.txt");
    view.on_line = [&](const ResultLine& line) {
        if (line.text == "Creating file E:\\Copy\\a.txt")
            controller.PauseClicked();
    };
    bool stopped = false;
    view.on_events = [&] {
        if (view.sleeps == 2 && !stopped) {
            stopped = true;
            controller.StopClicked();
        }
    };
    Run();
    EXPECT_EQ(
        WalkLines(),
        (Lines{"Creating file E:\\Copy\\a.txt", "Synchronization paused due to user request...",
               "Synchronization stopped prior to completion due to user request..."}));
    EXPECT_EQ(view.pause_caption, "Continue");
    EXPECT_EQ(view.sleeps, 2);
}

TEST_F(PauseStopTest, NextPassStartsRunningWithThePauseCaption) {
    fs.AddFile("C:\\Data\\a.txt");
    controller.PauseClicked();
    controller.StopClicked();
    EXPECT_EQ(view.pause_caption, "Continue");
    Run();
    EXPECT_EQ(view.pause_caption, "Pause");
    EXPECT_TRUE(fs.Exists("E:\\Copy\\a.txt"));
}

TEST_F(PauseStopTest, TimeRemainingFollowsTheWorkedExample) {
    for (int i = 0; i < 10; ++i) {
        fs.AddFile("C:\\Data\\f" + std::to_string(i) + ".txt");
    }
    const double finished_at[] = {3, 4, 7};
    int file = 0;
    view.on_line = [&](const ResultLine& line) {
        if (line.text.starts_with("Creating file ") && file < 3) {
            clock.seconds = 1000.0 + finished_at[file++];
        }
    };
    Run();
    ASSERT_GE(view.time_captions.size(), 4u);
    EXPECT_EQ(view.time_captions[0], "counting files...");
    EXPECT_EQ(view.time_captions[1], "27.0 seconds *");
    EXPECT_EQ(view.time_captions[2], "16.0 seconds");
    EXPECT_EQ(view.time_captions[3], "16.3 seconds *");
}

TEST_F(PauseStopTest, ProgressCyclesWhileCountingThenFollowsTheFiles) {
    for (int i = 0; i < 120; ++i) {
        fs.AddFolder("C:\\Data\\F" + std::to_string(i));
    }
    fs.AddFile("C:\\Data\\a.txt");
    Run();
    const auto& values = view.progress_values;
    // ResetRun, then one step per folder counted: 1..99, 1..21, then 0 after the estimate.
    ASSERT_GE(values.size(), 123u);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[1], 1);
    EXPECT_EQ(values[99], 99);
    EXPECT_EQ(values[100], 1);
    EXPECT_EQ(values[120], 21);
    EXPECT_EQ(values[121], 0);
    EXPECT_EQ(values.back(), 1);
    EXPECT_EQ(view.progress_maximum, 1);
}

TEST(TimeRemainingCaption, LimitsBelongToTheLowerRow) {
    FakeTextFormat format;
    EXPECT_EQ(TimeRemainingCaption(120.0, format), "120.0 seconds");
    EXPECT_EQ(TimeRemainingCaption(120.01, format), "2.0 minutes");
    EXPECT_EQ(TimeRemainingCaption(7200.0, format), "120.0 minutes");
    EXPECT_EQ(TimeRemainingCaption(7200.01, format), "2.0 hours");
    EXPECT_EQ(TimeRemainingCaption(-3.5, format), "-3.5 seconds");
}

TEST(EstimateSecondsLeft, CutsToHundredths) {
    EXPECT_DOUBLE_EQ(EstimateSecondsLeft(7.0, 3, 10), 16.33);
    EXPECT_DOUBLE_EQ(EstimateSecondsLeft(3.0, 1, 10), 27.0);
    EXPECT_DOUBLE_EQ(EstimateSecondsLeft(1.0, 12, 10), -0.17);  // more files than counted
}

}  // namespace
}  // namespace tidemark::testing

namespace tidemark::testing {
namespace {

using PauseStopTest = WindowsRunTest;

TEST_F(PauseStopTest, WhilePausedNoFileWorkStartsAndNextToNoTimeIsSpent) {
    for (int i = 0; i < 300; ++i) {
        fs.AddFile("C:\\Data\\f" + std::to_string(i) + ".txt");
    }
    int calls_at_pause = 0;
    view.on_line = [&](const ResultLine& line) {
        if (line.text.starts_with("Sychronization of ")) {
            controller.PauseClicked();  // before the walk and its helpers begin
            calls_at_pause = fs.Calls();
        }
    };
    int calls_when_waiting = 0;
    int calls_after_a_second = 0;
    double seconds_spent = -1.0;
    view.on_events = [&] {
        if (view.sleeps != 1 || seconds_spent >= 0.0) {
            return;
        }
        auto used = [] {
            struct rusage usage {};
            ::getrusage(RUSAGE_SELF, &usage);
            return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        };
        calls_when_waiting = fs.Calls();
        const double before = used();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        seconds_spent = used() - before;
        calls_after_a_second = fs.Calls();
        controller.PauseClicked();
    };
    Run();
    // The walk finishes its first file; nothing is prepared ahead meanwhile.
    EXPECT_LT(calls_when_waiting - calls_at_pause, 10);
    EXPECT_EQ(calls_after_a_second, calls_when_waiting);
    EXPECT_LT(seconds_spent, 0.05);
    EXPECT_EQ(controller.Stats().copied_files, 300);
}

TEST_F(PauseStopTest, TheBarIsFullAtTheEndOfAPassThatWasNotStopped) {
    // Skipping an excluded tree moves the bar as counting does; it must not stretch the bar.
    for (int i = 0; i < 40; ++i) {
        fs.AddFolder("C:\\Data\\Skipped\\S" + std::to_string(i));
    }
    fs.AddFile("C:\\Data\\Skipped\\a.txt");
    fs.AddFile("C:\\Data\\kept.txt");
    exclude_list = {"Skipped"};
    settings.use_exclude_list = CheckState::kChecked;
    Run();
    EXPECT_EQ(view.progress_maximum, 2);
    EXPECT_EQ(view.progress_values.back(), 2);
}

}  // namespace
}  // namespace tidemark::testing
