#include "printing/reportwindow.h"

#include "common/filedialogs.h"
#include "saveopen/cataloguefiles.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr qreal kTwipsPerInch = 1440.0;
constexpr qreal kTwipsPerPoint = 20.0;
constexpr int kPageGap = 12;   // pixels of grey around the sheet
constexpr qreal kFitWidth = 0; // the zoom entry that follows the window's width

bool turnsPages(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Home:
    case Qt::Key_End:
        return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    default:
        return false;
    }
}

} // namespace

QString reportPdfName(const QString &caption)
{
    QString name = caption;
    for (QLatin1String prefix : {QLatin1String("Tarvolo  -  Display Of "), QLatin1String("Tarvolo  -  ")}) {
        if (name.startsWith(prefix)) {
            name.remove(0, prefix.size());
            break;
        }
    }
    // The blanks that stand for an opened file's ".trv" go with it.
    name = name.trimmed();
    return (name.isEmpty() ? QStringLiteral("Tarvolo") : name) + QStringLiteral(".pdf");
}

// The sheet of paper: paints the report's current page, and nothing while hidden.
class ReportPageView final : public QWidget {
public:
    explicit ReportPageView(QWidget *parent) : QWidget(parent) { setObjectName(QStringLiteral("pageView")); }

    void show(const TRVReport *report, int page, qreal zoom)
    {
        m_report = report;
        m_page = page;
        m_zoom = zoom;
        const QRectF sheet = m_report ? m_report->pageLayout().fullRect(QPageLayout::Point) : QRectF();
        const qreal s = scale();
        setFixedSize(int(sheet.width() * kTwipsPerPoint * s) + 2 * kPageGap,
                     int(sheet.height() * kTwipsPerPoint * s) + 2 * kPageGap);
        update();
    }

    // The zoom at which the sheet and its grey border are the given number of pixels wide.
    [[nodiscard]] qreal zoomForWidth(const TRVReport &report, int width) const
    {
        const qreal sheet = report.pageLayout().fullRect(QPageLayout::Point).width() * kTwipsPerPoint;
        const qreal atFullSize = sheet * logicalDpiX() / kTwipsPerInch;
        return std::max(0.1, (width - 2 * kPageGap) / atFullSize);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        if (!m_report)
            return;
        p.fillRect(rect().adjusted(kPageGap, kPageGap, -kPageGap, -kPageGap), Qt::white);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.translate(kPageGap, kPageGap);
        p.scale(scale(), scale());
        const QMarginsF margins = m_report->pageLayout().margins(QPageLayout::Point);
        p.translate(margins.left() * kTwipsPerPoint, margins.top() * kTwipsPerPoint);
        m_report->paintPage(p, m_page);
    }

private:
    [[nodiscard]] qreal scale() const { return m_zoom * logicalDpiX() / kTwipsPerInch; }

    const TRVReport *m_report = nullptr;
    int m_page = 0;
    qreal m_zoom = 1.0;
};

ReportWindow::ReportWindow(RecordSet &records, ReportCaptions captions, std::shared_ptr<QPrinter> printer,
                           ReportWindowLinks links, QWidget *parent)
    : QWidget(parent, Qt::Window), m_records(&records), m_report(records, std::move(captions), printer->pageLayout()),
      m_printer(std::move(printer)), m_links(std::move(links))
{
    setObjectName(QStringLiteral("TRVReport"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    // The page keys turn pages whichever control has the focus.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    m_records->addObserver(this);
    resize(1000, 760);
    refreshPageCount();
    setZoom(kFitWidth);
}

ReportWindow::~ReportWindow()
{
    if (m_records)
        m_records->removeObserver(this);
}

void ReportWindow::buildControls()
{
    auto button = [this](const char *name, const QString &text, auto slot) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto *bar = new QHBoxLayout;
    bar->addWidget(button("cmdFirstPage", QStringLiteral("|<"), [this] { showPage(0); }));
    bar->addWidget(button("cmdPreviousPage", QStringLiteral("<"), [this] { showPage(m_page - 1); }));
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("spnPage"));
    m_pageBox->setKeyboardTracking(false);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { showPage(v - 1); });
    bar->addWidget(m_pageBox);
    m_pageCount = new QLabel(this);
    m_pageCount->setObjectName(QStringLiteral("lblPageCount"));
    bar->addWidget(m_pageCount);
    bar->addWidget(button("cmdNextPage", QStringLiteral(">"), [this] { showPage(m_page + 1); }));
    bar->addWidget(button("cmdLastPage", QStringLiteral(">|"), [this] { showPage(m_report.pageCount() - 1); }));
    buildZoom();
    bar->addWidget(m_zoom);
    bar->addStretch();
    bar->addWidget(button("cmdPrint", tr("&Print"), [this] { (void)printReport(); }));
    bar->addWidget(button("cmdSavePdf", tr("Save As P&DF..."), [this] { chooseAndSavePdf(); }));
    bar->addWidget(button("cmdClose", tr("&Close"), [this] { close(); }));

    m_view = new ReportPageView(this);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_scroll);
}

