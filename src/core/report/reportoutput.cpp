#include "report/reportoutput.h"

#include "report/report.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

constexpr qreal kTwipsPerInch = 1440.0;

bool proceed(const ReportProgress &progress, int done, int count)
{
    return !progress || progress(done, count);
}

} // namespace

ReportOutcome paintReport(const TRVReport &report, QPagedPaintDevice &device, const ReportProgress &progress)
{
    if (!report.fitsPage())
        return ReportOutcome::DoesNotFit;
    const int pages = report.pageCount();
    if (!proceed(progress, 0, pages))
        return ReportOutcome::Cancelled;
    QPainter painter;
    if (!painter.begin(&device))
        return ReportOutcome::Failed;
    painter.scale(device.logicalDpiX() / kTwipsPerInch, device.logicalDpiY() / kTwipsPerInch);
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !proceed(progress, page, pages)) {
            painter.end();
            return ReportOutcome::Cancelled;
        }
        if (page > 0 && !device.newPage()) {
            painter.end();
            return ReportOutcome::Failed;
        }
        report.paintPage(painter, page);
    }
    if (!painter.end())
        return ReportOutcome::Failed;
    return proceed(progress, pages, pages) ? ReportOutcome::Done : ReportOutcome::Cancelled;
}

ReportOutcome writeReportPdf(const TRVReport &report, const QString &fileName, const ReportProgress &progress)
{
    if (!report.fitsPage())
        return ReportOutcome::DoesNotFit;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return ReportOutcome::Failed;
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("Tarvolo"));
    writer.setTitle(report.captions().title);
    if (!writer.setPageLayout(report.pageLayout()))
        return ReportOutcome::Failed;
    const ReportOutcome outcome = paintReport(report, writer, progress);
    if (outcome != ReportOutcome::Done)
        return outcome;
    return file.commit() ? ReportOutcome::Done : ReportOutcome::Failed;
}
