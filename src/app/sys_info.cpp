#include "app/sys_info.h"

namespace tidemark {

bool StartSysInfo(ProgramLauncher& launcher, MessagePort& messages) {
    for (std::string_view viewer : kSysInfoViewers) {
        const std::string program = launcher.FindOnPath(std::string(viewer));
        if (program.empty()) {
            continue;
        }
        if (launcher.StartDetached(program).ok()) {
            return true;
        }
        break;  // the best viewer there is would not start: say so rather than try lesser ones
    }
    (void)messages.ShowMessage("System Information Is Unavailable At This Time",
                               MessageButtons::kOk, MessageIcon::kNone);
    return false;
}

}  // namespace tidemark
