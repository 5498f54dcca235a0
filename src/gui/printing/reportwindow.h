#pragma once
// The shown report: one page at a time, painted only when it is on screen, so a catalogue
// of thousands of pages opens at once. Page navigation, zoom, Print to the printer chosen
// before, and Save As PDF, both with a progress dialog that can cancel.
// The rows follow the catalogue's order, and the sort line follows them.

#include "catalogue/recordset.h"
#include "report/report.h"
#include "report/reportoutput.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class ReportPageView;
class FileDialogs;

struct ReportWindowLinks {
    // The sort label's caption for the order in force, asked whenever the rows re-order.
    std::function<QString()> sortLine;
    FileDialogs *dialogs = nullptr; // Save As PDF; nullptr: Qt's own dialog
    QString folder;                 // where Save As PDF starts; empty: the Tarvolo folder
};

// The name Save As PDF proposes: the catalogue's name in the caption, with ".pdf".
[[nodiscard]] QString reportPdfName(const QString &caption);

class ReportWindow : public QWidget, private RecordSetObserver {
    Q_OBJECT
public:
    ReportWindow(RecordSet &records, ReportCaptions captions, std::shared_ptr<QPrinter> printer,
                 ReportWindowLinks links = {}, QWidget *parent = nullptr);
    ~ReportWindow() override;

    [[nodiscard]] const TRVReport &report() const { return m_report; }
    [[nodiscard]] int currentPage() const { return m_page; }
    void showPage(int page);
    void setZoom(qreal zoom);

    ReportOutcome printReport();
    ReportOutcome savePdf(const QString &fileName);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildZoom();
    void turnPage(int key);
    [[nodiscard]] qreal zoom() const;
    void chooseAndSavePdf();
    ReportOutcome withProgress(const QString &what, const std::function<ReportOutcome(const ReportProgress &)> &output);
    void refreshPageCount();
    void recordsReset() override;
    void recordsAppended(int, int) override { refreshPageCount(); }
    void recordRemoved(int) override { refreshPageCount(); }
    void recordSetDestroyed() override;

    RecordSet *m_records;
    TRVReport m_report;
    std::shared_ptr<QPrinter> m_printer;
    ReportWindowLinks m_links;
    int m_page = 0;
    ReportPageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCount = nullptr;
    QComboBox *m_zoom = nullptr;
};
