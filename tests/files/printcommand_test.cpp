// Guards the Print command's order (the reminder always first, a cancelled dialog or a
// portrait page ending it silently), the report window's captions, and a report that
// leaves the window once the catalogue it shows is gone.
#include "app/frmdisplay.h"
#include "catalogue/layouts.h"
#include "files/pdftext.h"
#include "files/ui/printcommand.h"
#include "files/ui/reportwindow.h"
#include "support/recordingsink.h"
#include "ui/printerdialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        PrintControls c{&window, &sink, &dialog, &lblSortType, [this] { return catalogue.get(); }};
        command = std::make_unique<PrintCommand>(std::move(c));
    }

    QWidget window;
    QLabel lblSortType;
    std::unique_ptr<RecordSet> catalogue = std::make_unique<RecordSet>();
    RecordingSink sink;
    FakePrinterDialog dialog;
    std::unique_ptr<PrintCommand> command;
};

} // namespace

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
