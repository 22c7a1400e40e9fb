#pragma once

#include <QRect>
#include <algorithm>
#include <cmath>

#include "ui/main_window_layout.h"

namespace tidemark::ui {

/// Whole pixels for a length in twips, kept within what a widget can take (stored sizes
/// beyond it are cut to it).
inline int Pixels(double twips) {
    constexpr double kLargestPixels = 16'777'215.0;
    return static_cast<int>(
        std::lround(std::clamp(twips / kTwipsPerPixel, -kLargestPixels, kLargestPixels)));
}

inline double Twips(int pixels) {
    return pixels * kTwipsPerPixel;
}

/// A designed place in twips as a pixel rectangle.
inline QRect PixelRect(double left, double top, double width, double height) {
    return QRect(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

}  // namespace tidemark::ui
