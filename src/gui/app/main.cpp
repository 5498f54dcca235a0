#include "app/appicon.h"
#include "app/desktopstyle.h"
#include "app/frmdisplay.h"
#include "common/captions.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolo"));
    QApplication::setApplicationVersion(captions::version());
    QApplication::setStyle(new DesktopStyle);
    QApplication::setDesktopFileName(QLatin1String(appicon::kDesktopId));
    // Every window without an icon of its own, the dialogs included, shows the program's.
    QApplication::setWindowIcon(appicon::icon());
    FrmDisplay window;
    window.show();
    return app.exec();
}
