// Guards the Print command's order (the reminder always first, a cancelled dialog or a
// portrait page ending it silently), the report window's captions, a report that leaves
// the window once the catalogue it shows is gone, a sort line that follows a later sort,
// and the window's keys, zoom and proposed PDF name.
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

const QString kReminder = QStringLiteral("Make sure your printer is in Landscape mode before printing");
const QString kReminderTitle = QStringLiteral("Printer Must Be In Landscape Mode");

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

class PrintCommandTest : public ::testing::Test {
protected:
    PrintCommandTest()
    {
        window.setWindowTitle(QStringLiteral("Tarvolo  -  Display Of Files As Of 12-7-2026 9-05-03 PM"));
        lblSortType.setText(QStringLiteral(" Sorted By Size - Descending "));
        lblSortType.hide();
        CreateRecordSet(*catalogue);
        for (qint64 size : {10, 1234567, 300}) {
            catalogue->addNew();
            catalogue->setField(fld::LongName, QStringLiteral("F%1").arg(size).leftJustified(25));
            catalogue->setField(fld::Path, QStringLiteral("/HOME/ANN/"));
            catalogue->setField(fld::Size, size);
        }
        PrintControls c;
        c.window = &window;
        c.messages = &sink;
        c.printerDialog = &dialog;
        c.lblSortType = &lblSortType;
        c.state = &state;
        command = std::make_unique<PrintCommand>(std::move(c));
    }

    QWidget window;
    QLabel lblSortType;
    DisplayState state;
    std::unique_ptr<RecordSet> &catalogue = state.catalogue;
    RecordingSink sink;
    FakePrinterDialog dialog;
    std::unique_ptr<PrintCommand> command;
};

// A report printed from the main window over a catalogue filled in by hand.
class ReportWindowTest : public ::testing::Test {
protected:
    ReportWindowTest()
    {
        FrmDisplay::Services services = FrmDisplay::Services::withoutDrives(&sink);
        services.printerDialog = &printer;
        services.fileDialogs = &files;
        services.catalogueFolder = dir.filePath(QStringLiteral("Tarvolo"));
        window = std::make_unique<FrmDisplay>(std::move(services));
        window->setWindowTitle(kLiveCaption);
    }

    // As the end of a Display leaves the window: the files shown, long name ascending.
    ReportWindow *print(int files)
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
        window->mnuPrint_Click();
        return window->printCommand().reportWindow();
    }
    [[nodiscard]] QString sortLabel() const { return window->findChild<QLabel *>("lblSortType")->text(); }

    const QString kLiveCaption = QStringLiteral("Tarvolo  -  Display Of Files As Of 12-7-2026 9-05-03 PM");
    RecordingSink sink;
    FakePrinterDialog printer;
    ScriptedFileDialogs files;
    QTemporaryDir dir;
    std::unique_ptr<FrmDisplay> window;
};

} // namespace

TEST_F(ReportWindowTest, SortLineFollowsTheRowsOfALaterSort)
{
    ReportWindow *report = print(120);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->report().captions().sortOrder, QStringLiteral(" Sorted By Long File Name - Ascending "));
    struct Step {
        const char *name;
        std::function<void()> sort;
        const char *line, *firstRow;
    };
    const Step steps[] = {
        {"menu", [this] { window->action(QStringLiteral("mnuSizeDsc"))->trigger(); }, " Sorted By Size - Descending ",
         "F00119"},
        {"arrow", [this] { window->tbrTRVStd_ButtonClick(QStringLiteral("UpArrow")); }, " Sorted By Size - Ascending ",
         "F00000"},
        {"key", [this] { window->tbrTRVStd_ButtonClick(QStringLiteral("ShortName")); },
         " Sorted By Short File Name - Ascending ", nullptr},
    };
    for (const Step &step : steps) {
        step.sort();
        ASSERT_EQ(window->printCommand().reportWindow(), report) << step.name;
        EXPECT_EQ(report->report().captions().sortOrder.toStdString(), step.line) << step.name;
        EXPECT_EQ(sortLabel().toStdString(), step.line) << step.name;
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
        EXPECT_TRUE(first->startsWith(QLatin1String(step.firstRow))) << step.name << ": " << first->toStdString();
    }
}

TEST_F(ReportWindowTest, PageKeysTurnPagesWhereverTheFocusIs)
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

TEST_F(ReportWindowTest, OpensAtThePageWidthAndKeepsToItWhenResized)
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

TEST_F(ReportWindowTest, SaveAsPdfProposesTheCataloguesNameInTheTarvoloFolder)
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

TEST_F(PrintCommandTest, ReminderThenDialogThenReportOnlyOnALandscapePage)
{
    struct Case {
        const char *name;
        bool accept, portrait, report;
    };
    for (const Case &c : {Case{"printed", true, false, true}, Case{"cancelled", false, false, false},
                          Case{"portrait", true, true, false}}) {
        sink.shown.clear();
        dialog = {};
        dialog.accept = c.accept;
        dialog.portrait = c.portrait;
        command->mnuPrint_Click();
        ASSERT_EQ(sink.shown.size(), 1u) << c.name;
        EXPECT_EQ(sink.shown[0], (ShownMessage{kReminder, kReminderTitle}));
        EXPECT_EQ(dialog.calls, 1) << c.name;
        EXPECT_EQ(dialog.offered.orientation(), QPageLayout::Landscape) << c.name;
        EXPECT_EQ(dialog.offered.pageSize().id(), QPageSize::Letter) << c.name;
        ReportWindow *shown = command->reportWindow();
        EXPECT_EQ(shown != nullptr, c.report) << c.name;
        delete shown;
    }
}

TEST_F(PrintCommandTest, ReportTakesTheCaptionsAndFollowsTheCatalogue)
{
    ASSERT_TRUE(catalogue->setSort(u"Field7 Desc"));
    command->mnuPrint_Click();
    ReportWindow *report = command->reportWindow();
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->windowTitle(), window.windowTitle());
    EXPECT_EQ(report->report().captions().title, window.windowTitle());
    EXPECT_EQ(report->report().captions().sortOrder, QStringLiteral(" Sorted By Size - Descending "));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    ASSERT_EQ(report->savePdf(pdf), ReportOutcome::Done);
    const QStringList lines = pdfPageText(pdf, 1).split(u'\n');
    const auto first = std::find_if(lines.begin(), lines.end(), [](const QString &l) { return l.contains(u"/HOME"); });
    ASSERT_NE(first, lines.end());
    EXPECT_TRUE(first->startsWith(u"F1234567") && first->endsWith(u"1,234,567")) << first->toStdString();

    // The catalogue goes (Clear): the report closes instead of painting freed records.
    QPointer<ReportWindow> watched(report);
    catalogue = std::make_unique<RecordSet>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
}

TEST(PrintMenu, RemindsEvenWhenNothingIsDisplayed)
{
    RecordingSink sink;
    FakePrinterDialog dialog;
    dialog.accept = false;
    FrmDisplay::Services services;
    services.messages = &sink;
    services.printerDialog = &dialog;
    services.driveSource = [](DriveTables &) { return QStringList(); };
    services.quit = [] {};
    FrmDisplay window(std::move(services));
    window.action(QStringLiteral("mnuPrint"))->trigger();
    window.tbrTRVStd_ButtonClick(QStringLiteral("Print"));
    EXPECT_EQ(sink.shown, decltype(sink.shown)(2, ShownMessage{kReminder, kReminderTitle}));
    EXPECT_EQ(dialog.calls, 2);
    EXPECT_EQ(window.printCommand().reportWindow(), nullptr);
}
