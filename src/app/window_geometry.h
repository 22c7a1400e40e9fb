#pragma once

#include <optional>

#include "app/settings_store.h"

namespace tidemark {

/// The main window's remembered outer size and position in twips (15 per pixel at 96 dots
/// per inch). A value that was never stored or does not read as a number is absent.
struct StoredGeometry {
    std::optional<float> width;
    std::optional<float> height;
    std::optional<float> top;
    std::optional<float> left;
};

StoredGeometry ReadWindowGeometry(SettingsStore& settings);

/// Stores width, height, top and left, in this order.
void WriteWindowGeometry(SettingsStore& settings, float width, float height, float top, float left);

}  // namespace tidemark
