#include "ui/main_window_layout.h"

#include <array>
#include <string_view>

namespace tidemark::ui {

namespace {

struct DesignedControl {
    const char* name;
    bool in_controls;
    TwipsRect rect;
};

constexpr std::array kDesigned = {
    DesignedControl{"frmControls", false, {-60, -60, 50000, 3015}},
    DesignedControl{"Label4", true, {60, 240, 1275, 195}},
    DesignedControl{"cboConfiguration", true, {1380, 180, 5535, 315}},
    DesignedControl{"cmdConfigSave", true, {7080, 180, 735, 315}},
    DesignedControl{"cmdConfigDel", true, {7980, 180, 735, 315}},
    DesignedControl{"cmdConfigRestore", true, {8880, 180, 735, 315}},
    DesignedControl{"Label3", true, {240, 660, 1095, 255}},
    DesignedControl{"cboStyle", true, {1380, 600, 1215, 315}},
    DesignedControl{"lblDescription", true, {2640, 660, 19995, 195}},
    DesignedControl{"Label2", true, {240, 1080, 1095, 255}},
    DesignedControl{"txtSource", true, {1380, 1020, 7755, 315}},
    DesignedControl{"cmdFile(0)", true, {9240, 1020, 375, 315}},
    DesignedControl{"Label1", true, {240, 1500, 1095, 255}},
    DesignedControl{"txtDestination", true, {1380, 1440, 7755, 315}},
    DesignedControl{"cmdFile(1)", true, {9240, 1440, 375, 315}},
    DesignedControl{"chkUseExcludeList", true, {1380, 1860, 6315, 195}},
    DesignedControl{"lblExcludeList", true, {7920, 1860, 1515, 255}},
    DesignedControl{"chkIgnoreHidden", true, {1380, 2160, 1935, 195}},
    DesignedControl{"chkIgnoreSystem", true, {3360, 2160, 1935, 195}},
    DesignedControl{"chkLogIgnored", true, {5340, 2160, 4155, 195}},
    DesignedControl{"chkReverseSync", true, {1380, 2460, 20000, 255}},
    DesignedControl{"chkPreview", true, {1380, 2820, 8355, 195}},
    DesignedControl{"lblHelp", false, {8160, 3000, 1395, 195}},
    DesignedControl{"cmdSynchronize", false, {3360, 3120, 3315, 435}},
    DesignedControl{"cmdPause", false, {3360, 3120, 1215, 435}},
    DesignedControl{"cmdStop", false, {5460, 3120, 1215, 435}},
    DesignedControl{"lblApprox", false, {180, 3120, 1095, 195}},
    DesignedControl{"lblTimeRemaining", false, {1320, 3120, 2175, 195}},
    DesignedControl{"lblAbout", false, {8160, 3240, 1395, 195}},
    DesignedControl{"lblCalculatedTimeMsg", false, {300, 3420, 2775, 195}},
    DesignedControl{"lblDonate", false, {8160, 3480, 1395, 195}},
    DesignedControl{"lblOutput", false, {120, 3720, 9375, 255}},
    DesignedControl{"lstResults", false, {120, 3960, 9375, 2595}},
    DesignedControl{"ProgressBar1", false, {120, 6660, 9435, 255}},
};

}  // namespace

bool InControls(const std::string& name) {
    for (const DesignedControl& control : kDesigned) {
        if (name == control.name) {
            return control.in_controls;
        }
    }
    return false;
}

Placement DesignedPlacement() {
    Placement places;
    for (const DesignedControl& control : kDesigned) {
        places[control.name] = control.rect;
    }
    return places;
}

void AnchorControls(Placement& places, double width, double height) {
    const double w = width;
    const double h = height;
    places["cboConfiguration"].width = w - 4150;
    places["cmdConfigSave"].left = w - 2700;
    places["cmdConfigDel"].left = w - 1850;
    places["cmdConfigRestore"].left = w - 1000;
    places["lstResults"].height = h - 4800;
    places["ProgressBar1"].top = h - 900;
    places["cmdFile(0)"].left = w - 650;
    places["cmdFile(1)"].left = w - 650;
    places["txtSource"].width = w - 2100;
    places["txtDestination"].width = w - 2100;
    places["lstResults"].width = w - 375;
    // The status line shows whole lines of the list, such as the preview banner: it widens too.
    places["lblOutput"].width = w - 375;
    places["ProgressBar1"].width = w - 375;
    places["lblExcludeList"].left = w - 1800;
    for (const char* link : {"lblHelp", "lblAbout", "lblDonate"}) {
        places[link].left = w - 1700;
    }
    TwipsRect& synchronize = places["cmdSynchronize"];
    synchronize.left = (w - synchronize.width) / 2;
    places["cmdPause"].left = synchronize.left;
    places["cmdStop"].left = synchronize.left + synchronize.width - places["cmdStop"].width;
}

}  // namespace tidemark::ui
