#pragma once

#include <QLocale>
#include <array>
#include <cstdint>
#include <string>

#include "app/help_texts.h"
#include "app/reminders.h"
#include "engine/clock.h"

namespace tidemark {

/// Dates and numbers the way a QLocale writes them (the user's own locale by default), and the
/// local calendar.
class QtLocaleText final : public TextFormat, public LocalCalendar, public LocaleNumberFormat {
  public:
    explicit QtLocaleText(QLocale locale = QLocale());

    /// The short date followed by the time to the second. Not for several threads at once.
    std::string DateTime(FileTime time) override;
    std::string OneDecimal(double value) override;

    LocalDateTime Now() override;
    std::optional<LocalDateTime> ParseLocaleDateTime(const std::string& text) override;

    std::string GroupSeparator() const override;
    std::string DecimalSeparator() const override;

  private:
    QLocale locale_;
    // Asked of the locale once: the run writes two dates per updated file.
    QString date_format_;
    QString time_format_;
    // The last texts written, by the millisecond they show: the files of one update mostly
    // share their times (one edit, one extraction), and the old and the new time alternate.
    struct Written {
        std::int64_t milliseconds = 0;
        std::string text;
    };
    std::array<Written, 2> written_;
    std::size_t oldest_ = 0;
};

}  // namespace tidemark
