#pragma once

#include "engine/clock.h"

namespace tidemark {

/// The machine's steady clock for durations and its wall clock for dates.
class SystemClock final : public Clock {
  public:
    double Seconds() override;
    FileTime Now() override;
};

/// Dates and numbers in the C library's idea of the current locale (set with setlocale).
class CLocaleTextFormat final : public TextFormat {
  public:
    std::string DateTime(FileTime time) override;
    std::string OneDecimal(double value) override;
};

}  // namespace tidemark
