#include "app/appicon.h"

#include <QSize>
#include <QString>

// The resources live in a static library: nothing would pull them into the program otherwise.
// Outside any namespace, as the macro requires.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

QIcon appicon::icon()
{
    initResources();
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(kDesktopId)).arg(side), QSize(side, side));
    return icon;
}
