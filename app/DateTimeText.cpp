#include "app/DateTimeText.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

std::string FormatShortDateTime(TDateTime moment, const TFormatSettings& formats) {
    const DateTimeParts parts = DecodeDateTime(moment);
    const QLocale locale(QString::fromStdString(formats.LocaleName));
    const QDate date(parts.year, parts.month, parts.day);
    const QTime time(parts.hour, parts.minute, parts.second);
    return (locale.toString(date, QString::fromStdString(formats.ShortDateFormat)) + ' ' +
            locale.toString(time, QString::fromStdString(formats.ShortTimeFormat)))
        .toStdString();
}
