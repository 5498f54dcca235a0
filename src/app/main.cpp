#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setObjectName(QStringLiteral("frmDisplay"));
    w.setWindowTitle(QStringLiteral("Tarvolo  -  File Display"));
    w.show();
    return app.exec();
}
