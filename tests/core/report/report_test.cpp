// Guards the report's paging (lines per page, where the total falls, pages too narrow for
// the body) and what a reader finds on the printed pages: headings, the order, sizes as
// "#,##0", dates and times whole within their boxes, and the total.
#include "catalogue/layouts.h"
#include "report/report.h"
#include "report/reportoutput.h"
#include "support/pdftext.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void addFile(RecordSet &rs, const QString &name, qint64 size)
{
    rs.addNew();
    rs.setField(fld::LongName, name.toUpper().leftJustified(25));
    rs.setField(fld::ShortName, QString().leftJustified(14));
    rs.setField(fld::Path, QStringLiteral("/HOME/ANN/"));
    rs.setField(fld::Modified, QStringLiteral("07/04/1999  03:15:42 PM"));
    rs.setField(fld::Created, QStringLiteral("07/04/1999  03:15:42 PM"));
    rs.setField(fld::Accessed, QStringLiteral("07/05/1999"));
    rs.setField(fld::Size, size);
}

RecordSet &catalogueOf(RecordSet &rs, int files)
{
    CreateRecordSet(rs);
    for (int i = 0; i < files; ++i)
        addFile(rs, QStringLiteral("file%1.txt").arg(i), i);
    return rs;
}

} // namespace

TEST(TRVReport, PagesHoldFiftyLinesAndTheTotalNeedsRoomOfItsOwn)
{
    struct Case {
        int files, pages, onLast;
    };
    // 50 lines a page; the 666-twip total fits under 46 lines but not under 47.
    const Case cases[] = {{0, 1, 0}, {46, 1, 46}, {47, 2, 0}, {50, 2, 0}, {51, 2, 1}, {100, 3, 0}, {1234, 25, 34}};
    for (const Case &c : cases) {
        RecordSet rs;
        const TRVReport report(catalogueOf(rs, c.files), {});
        EXPECT_EQ(report.pageCount(), c.pages) << c.files;
        EXPECT_EQ(report.recordsOn(report.pageCount() - 1), c.onLast) << c.files;
        int total = 0;
        for (int p = 0; p < report.pageCount(); ++p) {
            EXPECT_EQ(report.firstRecordOn(p), total) << c.files << " page " << p;
            total += report.recordsOn(p);
        }
        EXPECT_EQ(total, c.files);
    }
}

TEST(TRVReport, OnlyAPageAsWideAsTheBodyGetsAReport)
{
    RecordSet rs;
    catalogueOf(rs, 3);
    QPageLayout page = TRVReport::defaultPageLayout();
    page.setOrientation(QPageLayout::Landscape);
    EXPECT_TRUE(TRVReport(rs, {}, page).fitsPage());
    page.setPageSize(QPageSize(QPageSize::A4));
    EXPECT_TRUE(TRVReport(rs, {}, page).fitsPage());
    page.setOrientation(QPageLayout::Portrait);
    const TRVReport portrait(rs, {}, page);
    EXPECT_FALSE(portrait.fitsPage());
    EXPECT_EQ(portrait.pageCount(), 0);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    EXPECT_EQ(writeReportPdf(portrait, pdf), ReportOutcome::DoesNotFit);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(TRVReport, PdfReadsBackInTheCatalogueOrder)
{
    RecordSet rs;
    catalogueOf(rs, 120);
    addFile(rs, QStringLiteral("biggest.iso"), 1234567);
    addFile(rs, QStringLiteral("résumé.txt"), 1000); // takes the painter's own path
    ASSERT_TRUE(rs.setSort(u"Field7 Desc"));
    const QString title = QStringLiteral("Tarvolo  -  Display Of Files As Of 7-4-1999 3-15-42 PM");
    const TRVReport report(
        rs, {title, QStringLiteral(" Sorted By Size - Descending "), QDateTime(QDate(2026, 12, 7), QTime(21, 5, 3))});
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    ASSERT_EQ(writeReportPdf(report, pdf), ReportOutcome::Done);
    ASSERT_EQ(pdfPageCount(pdf), 3);

    const QString first = pdfPageText(pdf, 1);
    for (const char *text : {"Tarvolo - Display Of Files As Of 7-4-1999 3-15-42 PM", "Sorted By Size - Descending",
                             "Current Date: 12/7/2026 9:05:03 PM", "Page 1 of 3"})
        EXPECT_TRUE(first.simplified().contains(QLatin1String(text))) << text << "\n" << first.toStdString();
    const QStringList lines = first.split(u'\n');
    const auto firstLine = std::find_if(lines.begin(), lines.end(),
                                        [](const QString &l) { return l.contains(QLatin1String("/HOME/ANN/")); });
    ASSERT_NE(firstLine, lines.end());
    EXPECT_TRUE(firstLine->startsWith(QLatin1String("BIGGEST.ISO")) && firstLine->endsWith(QLatin1String("1,234,567")))
        << firstLine->toStdString();

    const QString last = pdfPageText(pdf, 3).simplified();
    EXPECT_TRUE(last.contains(QLatin1String("Page 3 of 3")));
    EXPECT_TRUE(last.contains(QLatin1String("Total Number Of Files: 122"))) << last.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("RÉSUMÉ.TXT")) && first.contains(QLatin1String("1,000")));
}

