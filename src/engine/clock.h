#pragma once

#include <string>

#include "engine/file_system_port.h"

namespace tidemark {

/// Time as the engine reads it.
class Clock {
  public:
    virtual ~Clock() = default;
    /// Seconds with fractions from a steady clock; only differences are meaningful.
    virtual double Seconds() = 0;
    /// The current wall-clock time.
    virtual FileTime Now() = 0;
};

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
