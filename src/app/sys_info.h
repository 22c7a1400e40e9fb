#pragma once

#include <string>
#include <string_view>

#include "engine/failure.h"
#include "engine/messages.h"

namespace tidemark {

/// Finds programs on the search path and starts them.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;
    /// The full path of the first executable file called `name` in the absolute folders of the
    /// search path; empty when there is none.
    virtual std::string FindOnPath(const std::string& name) = 0;
    /// Starts the program with no arguments and returns without waiting for it. Fails when it
    /// could not be started.
    virtual Status StartDetached(const std::string& program) = 0;
};

/// The system-information viewers tried, best first.
inline constexpr std::string_view kSysInfoViewers[] = {"hardinfo2", "hardinfo", "kinfocenter",
                                                       "gnome-system-monitor"};

/// Starts the first system-information viewer found on the search path. When none is found or
/// it does not start, shows "System Information Is Unavailable At This Time". Answers whether a
/// viewer was started.
bool StartSysInfo(ProgramLauncher& launcher, MessagePort& messages);

}  // namespace tidemark
