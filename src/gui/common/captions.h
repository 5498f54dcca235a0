#pragma once
// Captions that more than one window or command sets.

#include <QString>

namespace captions {

// The main window's caption at start-up and after Clear.
inline QString startCaption()
{
    return QStringLiteral("Tarvolo  -  File Display");
}

// The program's version as the About box and `trv --version` show it.
inline QString version()
{
    return QStringLiteral(TARVOLO_VERSION);
}

} // namespace captions
