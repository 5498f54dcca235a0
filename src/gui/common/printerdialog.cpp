#include "common/printerdialog.h"

#include <QPrintDialog>

bool QtPrinterDialog::choosePrinter(QPrinter &printer)
{
    QPrintDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}
