#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidemark {

/// The single-precision number a stored text names: plain decimal or exponent notation with an
/// optional sign, blanks at both ends allowed. nullopt for anything else, for infinities, NaN
/// and values too large for single precision.
std::optional<float> ReadSingle(std::string_view text);

/// The shortest text that ReadSingle turns back into exactly this value.
std::string SingleText(float value);

}  // namespace tidemark
