#include "app/frmdisplay.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvolo"));
    QApplication::setApplicationVersion(QStringLiteral("1.03"));
    FrmDisplay window;
    window.show();
    return app.exec();
}
