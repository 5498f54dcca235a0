#include "files/ui/reportwindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr qreal kTwipsPerInch = 1440.0;
constexpr qreal kTwipsPerPoint = 20.0;
constexpr int kPageGap = 12; // pixels of grey around the sheet

} // namespace

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
                           QWidget *parent)
    : QWidget(parent, Qt::Window), m_records(&records), m_report(records, std::move(captions), printer->pageLayout()),
      m_printer(std::move(printer))
{
    setObjectName(QStringLiteral("TRVReport"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    m_records->addObserver(this);
    resize(1000, 760);
    refreshPageCount();
    setZoom(1.0);
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
    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(QStringLiteral("cboZoom"));
    for (int percent : {50, 75, 100, 125, 150, 200})
        m_zoom->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    m_zoom->setCurrentIndex(2);
    connect(m_zoom, &QComboBox::activated, this, [this](int i) { setZoom(m_zoom->itemData(i).toReal()); });
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
    m_view->show(m_records ? &m_report : nullptr, m_page, m_zoom->currentData().toReal());
}

void ReportWindow::setZoom(qreal zoom)
{
    const int i = m_zoom->findData(zoom);
    if (i >= 0)
        m_zoom->setCurrentIndex(i);
    showPage(m_page);
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

void ReportWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        showPage(m_page + 1);
        break;
    case Qt::Key_PageUp:
        showPage(m_page - 1);
        break;
    case Qt::Key_Home:
        showPage(0);
        break;
    case Qt::Key_End:
        showPage(m_report.pageCount() - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
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
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Save As PDF"), QString(), tr("PDF Files (*.pdf)"));
    if (!fileName.isEmpty())
        (void)savePdf(fileName);
}
