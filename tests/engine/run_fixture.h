#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/run_controller.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/recording_run_view.h"

namespace tidemark::testing {

constexpr FileTime kOld = 1'000'000'000'000'000'000;
constexpr FileTime kNew = 1'100'000'000'000'000'000;

using Lines = std::vector<std::string>;
using Messages = std::vector<std::pair<std::string, MessageIcon>>;
using Op = InMemoryFileSystem::Operation;

/// Drive-letter paths in memory: the folders C:\Data and E:\Copy and a run from one to the other.
struct WindowsWorld {
    WindowsWorld() {
        fs.AddFolder("C:\\Data");
        fs.AddFolder("E:\\Copy");
    }
    std::int32_t Run() { return controller.SynchronizeNow(settings, view.Stages()); }
    Lines Walk() const { return WalkLines(view.Texts()); }
    /// The messages shown, with their icons.
    Messages Shown() const {
        Messages shown;
        for (const ShownMessage& message : view.messages)
            shown.emplace_back(message.text, message.icon);
        return shown;
    }
    void UseExcludeList(ExcludeList entries) {
        settings.use_exclude_list = CheckState::kChecked;
        exclude_list = std::move(entries);
    }
    /// Adds empty files by their paths below C:\Data.
    void Sources(const Lines& names) {
        for (const std::string& name : names)
            fs.AddFile("C:\\Data\\" + name);
    }

    InMemoryFileSystem fs{PathSyntax::Windows()};
    SyncSettings settings = Between("C:\\Data", "E:\\Copy");
    TestRun run{fs};
    RecordingRunView& view = run.view;
    FakeClock& clock = run.clock;
    ExcludeList& exclude_list = run.exclude_list;
    RunController& controller = run.controller;
};

struct WindowsRunTest : ::testing::Test, WindowsWorld {
    using WindowsWorld::Run;
};

}  // namespace tidemark::testing
