#include "app/DateTimeText.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace {

QLocale LocaleOf(const TFormatSettings& formats) {
    return QLocale(QString::fromStdString(formats.LocaleName));
}

QDate DateOf(const DateTimeParts& parts) {
    return QDate(parts.year, parts.month, parts.day);
}

} // namespace

std::string FormatShortDate(TDateTime moment, const TFormatSettings& formats) {
    return LocaleOf(formats)
        .toString(DateOf(DecodeDateTime(moment)), QString::fromStdString(formats.ShortDateFormat))
        .toStdString();
}

std::string FormatShortDateTime(TDateTime moment, const TFormatSettings& formats) {
    const DateTimeParts parts = DecodeDateTime(moment);
    const QTime time(parts.hour, parts.minute, parts.second);
    return FormatShortDate(moment, formats) + ' ' +
           LocaleOf(formats)
               .toString(time, QString::fromStdString(formats.ShortTimeFormat))
               .toStdString();
}
