#include "platform/localeformat.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

QLocale generalLocale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

// Short date formats often carry a two-digit year.
QString withFullYear(QString format)
{
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
}

// The long time format names the time zone; the general form does not.
QString withoutZone(QString format)
{
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return format.trimmed();
}

} // namespace

QString shortDateText(QDate date)
{
    const QLocale locale = generalLocale();
    return locale.toString(date, withFullYear(locale.dateFormat(QLocale::ShortFormat)));
}

QString longTimeText(QTime time)
{
    const QLocale locale = generalLocale();
    return locale.toString(time, withoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString generalDateTimeText(const QDateTime &when)
{
    return shortDateText(when.date()) + u' ' + longTimeText(when.time());
}
