#include "printing/printcommand.h"

#include "catalogue/recordset.h"
#include "common/displaystate.h"
#include "common/messagesink.h"
#include "common/printerdialog.h"
#include "lookup/sorting.h"
#include "printing/reportwindow.h"
#include "report/report.h"

#include <QLabel>
#include <QPrinter>
#include <QWidget>

PrintCommand::PrintCommand(PrintControls controls) : m_c(std::move(controls)) {}

PrintCommand::~PrintCommand() = default;

void PrintCommand::mnuPrint_Click()
{
    m_c.messages->showMessage(QStringLiteral("Make sure your printer is in Landscape mode before printing"),
                              QStringLiteral("Printer Must Be In Landscape Mode"));
    // The printer chosen last time stays; its orientation starts as landscape each time.
    if (!m_printer) {
        m_printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(TRVReport::defaultPageLayout());
    }
    m_printer->setPageOrientation(QPageLayout::Landscape);
    if (!m_c.printerDialog->choosePrinter(*m_printer))
        return;
    RecordSet *catalogue = m_c.state ? m_c.state->catalogue.get() : nullptr;
    if (!catalogue || !catalogue->isOpen())
        return;
    const QString caption = m_c.window->windowTitle();
    ReportCaptions captions{caption, m_c.lblSortType->text()};
    if (!TRVReport(*catalogue, captions, m_printer->pageLayout()).fitsPage())
        return;
    delete m_report;
    m_report = new ReportWindow(*catalogue, std::move(captions), m_printer, {sortLine(), m_c.fileDialogs, m_c.folder},
                                m_c.window);
    m_report->setWindowTitle(caption);
    m_report->show();
    m_report->raise();
    m_report->activateWindow();
}

std::function<QString()> PrintCommand::sortLine() const
{
    if (!m_c.sorting)
        return {};
    return [sorting = m_c.sorting] { return sorting->chosenSortCaption(); };
}

ReportWindow *PrintCommand::reportWindow() const
{
    return m_report;
}
