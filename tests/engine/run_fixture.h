#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/run_controller.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {

/// Drive-letter paths in memory: the folders C:\Data and E:\Copy and a pass between them.
struct WindowsWorld {
    WindowsWorld() {
        fs.AddFolder("C:\\Data");
        fs.AddFolder("E:\\Copy");
    }

    InMemoryFileSystem fs{PathSyntax::Windows()};
    SyncSettings settings = Between("C:\\Data", "E:\\Copy");
};

/// A run over the in-memory file system with drive-letter paths, from C:\Data to E:\Copy.
class WindowsRunTest : public ::testing::Test, protected WindowsWorld {
  public:
    static constexpr FileTime kOld = 1'000'000'000'000'000'000;
    static constexpr FileTime kNew = 1'100'000'000'000'000'000;

  protected:
    std::int32_t Run() { return controller.SynchronizeNow(settings, view.Stages()); }
    std::vector<std::string> WalkLines() const { return testing::WalkLines(view.Texts()); }
    std::vector<std::string> SummaryLines() const { return testing::SummaryLines(view.Texts()); }

    TestRun run{fs};
    RecordingRunView& view = run.view;
    FakeClock& clock = run.clock;
    ExcludeList& exclude_list = run.exclude_list;
    RunController& controller = run.controller;
};

using Lines = std::vector<std::string>;

/// Adds empty files by their paths below C:\Data.
inline void AddSources(InMemoryFileSystem& fs, const Lines& names) {
    for (const std::string& name : names)
        fs.AddFile("C:\\Data\\" + name);
}

}  // namespace tidemark::testing
