#include "report/report.h"

#include "catalogue/layouts.h"
#include "catalogue/numberformat.h"
#include "platform/localeformat.h"
#include "report/reportboxtext.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr int kTwipsPerPoint = 20;
// A 0.4-inch margin all round leaves 14688 twips across a landscape letter page.
constexpr qreal kMarginPoints = 28.8;
constexpr int kLinePen = 15; // one pixel at 96 DPI

struct Label {
    int left, top, width, height;
    int tenthsOfPoint;
    const char16_t *caption;
    Qt::Alignment align = Qt::AlignLeft;
};

// Page header; the title and the sort order come from the print command.
constexpr Label kHeadings[] = {
    {576, 1152, 1152, 288, 102, u"Long Name"},      {2448, 1152, 1296, 288, 102, u"Short Name"},
    {5328, 1152, 1296, 288, 102, u"Path"},          {8064, 1152, 1872, 288, 102, u" Date Last Modified"},
    {10368, 1152, 1296, 288, 102, u"Date Created"}, {11808, 1152, 1440, 288, 102, u"D\\L Accessed"},
    {13536, 1152, 864, 288, 102, u"File Size"},
};
constexpr Label kTitle{3456, 144, 7776, 288, 138, nullptr};
constexpr Label kSortOrder{4608, 720, 5472, 288, 120, nullptr, Qt::AlignHCenter};
constexpr Label kDateTime{288, 720, 3168, 288, 90, u"Current Date:  %d  %T"};
constexpr Label kPageNumber{12528, 720, 1728, 288, 90, u"Page  %p of %P"};

struct Rule {
    int left, width;
};
constexpr int kRuleTop = 1440;
constexpr Rule kRules[] = {{0, 2160},     {2448, 1152},  {3888, 4032}, {8064, 1872},
                           {10368, 1296}, {11808, 1296}, {13392, 1008}};

struct TextBox {
    int left, width, field;
    bool whole = false; // a date and time: condensed to its box rather than cut
};
constexpr int kDetailPoints = 78;
constexpr TextBox kTextBoxes[] = {
    {0, 2304, fld::LongName},          {2448, 1152, fld::ShortName},      {3744, 4320, fld::Path},
    {8208, 1728, fld::Modified, true}, {10224, 1584, fld::Created, true}, {12096, 1008, fld::Accessed, true},
};
constexpr TextBox kSizeBox{13248, 1008, fld::Size};
const QString kSizeFormat = QStringLiteral("#,##0");
// Arial's narrow cut, for the dates that are wider than their boxes in the regular one.
const QString kCondensedFamily = QStringLiteral("Arial Narrow");

constexpr Label kTotalsLabel{0, 288, 2304, 288, 102, u"Total Number Of Files:"};
constexpr Label kTotalsCount{2592, 288, 1008, 288, 102, nullptr};

// Sizes in twips, so the painter's scale alone decides the size on the device.
QFont reportFont(int tenthsOfPoint, bool bold, const QString &family = QStringLiteral("Arial"))
{
    QFont f(family);
    f.setPixelSize(tenthsOfPoint * kTwipsPerPoint / 10);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting); // the same widths on screen and paper
    return f;
}

void drawLabel(QPainter &p, int sectionTop, const Label &l, const QString &text)
{
    p.setFont(reportFont(l.tenthsOfPoint, true));
    p.drawText(QRect(l.left, sectionTop + l.top, l.width, l.height), int(l.align | Qt::AlignTop) | Qt::TextSingleLine,
               text);
}

QString caption(const Label &l)
{
    return QString::fromUtf16(l.caption);
}

QStringView withoutTrailingBlanks(QStringView s)
{
    while (!s.isEmpty() && s.back() == u' ')
        s.chop(1);
    return s;
}

int ceilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

} // namespace

TRVReport::TRVReport(const RecordSet &records, ReportCaptions captions, const QPageLayout &page)
    : m_records(records), m_captions(std::move(captions)), m_page(page)
{
}

QPageLayout TRVReport::defaultPageLayout()
{
    const QMarginsF margins(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints);
    return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, margins, QPageLayout::Point);
}

void TRVReport::setPageLayout(const QPageLayout &page)
{
    m_page = page;
}

bool TRVReport::fitsPage() const
{
    return qRound(m_page.paintRect(QPageLayout::Point).width() * kTwipsPerPoint) >= kBodyWidth;
}

int TRVReport::printableHeight() const
{
    return int(m_page.paintRect(QPageLayout::Point).height() * kTwipsPerPoint);
}

