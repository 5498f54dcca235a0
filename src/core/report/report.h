#pragma once
// TRVReport: the catalogue laid out as a landscape report in twips, one detail line per
// record in the record set's current order. Pages are computed from the record count, so
// any page is painted on its own in time proportional to the lines it holds.

#include <QDateTime>
#include <QPageLayout>
#include <QString>

class QPainter;
class RecordSet;
struct DetailText;

struct ReportCaptions {
    QString title;     // lblTitle
    QString sortOrder; // lblSortOrder, blanks included
    QDateTime printedAt = QDateTime::currentDateTime();
};

class TRVReport {
public:
    static constexpr int kBodyWidth = 14436;
    static constexpr int kReportHeaderHeight = 6;
    static constexpr int kPageHeaderHeight = 1626;
    static constexpr int kDetailHeight = 180;
    static constexpr int kPageFooterHeight = 360;
    static constexpr int kReportFooterHeight = 666;

    TRVReport(const RecordSet &records, ReportCaptions captions, const QPageLayout &page = defaultPageLayout());

    // Landscape letter with margins that leave the body room across the page.
    [[nodiscard]] static QPageLayout defaultPageLayout();

    [[nodiscard]] const ReportCaptions &captions() const { return m_captions; }
    void setSortOrder(const QString &sortOrder) { m_captions.sortOrder = sortOrder; }
    [[nodiscard]] const QPageLayout &pageLayout() const { return m_page; }
    void setPageLayout(const QPageLayout &page);

    // False when the printable width is narrower than the body: no report on such a page.
    [[nodiscard]] bool fitsPage() const;
    [[nodiscard]] int pageCount() const; // 0 when the body does not fit
    [[nodiscard]] int firstRecordOn(int page) const;
    [[nodiscard]] int recordsOn(int page) const;

    // The painter works in twips with its origin at the top left of the printable area.
    void paintPage(QPainter &painter, int page) const;

private:
    [[nodiscard]] int printableHeight() const;
    [[nodiscard]] int rowsOnFirstPage() const;
    [[nodiscard]] int rowsPerPage() const;
    [[nodiscard]] int detailPages() const;
    [[nodiscard]] bool footerOnPageOfItsOwn() const;
    void paintPageHeader(QPainter &painter, int top, int page) const;
    void paintDetail(QPainter &painter, DetailText &text, int top, int position) const;
    void paintReportFooter(QPainter &painter, int top) const;

    const RecordSet &m_records;
    ReportCaptions m_captions;
    QPageLayout m_page;
};
