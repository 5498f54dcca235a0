#pragma once
// The general date-and-time text of the system's locale: its short date with a
// four-digit year and its time with seconds. Without a locale (C/POSIX) the US English
// form is used: 7/4/1999 3:15:42 PM.

#include <QDateTime>
#include <QString>

[[nodiscard]] QString generalDateTimeText(const QDateTime &when);
// Its two halves, as the report's header shows them: 7/4/1999 and 3:15:42 PM.
[[nodiscard]] QString shortDateText(QDate date);
[[nodiscard]] QString longTimeText(QTime time);
