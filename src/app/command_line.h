#pragma once

#include <string>
#include <vector>

namespace tidemark {

/// What the command line asks the program to do.
struct CommandLine {
    enum class Kind {
        kWindow,   ///< no option: the window starts
        kRun,      ///< --run NAME: the saved configuration runs without the window
        kHelp,     ///< --help
        kVersion,  ///< --version
        kUsageError
    };
    Kind kind = Kind::kWindow;
    /// The configuration of --run.
    std::string configuration;
    /// --preview: the run changes nothing, whatever the configuration says.
    bool force_preview = false;
    /// What was wrong, for kUsageError.
    std::string error;
    /// For kUsageError: the argument not understood is one of the window toolkit's own
    /// options ("-style fusion", "-session ..."), which the toolkit takes out itself.
    bool toolkit_option = false;
};

/// Reads the arguments after the program's name. "--run NAME" and "--run=NAME" are the same;
/// --preview needs --run; anything else is a usage error.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// The text of --help, which a usage error prints too.
std::string UsageText();

}  // namespace tidemark
