#pragma once

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

}  // namespace tidemark
