#pragma once

#include <map>
#include <string>

namespace tidemark::ui {

/// 15 twips make one pixel at 96 dots per inch; Qt scales pixels for other densities.
inline constexpr double kTwipsPerPixel = 15.0;

/// The designed client area of the main window.
inline constexpr double kDesignedClientWidth = 9690.0;
inline constexpr double kDesignedClientHeight = 7005.0;

/// The outer size counts the frame as designed: window managers draw frames of their own (and
/// none offscreen), so the window adds this allowance to its client size instead of asking,
/// and the same client size always gives the same layout and the same stored size.
inline constexpr double kFrameWidth = 110.0;
inline constexpr double kFrameHeight = 390.0;

/// The smallest outer size the window can be given.
inline constexpr double kMinimumWidth = 9800.0;
inline constexpr double kMinimumHeight = 6000.0;

/// A control's place in twips: in frmControls' coordinates for the controls inside it, in the
/// window's for the others.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

/// Control name -> place.
using Placement = std::map<std::string, TwipsRect>;

/// True for the controls that sit inside frmControls.
bool InControls(const std::string& name);

/// Every control at its designed place, frmControls included.
Placement DesignedPlacement();

/// The resize rules for an outer size of width × height twips (each at least the minimum):
/// the configuration box, the folder boxes, the results list and the progress bar stretch;
/// the buttons beside them and the link labels keep their distance from the right edge; the
/// progress bar keeps its distance from the bottom; the run buttons stay centred. Everything
/// else keeps its designed place.
void AnchorControls(Placement& places, double width, double height);

}  // namespace tidemark::ui
