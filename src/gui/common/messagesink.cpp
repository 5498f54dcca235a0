#include "common/messagesink.h"

#include <QMessageBox>

void MessageBoxSink::showMessage(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}
