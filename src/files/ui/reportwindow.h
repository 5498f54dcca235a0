#pragma once
// The shown report: one page at a time, painted only when it is on screen, so a catalogue
// of thousands of pages opens at once. Page navigation, zoom, Print to the printer chosen
// before, and Save As PDF, both with a progress dialog that can cancel.

#include "catalogue/recordset.h"
#include "files/report.h"
#include "files/reportoutput.h"

#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class ReportPageView;

class ReportWindow : public QWidget, private RecordSetObserver {
    Q_OBJECT
public:
    ReportWindow(RecordSet &records, ReportCaptions captions, std::shared_ptr<QPrinter> printer,
                 QWidget *parent = nullptr);
    ~ReportWindow() override;

    [[nodiscard]] const TRVReport &report() const { return m_report; }
    [[nodiscard]] int currentPage() const { return m_page; }
    void showPage(int page);
    void setZoom(qreal zoom);

    ReportOutcome printReport();
    ReportOutcome savePdf(const QString &fileName);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void chooseAndSavePdf();
    ReportOutcome withProgress(const QString &what, const std::function<ReportOutcome(const ReportProgress &)> &output);
    void refreshPageCount();
    void recordsReset() override { refreshPageCount(); }
    void recordsAppended(int, int) override { refreshPageCount(); }
    void recordRemoved(int) override { refreshPageCount(); }
    void recordSetDestroyed() override;

    RecordSet *m_records;
    TRVReport m_report;
    std::shared_ptr<QPrinter> m_printer;
    int m_page = 0;
    ReportPageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCount = nullptr;
    QComboBox *m_zoom = nullptr;
};
