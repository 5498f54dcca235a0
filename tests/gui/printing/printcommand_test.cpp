// Guards the Print command's order (the reminder always first, a cancelled dialog or a
// portrait page ending it silently), the report's captions and rows through later sorts, a
// report that leaves the window once Clear frees its catalogue, and the report window's
// keys, zoom and proposed PDF name.
#include "lookup/sorting.h"
#include "printing/printcommand.h"
#include "printing/reportwindow.h"
#include "support/pdftext.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

namespace {

class FakePrinterDialog final : public PrinterDialog {
public:
    bool choosePrinter(QPrinter &printer) override
    {
        ++calls;
        offered = printer.pageLayout();
        if (portrait)
            printer.setPageOrientation(QPageLayout::Portrait);
        return accept;
    }
    bool accept = true;
    bool portrait = false;
    int calls = 0;
    QPageLayout offered;
};

// A report printed from the main window over a catalogue filled in by hand.
class PrintTest : public ::testing::Test {
protected:
    PrintTest()
    {
        FrmDisplay::Services services = FrmDisplay::Services::withoutDrives(&sink);
        services.printerDialog = &printer;
        services.fileDialogs = &files;
        services.catalogueFolder = dir.filePath(QStringLiteral("Tarvolo"));
        window = std::make_unique<FrmDisplay>(std::move(services));
        window->setWindowTitle(kLiveCaption);
    }

    // As the end of a Display leaves the window: the files shown, long name ascending.
    void show(int files)
    {
        RecordSet &rs = *window->state().catalogue;
        for (int i = 0; i < files; ++i) {
            rs.addNew();
            rs.setField(fld::LongName, QStringLiteral("F%1").arg(i, 5, 10, QChar(u'0')).leftJustified(25));
            rs.setField(fld::Path, QStringLiteral("/HOME/ANN/"));
            rs.setField(fld::Size, qint64(i) * 1000);
        }
        window->state().TotalFiles = rs.count();
        window->windowControls().grdFiles->setDataSource(&rs);
        window->sorting().SortIt();
    }
    ReportWindow *print(int files)
    {
        show(files);
        window->mnuPrint_Click();
        return report();
    }
    [[nodiscard]] ReportWindow *report() const { return window->printCommand().reportWindow(); }

    const QString kLiveCaption = QStringLiteral("Tarvolo  -  Display Of Files As Of 12-7-2026 9-05-03 PM");
    RecordingSink sink;
    FakePrinterDialog printer;
    ScriptedFileDialogs files;
    QTemporaryDir dir;
    std::unique_ptr<FrmDisplay> window;
};

} // namespace

TEST_F(PrintTest, ReminderThenDialogThenReportOnlyOnALandscapePage)
{
    show(3);
    const ShownMessage reminder{QStringLiteral("Make sure your printer is in Landscape mode before printing"),
                                QStringLiteral("Printer Must Be In Landscape Mode")};
    struct Case {
        const char *name;
        bool accept, portrait, report;
    };
    // The portrait choice comes before a cancel: the next dialog is offered landscape again.
    for (const Case &c : {Case{"printed", true, false, true}, Case{"portrait", true, true, false},
                          Case{"cancelled", false, false, false}}) {
        sink.shown.clear();
        printer = {};
        printer.accept = c.accept;
        printer.portrait = c.portrait;
        window->mnuPrint_Click();
        EXPECT_EQ(sink.shown, std::vector{reminder}) << c.name;
        EXPECT_EQ(printer.calls, 1) << c.name;
        EXPECT_EQ(printer.offered.orientation(), QPageLayout::Landscape) << c.name;
        EXPECT_EQ(printer.offered.pageSize().id(), QPageSize::Letter) << c.name;
        EXPECT_EQ(report() != nullptr, c.report) << c.name;
        delete report();
    }
}

