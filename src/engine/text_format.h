#pragma once

#include <string>

#include "engine/file_system_port.h"

namespace tidemark {

/// Dates and numbers as the user's locale writes them.
class TextFormat {
  public:
    virtual ~TextFormat() = default;
    /// Local date and time to the second, in the locale's short form.
    virtual std::string DateTime(FileTime time) = 0;
    /// A number with exactly one decimal, with the locale's separators.
    virtual std::string OneDecimal(double value) = 0;
};

}  // namespace tidemark