TEST(TRVReport, CancelledPdfLeavesNoFile)
{
    RecordSet rs;
    const TRVReport report(catalogueOf(rs, 200), {});
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    int calls = 0;
    EXPECT_EQ(writeReportPdf(report, pdf, [&calls](int done, int) { return ++calls, done < 2; }),
              ReportOutcome::Cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(TRVReport, DatesAndTimesPrintWholeWithinTheirBoxes)
{
    RecordSet rs;
    CreateRecordSet(rs);
    addFile(rs, QStringLiteral("wide.txt"), 1);
    // The widest of each: every digit is as wide as another, and "PM" is wider than "AM".
    rs.setField(fld::Modified, QStringLiteral("12/28/2023  12:58:58 PM"));
    rs.setField(fld::Created, QStringLiteral("12/28/2023  10:08:08 PM     "));
    addFile(rs, QStringLiteral("other.txt"), 2);
    rs.setField(fld::Modified, QStringLiteral("01/01/2000  01:01:01 AM"));
    rs.setField(fld::Created, QString().leftJustified(23)); // a time that could not be converted
    const TRVReport report(rs, {QStringLiteral("Fit"), QString(), QDateTime(QDate(2026, 12, 28), QTime(22, 58, 58))});
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    ASSERT_EQ(writeReportPdf(report, pdf), ReportOutcome::Done);

    const QString text = pdfPageText(pdf, 1).simplified();
    for (const char *shown :
         {"WIDE.TXT /HOME/ANN/ 12/28/2023 12:58:58 PM 12/28/2023 10:08:08 PM 07/05/1999 1",
          "OTHER.TXT /HOME/ANN/ 01/01/2000 01:01:01 AM 07/05/1999 2", "Current Date: 12/28/2026 10:58:58 PM"})
        EXPECT_TRUE(text.contains(QLatin1String(shown))) << shown << "\n" << text.toStdString();

    // Each box, in points across the page: its left edge and its right edge.
    const qreal margin = TRVReport::defaultPageLayout().margins(QPageLayout::Point).left();
    const struct {
        const char *date, *time;
        qreal left, right;
    } boxes[] = {{"12/28/2023", "12:58:58", 8208, 8208 + 1728},
                 {"12/28/2023", "10:08:08", 10224, 10224 + 1584},
                 {"07/05/1999", nullptr, 12096, 12096 + 1008}};
    const std::vector<PdfWord> words = pdfPageWords(pdf, 1);
    for (const auto &box : boxes) {
        const auto date = std::find_if(words.begin(), words.end(), [&](const PdfWord &w) {
            return w.text == QLatin1String(box.date) && w.box.left() > margin + box.left / 20 - 1;
        });
        ASSERT_NE(date, words.end()) << box.date;
        const auto end = box.time ? date + 2 : date;
        ASSERT_LT(end, words.end());
        if (box.time) {
            EXPECT_EQ((date + 1)->text, QLatin1String(box.time));
        }
        EXPECT_GE(date->box.left(), margin + box.left / 20 - 0.5) << box.date;
        EXPECT_LE(end->box.right(), margin + box.right / 20) << end->text.toStdString() << " of " << box.date;
    }
}
