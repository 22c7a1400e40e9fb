#pragma once

#include <QRect>
#include <QSize>
#include <map>
#include <set>
#include <string>

namespace tidemark::ui {

/// Control name -> pixel rectangle, in frmControls' coordinates for the controls inside it.
using PixelPlacement = std::map<std::string, QRect>;

/// What the captions need in the fonts at hand.
struct CaptionNeeds {
    /// Control name -> room its caption needs; controls without a caption are absent.
    std::map<std::string, QSize> sizes;
    /// Caption labels whose right edge lines up with the box they name.
    std::set<std::string> right_aligned;
};

/// Makes room for captions that need more than their designed boxes: the caption column
/// widens (the boxes beside it start further right, the stretching ones keeping their right
/// edge), each control grows to its caption (right-aligned labels to the left, every control
/// taller about its middle), and a grown control pushes its right-hand neighbours in the same
/// row along.
void FitCaptions(PixelPlacement& rects, const CaptionNeeds& needs);

/// How many pixels the client area must widen so that no caption or control ends beyond its
/// right margin; 0 or less when everything fits.
int ClientOverflow(const PixelPlacement& rects, const CaptionNeeds& needs, int client_width);

}  // namespace tidemark::ui
