#include "bench/run_command.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/headless_run_view.h"
#include "engine/run_controller.h"
#include "exclude/exclude_list_text.h"
#include "platform/background_thread.h"
#include "platform/posix_file_system.h"
#include "platform/process_setup.h"
#include "platform/system_clock.h"

namespace tidemark::bench {

namespace {

constexpr const char* kUsage =
    "usage: tidemark-bench run [--style safe|normal|backup] [--preview] [--reverse]\n"
    "                          [--exclude-list FILE] [--ignore-hidden 0|1]\n"
    "                          [--ignore-system 0|1] [--log-ignored] [--workers N]\n"
    "                          SOURCE DESTINATION\n";

int BadArguments(const std::string& why) {
    std::fprintf(stderr, "tidemark-bench run: %s\n%s", why.c_str(), kUsage);
    return 2;
}

bool ParseCheckState(std::string_view text, CheckState& state) {
    if (text == "0" || text == "1") {
        state = text == "1" ? CheckState::kChecked : CheckState::kUnchecked;
        return true;
    }
    return false;
}

}  // namespace

int RunCommand(int argc, char** argv) {
    SyncSettings settings;  // the built-in defaults: Safe Mode, hidden and system ignored
    std::string exclude_list_file;
    std::vector<std::string> locations;
    RunConcurrency concurrency;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (argument == "--style") {
            const char* style = value();
            if (style == nullptr)
                return BadArguments("--style needs a value");
            const std::string_view name = style;
            if (name == "safe")
                settings.style = SyncStyle::kSafeMode;
            else if (name == "normal")
                settings.style = SyncStyle::kNormal;
            else if (name == "backup")
                settings.style = SyncStyle::kBackup;
            else
                return BadArguments("unknown style " + std::string(name));
        } else if (argument == "--preview") {
            settings.preview_only = CheckState::kChecked;
        } else if (argument == "--reverse") {
            settings.reverse_sync = CheckState::kChecked;
        } else if (argument == "--log-ignored") {
            settings.log_ignored = CheckState::kChecked;
        } else if (argument == "--exclude-list") {
            const char* file = value();
            if (file == nullptr)
                return BadArguments("--exclude-list needs a file");
            exclude_list_file = file;
            settings.use_exclude_list = CheckState::kChecked;
        } else if (argument == "--workers") {
            const char* count = value();
            if (count == nullptr || std::atoi(count) < 0)
                return BadArguments("--workers needs a number, 0 for none");
            concurrency.workers = std::atoi(count);
        } else if (argument == "--ignore-hidden" || argument == "--ignore-system") {
            const char* state = value();
            CheckState& option =
                argument == "--ignore-hidden" ? settings.ignore_hidden : settings.ignore_system;
            if (state == nullptr || !ParseCheckState(state, option)) {
                return BadArguments(std::string(argument) + " takes 0 or 1");
            }
        } else if (argument.starts_with("--")) {
            return BadArguments("unknown option " + std::string(argument));
        } else {
            locations.emplace_back(argument);
        }
    }
    if (locations.size() != 2) {
        return BadArguments("SOURCE and DESTINATION are needed");
    }
    settings.source_path = locations[0];
    settings.destination_path = locations[1];

    std::setlocale(LC_ALL, "");
    PrepareProcess();
    Executor executor(Executor::DefaultThreads(), MarkThreadAsBackground);
    concurrency.executor = &executor;
    PosixFileSystem fs(PosixFileSystem::kSettleTime, &executor);
    ExcludeList exclude_list;
    if (!exclude_list_file.empty()) {
        Result<std::string> text = fs.ReadTextFile(exclude_list_file);
        if (!text) {
            return BadArguments("cannot read " + exclude_list_file + ": " +
                                text.failure().description);
        }
        exclude_list = ParseExcludeList(*text);
    }
    std::ios::sync_with_stdio(false);  // results lines can be many
    HeadlessRunView view(std::cout, std::cerr, nullptr);
    SystemClock clock;
    CLocaleTextFormat format;
    RunController controller(fs, view, view, clock, format, exclude_list, concurrency);
    controller.SynchronizeNow(settings);
    std::cout.flush();
    return 0;
}

}  // namespace tidemark::bench
