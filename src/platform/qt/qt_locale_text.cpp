#include "platform/qt/qt_locale_text.h"

#include <QDateTime>
#include <QTimeZone>

namespace tidemark {

namespace {

/// Two-digit years read as 1900 to 1999; a stored date of this program lies after 2000.
QDate InThisCentury(QDate date, const QString& format) {
    if (!format.contains(QStringLiteral("yyyy")) && date.year() < 2000) {
        return date.addYears(100);
    }
    return date;
}

LocalDateTime FromQt(const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    return LocalDateTime{
        std::chrono::year_month_day{std::chrono::year{date.year()},
                                    std::chrono::month{static_cast<unsigned>(date.month())},
                                    std::chrono::day{static_cast<unsigned>(date.day())}},
        time.hour(), time.minute(), time.second()};
}

/// The locale's long time format without the time zone: the time to the second.
QString TimeWithSeconds(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

}  // namespace

QtLocaleText::QtLocaleText(QLocale locale)
    : locale_(std::move(locale)),
      date_format_(locale_.dateFormat(QLocale::ShortFormat)),
      time_format_(TimeWithSeconds(locale_)) {}

std::string QtLocaleText::DateTime(FileTime time) {
    // Whole milliseconds towards the past, as the clock counts.
    FileTime milliseconds = time / 1'000'000;
    if (time < 0 && time % 1'000'000 != 0) {
        --milliseconds;
    }
    for (const Written& written : written_) {
        if (written.milliseconds == milliseconds && !written.text.empty()) {
            return written.text;
        }
    }
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::LocalTime);
    const QString text = locale_.toString(local.date(), date_format_) + QLatin1Char(' ') +
                         locale_.toString(local.time(), time_format_);
    Written& replaced = written_[oldest_];
    oldest_ = (oldest_ + 1) % written_.size();
    replaced = Written{milliseconds, text.toStdString()};
    return replaced.text;
}

std::string QtLocaleText::OneDecimal(double value) {
    return locale_.toString(value, 'f', 1).toStdString();
}

LocalDateTime QtLocaleText::Now() {
    return FromQt(QDateTime::currentDateTime());
}

std::optional<LocalDateTime> QtLocaleText::ParseLocaleDateTime(const std::string& text) {
    const QString value = QString::fromStdString(text).trimmed();
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString date_format = locale_.dateFormat(type);
        for (const QString& time_format :
             {TimeWithSeconds(locale_), locale_.timeFormat(QLocale::ShortFormat)}) {
            const QDateTime parsed =
                locale_.toDateTime(value, date_format + QLatin1Char(' ') + time_format);
            if (parsed.isValid()) {
                return FromQt(QDateTime(InThisCentury(parsed.date(), date_format), parsed.time()));
            }
        }
        const QDate date = locale_.toDate(value, date_format);
        if (date.isValid()) {
            return FromQt(QDateTime(InThisCentury(date, date_format), QTime(0, 0)));
        }
    }
    return std::nullopt;
}

std::string QtLocaleText::GroupSeparator() const {
    return locale_.groupSeparator().toStdString();
}

std::string QtLocaleText::DecimalSeparator() const {
    return locale_.decimalPoint().toStdString();
}

}  // namespace tidemark