void ReportWindow::buildZoom()
{
    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(QStringLiteral("cboZoom"));
    m_zoom->addItem(tr("Page Width"), kFitWidth);
    for (int percent : {50, 75, 100, 125, 150, 200})
        m_zoom->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    connect(m_zoom, &QComboBox::activated, this, [this](int i) { setZoom(m_zoom->itemData(i).toReal()); });
}

void ReportWindow::showPage(int page)
{
    if (!m_records)
        return;
    const int pages = m_report.pageCount();
    m_page = std::clamp(page, 0, std::max(0, pages - 1));
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setValue(m_page + 1);
    }
    m_view->show(m_records ? &m_report : nullptr, m_page, zoom());
}

qreal ReportWindow::zoom() const
{
    const qreal chosen = m_zoom->currentData().toReal();
    if (chosen != kFitWidth)
        return chosen;
    // Room for the vertical scroll bar is kept, so fitting never brings a horizontal one.
    const int bar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll->verticalScrollBar());
    return m_view->zoomForWidth(m_report, m_scroll->maximumViewportSize().width() - bar);
}

void ReportWindow::setZoom(qreal zoom)
{
    const int i = m_zoom->findData(zoom);
    if (i >= 0)
        m_zoom->setCurrentIndex(i);
    showPage(m_page);
}

void ReportWindow::recordsReset()
{
    // A sort re-orders the rows under the report: its sort line goes with them.
    if (m_links.sortLine)
        m_report.setSortOrder(m_links.sortLine());
    refreshPageCount();
}

void ReportWindow::refreshPageCount()
{
    if (!m_records)
        return;
    const int pages = m_report.pageCount();
    m_pageBox->setRange(1, std::max(1, pages));
    m_pageCount->setText(tr("of %1").arg(pages));
    showPage(m_page);
}

void ReportWindow::recordSetDestroyed()
{
    // Clear or a new Display replaced the catalogue: this report has nothing left to show.
    m_records = nullptr;
    m_view->show(nullptr, 0, 1.0);
    close();
}

void ReportWindow::turnPage(int key)
{
    switch (key) {
    case Qt::Key_PageDown:
        showPage(m_page + 1);
        break;
    case Qt::Key_PageUp:
        showPage(m_page - 1);
        break;
    case Qt::Key_Home:
        showPage(0);
        break;
    default:
        showPage(m_report.pageCount() - 1);
    }
}

void ReportWindow::keyPressEvent(QKeyEvent *event)
{
    if (turnsPages(event))
        turnPage(event->key());
    else
        QWidget::keyPressEvent(event);
}

bool ReportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll && event->type() == QEvent::Resize && m_zoom->currentData().toReal() == kFitWidth)
        showPage(m_page);
    // The zoom list's popup is a window of its own, where the keys move through the list.
    auto *widget = qobject_cast<QWidget *>(watched);
    if (event->type() != QEvent::KeyPress || !widget || widget->window() != this)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (!turnsPages(key))
        return false;
    turnPage(key->key());
    return true;
}

ReportOutcome ReportWindow::withProgress(const QString &what,
                                         const std::function<ReportOutcome(const ReportProgress &)> &output)
{
    if (!m_records)
        return ReportOutcome::Failed;
    QProgressDialog dialog(what, tr("Cancel"), 0, std::max(1, m_report.pageCount()), this);
    dialog.setObjectName(QStringLiteral("reportProgress"));
    dialog.setWindowModality(Qt::ApplicationModal); // the catalogue must not change meanwhile
    dialog.setMinimumDuration(500);
    return output([&dialog](int done, int count) {
        dialog.setMaximum(std::max(1, count));
        dialog.setValue(done);
        return !dialog.wasCanceled();
    });
}

ReportOutcome ReportWindow::printReport()
{
    return withProgress(tr("Printing..."), [this](const ReportProgress &progress) {
        const TRVReport onPrinter(*m_records, m_report.captions(), m_printer->pageLayout());
        return paintReport(onPrinter, *m_printer, progress);
    });
}

ReportOutcome ReportWindow::savePdf(const QString &fileName)
{
    return withProgress(tr("Saving As PDF..."), [this, &fileName](const ReportProgress &progress) {
        return writeReportPdf(m_report, fileName, progress);
    });
}

void ReportWindow::chooseAndSavePdf()
{
    QtFileDialogs own(this);
    FileDialogs &dialogs = m_links.dialogs ? *m_links.dialogs : own;
    const QString fileName =
        dialogs.saveFileName({tr("Save As PDF"), tr("PDF Files (*.pdf)"), tarvoloFolder(m_links.folder),
                              reportPdfName(m_report.captions().title)});
    if (!fileName.isEmpty())
        (void)savePdf(fileName);
}
