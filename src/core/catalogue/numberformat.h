#pragma once
// Whole numbers shown through the picture patterns the program's texts use:
// "###,###,##0" (grouped, at least one digit), "###,###" (grouped, nothing for zero),
// "#,##0", "000" (zero-padded). '#' is an optional digit, '0' a required one, a ','
// between digit places asks for thousands groups. Text before and after the digit places
// is copied; a '.' followed by '0's adds that many zero decimals. Up to three sections
// separated by ';' give the positive, negative and zero forms; without a negative
// section a negative number gets a leading "-".

#include <QString>
#include <QStringView>

[[nodiscard]] QString formatNumber(qint64 value, QStringView pattern);
