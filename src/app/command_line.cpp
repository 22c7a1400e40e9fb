#include "app/command_line.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace tidemark {

namespace {

CommandLine UsageError(std::string error) {
    CommandLine command;
    command.kind = CommandLine::Kind::kUsageError;
    command.error = std::move(error);
    return command;
}

/// The options Qt's application objects take for themselves.
bool IsToolkitOption(std::string_view argument) {
    constexpr std::string_view kOptions[] = {"-platform",      "-platformpluginpath",
                                             "-platformtheme", "-plugin",
                                             "-qmljsdebugger", "-qwindowgeometry",
                                             "-qwindowicon",   "-qwindowtitle",
                                             "-reverse",       "-session",
                                             "-display",       "-geometry",
                                             "-name",          "-title",
                                             "-visual",        "-ncols",
                                             "-cmap",          "-im",
                                             "-nograb",        "-dograb",
                                             "-sync",          "-style",
                                             "-stylesheet",    "-widgetcount"};
    const std::string_view name = argument.substr(0, argument.find('='));
    return std::find(std::begin(kOptions), std::end(kOptions), name) != std::end(kOptions);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine command;
    bool run = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            command.kind = CommandLine::Kind::kHelp;
            return command;
        }
        if (argument == "--version") {
            command.kind = CommandLine::Kind::kVersion;
            return command;
        }
        if (argument == "--preview") {
            command.force_preview = true;
        } else if (argument == "--run" || argument.starts_with("--run=")) {
            if (run) {
                return UsageError("--run is given twice");
            }
            run = true;
            if (argument == "--run") {
                if (i + 1 == arguments.size()) {
                    return UsageError("--run needs the name of a configuration");
                }
                command.configuration = arguments[++i];
            } else {
                command.configuration = argument.substr(6);
            }
        } else {
            CommandLine error = UsageError("unknown option " + argument);
            error.toolkit_option = IsToolkitOption(argument);
            return error;
        }
    }
    if (command.force_preview && !run) {
        return UsageError("--preview needs --run");
    }
    if (run) {
        command.kind = CommandLine::Kind::kRun;
    }
    return command;
}

std::string UsageText() {
    return "Usage: tidemark [--run NAME [--preview]]\n"
           "Keeps two folders in step. Without options the window opens.\n"
           "\n"
           "  --run NAME   run the saved configuration NAME without the window: a missing\n"
           "               destination is created and every question is answered Yes; results\n"
           "               lines go to standard output, messages to standard error\n"
           "  --preview    with --run: a preview that changes nothing\n"
           "  --help       show this text and exit\n"
           "  --version    show the version and exit\n"
           "\n"
           "Every run, in the window too, is appended to logs/YYYY-MM-DD.log in the\n"
           "program's folder: beside the program when that folder is writable, otherwise\n"
           "~/.local/share/Tidemark.\n"
           "Exit status of --run: 0 finished without failures, 1 finished with failures,\n"
           "2 could not run (unknown configuration, missing source, ...).\n";
}

}  // namespace tidemark
