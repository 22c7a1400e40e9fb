#include "app/window_geometry.h"

#include "app/stored_value.h"

namespace tidemark {

StoredGeometry ReadWindowGeometry(SettingsStore& settings) {
    StoredGeometry geometry;
    geometry.width = ReadSingle(settings.Read(settings_keys::kScreenWidth));
    geometry.height = ReadSingle(settings.Read(settings_keys::kScreenHeight));
    geometry.top = ReadSingle(settings.Read(settings_keys::kScreenTop));
    geometry.left = ReadSingle(settings.Read(settings_keys::kScreenLeft));
    return geometry;
}

void WriteWindowGeometry(SettingsStore& settings, float width, float height, float top,
                         float left) {
    // A store that cannot be written loses the geometry; the window opens at its default.
    (void)settings.Write(settings_keys::kScreenWidth, SingleText(width));
    (void)settings.Write(settings_keys::kScreenHeight, SingleText(height));
    (void)settings.Write(settings_keys::kScreenTop, SingleText(top));
    (void)settings.Write(settings_keys::kScreenLeft, SingleText(left));
}

}  // namespace tidemark
