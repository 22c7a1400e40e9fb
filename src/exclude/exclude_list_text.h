#pragma once

#include <string_view>

#include "engine/exclusion.h"

namespace tidemark {

/// Cuts the exclude list text into entries at every line break (CR LF, or LF alone), keeping
/// each entry exactly as cut: no trimming, and blank entries stay (they never match).
ExcludeList ParseExcludeList(std::string_view text);

}  // namespace tidemark
