// The report of a large catalogue: how soon the report window shows its first page, how
// long any later page takes, what the report adds to memory, and how long a PDF takes.
// Usage: report_bench [RECORDS [PDF_RECORDS]]   (defaults 1000000 and 100000)

#include "printing/reportwindow.h"
#include "report/report.h"
#include "report/reportoutput.h"
#include "synthetic.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>

namespace {

double residentMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * 4096.0 / (1024.0 * 1024.0);
}

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// Shows the window and waits until its page has been painted once.
double showAndPaint(ReportWindow &w)
{
    QElapsedTimer t;
    t.start();
    w.show();
    w.repaint();
    QCoreApplication::processEvents();
    w.findChild<QWidget *>(QStringLiteral("pageView"))->repaint();
    return ms(t);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int pdfRecords = argc > 2 ? std::atoi(argv[2]) : 100'000;

    RecordSet rs;
    CreateRecordSet(rs);
    fillSyntheticCatalogue(rs, records);
    (void)rs.setSort(u"Field7 Desc");
    const ReportCaptions captions{QStringLiteral("Tarvolo  -  Display Of Files As Of 12-7-2026 9-05-03 PM"),
                                  QStringLiteral(" Sorted By Size - Descending ")};
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageLayout(TRVReport::defaultPageLayout());
    const double before = residentMb();

    QElapsedTimer t;
    t.start();
    ReportWindow window(rs, captions, printer);
    const double built = ms(t);
    const double firstShown = built + showAndPaint(window);
    const int pages = window.report().pageCount();
    std::printf("records %d, pages %d\n", records, pages);
    std::printf("first page shown: %.1f ms (window built in %.1f ms)\n", firstShown, built);

    std::mt19937 rng(7);
    double worst = 0, total = 0;
    constexpr int kJumps = 200;
    for (int i = 0; i < kJumps; ++i) {
        t.restart();
        window.showPage(int(rng() % unsigned(pages)));
        window.findChild<QWidget *>(QStringLiteral("pageView"))->repaint();
        const double took = ms(t);
        worst = std::max(worst, took);
        total += took;
    }
    std::printf("any page (%d random jumps): mean %.2f ms, worst %.2f ms\n", kJumps, total / kJumps, worst);
    std::printf("memory growth with the report shown: %.1f MB\n", residentMb() - before);

    RecordSet small;
    CreateRecordSet(small);
    fillSyntheticCatalogue(small, pdfRecords);
    const TRVReport report(small, captions);
    const QString pdf = QDir::temp().filePath(QStringLiteral("report_bench.pdf"));
    int progressCalls = 0;
    t.restart();
    const std::clock_t cpu = std::clock();
    const ReportOutcome outcome =
        writeReportPdf(report, pdf, [&progressCalls](int, int) { return ++progressCalls, true; });
    const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("PDF of %d records: %d pages in %.2f s (%.2f s of CPU), %.1f MB, %d progress calls, %s (%s)\n",
                pdfRecords, report.pageCount(), ms(t) / 1000.0, cpuSeconds,
                double(QFileInfo(pdf).size()) / (1024.0 * 1024.0), progressCalls,
                outcome == ReportOutcome::Done ? "done" : "FAILED", qPrintable(pdf));
    return outcome == ReportOutcome::Done ? 0 : 1;
}
