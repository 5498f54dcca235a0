#include "app/desktopstyle.h"
#include "app/frmdisplay.h"
#include "ui/captions.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolo"));
    QApplication::setApplicationVersion(captions::version());
    QApplication::setStyle(new DesktopStyle);
    FrmDisplay window;
    window.show();
    return app.exec();
}
