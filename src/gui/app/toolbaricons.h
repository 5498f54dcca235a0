#pragma once
// The toolbar's pictures, one per button key. Drawn by the program itself where the
// style has no fitting standard icon, so no button is ever blank on a bare machine.

#include <QIcon>
#include <QString>

class QStyle;

[[nodiscard]] QIcon toolbarIcon(const QString &key, const QStyle *style);