TEST_F(PrintTest, TheReportFollowsLaterSortsUntilClearFreesItsCatalogue)
{
    ReportWindow *report = print(120);
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->windowTitle(), kLiveCaption);
    EXPECT_EQ(report->report().captions().title, kLiveCaption);
    EXPECT_EQ(report->report().captions().sortOrder, QStringLiteral(" Sorted By Long File Name - Ascending "));
    struct Step {
        const char *name;
        std::function<void()> sort;
        const char *line, *firstRow, *firstSize;
    };
    const Step steps[] = {
        {"menu", [this] { window->action(QStringLiteral("mnuSizeDsc"))->trigger(); }, " Sorted By Size - Descending ",
         "F00119", "119,000"},
        {"arrow", [this] { window->tbrTRVStd_ButtonClick(QStringLiteral("UpArrow")); }, " Sorted By Size - Ascending ",
         "F00000", "0"},
        {"key", [this] { window->tbrTRVStd_ButtonClick(QStringLiteral("ShortName")); },
         " Sorted By Short File Name - Ascending ", nullptr, nullptr},
    };
    for (const Step &step : steps) {
        step.sort();
        ASSERT_EQ(this->report(), report) << step.name;
        EXPECT_EQ(report->report().captions().sortOrder.toStdString(), step.line) << step.name;
        if (!step.firstRow)
            continue;
        // What is printed: the rows in the new order under the new heading.
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        ASSERT_EQ(report->savePdf(pdf), ReportOutcome::Done);
        const QString page = pdfPageText(pdf, 1);
        EXPECT_TRUE(page.contains(QLatin1String(step.line).trimmed())) << step.name;
        const QStringList lines = page.split(u'\n');
        const auto first =
            std::find_if(lines.begin(), lines.end(), [](const QString &l) { return l.contains(u"/HOME"); });
        ASSERT_NE(first, lines.end());
        EXPECT_TRUE(first->startsWith(QLatin1String(step.firstRow)) && first->endsWith(QLatin1String(step.firstSize)))
            << step.name << ": " << first->toStdString();
    }

    // Clear frees the catalogue: the report closes instead of painting freed records.
    const QPointer<ReportWindow> watched(report);
    window->cmdClear_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
}

TEST_F(PrintTest, PageKeysTurnPagesWhereverTheFocusIs)
{
    ReportWindow *report = print(1500);
    ASSERT_TRUE(report);
    const int last = report->report().pageCount() - 1;
    ASSERT_GT(last, 20);
    auto *pageBox = report->findChild<QSpinBox *>(QStringLiteral("spnPage"));
    QWidget *const targets[] = {report,
                                pageBox,
                                pageBox->findChild<QLineEdit *>(),
                                report->findChild<QComboBox *>(QStringLiteral("cboZoom")),
                                report->findChild<QScrollArea *>(),
                                report->findChild<QWidget *>(QStringLiteral("pageView"))};
    for (QWidget *target : targets) {
        ASSERT_TRUE(target);
        const std::string name = target->metaObject()->className();
        report->showPage(5);
        QTest::keyClick(target, Qt::Key_PageDown);
        EXPECT_EQ(report->currentPage(), 6) << name;
        QTest::keyClick(target, Qt::Key_PageUp);
        EXPECT_EQ(report->currentPage(), 5) << name;
        QTest::keyClick(target, Qt::Key_End);
        EXPECT_EQ(report->currentPage(), last) << name;
        QTest::keyClick(target, Qt::Key_Home);
        EXPECT_EQ(report->currentPage(), 0) << name;
        EXPECT_EQ(pageBox->value(), 1) << name;
    }
}

TEST_F(PrintTest, OpensAtThePageWidthAndKeepsToItWhenResized)
{
    ReportWindow *report = print(100);
    ASSERT_TRUE(report);
    auto *scroll = report->findChild<QScrollArea *>();
    QWidget *page = report->findChild<QWidget *>(QStringLiteral("pageView"));
    for (QSize size : {QSize(1000, 760), QSize(1500, 900), QSize(700, 500)}) {
        report->resize(size);
        QApplication::processEvents();
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << size.width();
        EXPECT_LE(page->width(), scroll->viewport()->width()) << size.width();
        EXPECT_GT(page->width(), scroll->viewport()->width() * 9 / 10) << size.width();
    }
    auto *zoom = report->findChild<QComboBox *>(QStringLiteral("cboZoom"));
    const int full = zoom->findData(1.0);
    zoom->setCurrentIndex(full);
    emit zoom->activated(full);
    EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0) << "a letter page at 100% in 700 pixels";
}

TEST_F(PrintTest, SaveAsPdfProposesTheCataloguesNameInTheTarvoloFolder)
{
    ReportWindow *report = print(3);
    ASSERT_TRUE(report);
    const QString chosen = dir.filePath(QStringLiteral("chosen.pdf"));
    files.answers << chosen;
    report->findChild<QPushButton *>(QStringLiteral("cmdSavePdf"))->click();
    ASSERT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.asked[0].folder, dir.filePath(QStringLiteral("Tarvolo")));
    EXPECT_TRUE(QFileInfo(files.asked[0].folder).isDir());
    EXPECT_EQ(files.asked[0].fileName, QStringLiteral("Files As Of 12-7-2026 9-05-03 PM.pdf"));
    EXPECT_EQ(pdfPageCount(chosen), 1);

    EXPECT_EQ(reportPdfName(QStringLiteral("Tarvolo  -  Display Of photos    ")), QStringLiteral("photos.pdf"));
    EXPECT_EQ(reportPdfName(QStringLiteral("Tarvolo  -  Display Of a b.c    ")), QStringLiteral("a b.c.pdf"));
    EXPECT_EQ(reportPdfName(QStringLiteral("Tarvolo  -  File Display")), QStringLiteral("File Display.pdf"));
}