int TRVReport::rowsOnFirstPage() const
{
    const int room = printableHeight() - kPageHeaderHeight - kPageFooterHeight - kReportHeaderHeight;
    return std::max(0, room / kDetailHeight);
}

int TRVReport::rowsPerPage() const
{
    // At least one line a page, or a short page would never end the report.
    return std::max(1, (printableHeight() - kPageHeaderHeight - kPageFooterHeight) / kDetailHeight);
}

int TRVReport::detailPages() const
{
    const int n = m_records.count();
    const int first = rowsOnFirstPage();
    return n <= first ? 1 : 1 + ceilDiv(n - first, rowsPerPage());
}

bool TRVReport::footerOnPageOfItsOwn() const
{
    const int last = detailPages() - 1;
    const int used = (last == 0 ? kReportHeaderHeight : 0) + recordsOn(last) * kDetailHeight;
    const int room = printableHeight() - kPageHeaderHeight - kPageFooterHeight;
    return room - used < kReportFooterHeight;
}

int TRVReport::pageCount() const
{
    if (!fitsPage())
        return 0;
    return detailPages() + (footerOnPageOfItsOwn() ? 1 : 0);
}

int TRVReport::firstRecordOn(int page) const
{
    if (page <= 0)
        return 0;
    const qint64 first = rowsOnFirstPage() + qint64(page - 1) * rowsPerPage();
    return int(std::min<qint64>(first, m_records.count()));
}

int TRVReport::recordsOn(int page) const
{
    if (page < 0)
        return 0;
    const int first = firstRecordOn(page);
    const int room = page == 0 ? rowsOnFirstPage() : rowsPerPage();
    return std::min(room, m_records.count() - first);
}

void TRVReport::paintPage(QPainter &painter, int page) const
{
    const int pages = pageCount();
    if (page < 0 || page >= pages)
        return;
    painter.save();
    painter.setPen(QPen(Qt::black, kLinePen));
    int top = page == 0 ? kReportHeaderHeight : 0;
    paintPageHeader(painter, top, page);
    top += kPageHeaderHeight;
    const int first = firstRecordOn(page);
    const int count = recordsOn(page);
    const QFont detailFont = reportFont(kDetailPoints, false);
    painter.setFont(detailFont);
    DetailText text{ReportBoxText(detailFont), ReportBoxText(reportFont(kDetailPoints, false, kCondensedFamily))};
    for (int i = 0; i < count; ++i, top += kDetailHeight)
        paintDetail(painter, text, top, first + i);
    if (page == pages - 1)
        paintReportFooter(painter, top);
    painter.restore();
}

void TRVReport::paintPageHeader(QPainter &painter, int top, int page) const
{
    drawLabel(painter, top, kTitle, m_captions.title);
    drawLabel(painter, top, kSortOrder, m_captions.sortOrder);
    const QDateTime &at = m_captions.printedAt;
    drawLabel(painter, top, kDateTime,
              caption(kDateTime)
                  .replace(QLatin1String("%d"), shortDateText(at.date()))
                  .replace(QLatin1String("%T"), longTimeText(at.time())));
    drawLabel(painter, top, kPageNumber,
              caption(kPageNumber)
                  .replace(QLatin1String("%p"), QString::number(page + 1))
                  .replace(QLatin1String("%P"), QString::number(pageCount())));
    for (const Label &heading : kHeadings)
        drawLabel(painter, top, heading, caption(heading));
    for (const Rule &r : kRules)
        painter.drawLine(r.left, top + kRuleTop, r.left + r.width, top + kRuleTop);
}

void TRVReport::paintDetail(QPainter &painter, DetailText &text, int top, int position) const
{
    const qreal baseline = top + text.regular.ascent();
    for (const TextBox &box : kTextBoxes) {
        const QString value = m_records.textAt(position, box.field);
        const QStringView shown = withoutTrailingBlanks(value);
        const QPointF at(box.left, baseline);
        // A time cut to "12:58:4" or without its PM would be a wrong time.
        if (box.whole && text.regular.width(shown) > box.width)
            text.condensed.drawSqueezed(painter, at, shown, box.width);
        else
            text.regular.drawLeft(painter, at, shown, box.width);
    }
    text.regular.drawRight(painter, QPointF(kSizeBox.left + kSizeBox.width, baseline),
                           formatNumber(m_records.integerAt(position, kSizeBox.field), kSizeFormat));
}

void TRVReport::paintReportFooter(QPainter &painter, int top) const
{
    drawLabel(painter, top, kTotalsLabel, caption(kTotalsLabel));
    drawLabel(painter, top, kTotalsCount, formatNumber(m_records.count(), kSizeFormat));
}
