#pragma once

#include <QIcon>

namespace tidemark::ui {

/// The program's icon, drawn from its SVG at the usual icon sizes.
QIcon TidemarkIcon();

}  // namespace tidemark::ui
