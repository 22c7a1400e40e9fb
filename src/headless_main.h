#pragma once

#include "app/command_line.h"

namespace tidemark {

/// `tidemark --run NAME`: the saved configuration runs without a window and without a display
/// (Qt Core only). Answers the exit status.
int RunWithoutWindow(int argc, char* argv[], const CommandLine& command);

}  // namespace tidemark
