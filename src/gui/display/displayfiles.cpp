#include "display/displayfiles.h"

#include "catalogue/layouts.h"
#include "catalogue/numberformat.h"
#include "common/captions.h"
#include "common/messagesink.h"
#include "common/windowprocedures.h"
#include "grid/datagrid.h"
#include "lookup/sorting.h"
#include "platform/localeformat.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScopeGuard>
#include <QScrollBar>

namespace {

const QString kBlank = QStringLiteral(" ");
constexpr int kCountField = 6;
constexpr int kProgressPollMs = 40; // well inside the 100-file rhythm a user can follow

} // namespace

QString driveCountField(qint64 count)
{
    return formatNumber(count, u"###,###").rightJustified(kCountField, u' ');
}

QString runningTotalText(qint64 total)
{
    // Digits only while the count climbs; separators come with the final total.
    return QString::number(total);
}

QString driveTotalLine(QString &selectedDrive, qint64 count)
{
    // The root's mount point is the separator itself: keep it and add the blank.
    if (selectedDrive == u"/")
        selectedDrive += u' ';
    else if (selectedDrive.endsWith(u'/'))
        selectedDrive.replace(selectedDrive.size() - 1, 1, u' ');
    return selectedDrive + u' ' + driveCountField(count);
}

QString asOfText(const QDateTime &when)
{
    QString text = generalDateTimeText(when);
    text.replace(u'/', u'-');
    text.replace(u':', u'-');
    return text;
}

DisplayCommands::DisplayCommands(DisplayControls controls, DisplayState &state, QObject *parent)
    : QObject(parent), c(std::move(controls)), m_state(state)
{
    m_progressTimer.setInterval(kProgressPollMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &DisplayCommands::showRunningTotal);
    connect(&m_scan, &ScanJob::finished, this, &DisplayCommands::finishDisplay);
}

void DisplayCommands::GetDrives()
{
    c.lstDriveNumFiles->addItems(c.driveSource(m_state.drives));
    c.lstDriveNumFiles->scrollToTop(); // "/" comes first, and must be in sight
}

void DisplayCommands::lstDriveNumFiles_KeyPress(int &keyAscii)
{
    if (keyAscii == 13) {
        keyAscii = 0;
        DisplayFiles();
    }
}

void DisplayCommands::DisplayFiles()
{
    DisplayState &s = m_state;
    // A Display that found nothing still replaced the drive list, whose lines no longer
    // match DriveRoots: a second Display would walk the wrong drives.
    if (s.TotalFiles != 0 || walking() || m_catalogueShown || c.procedures->catalogueOpening()) {
        c.messages->showMessage(QStringLiteral("You must clear the display before displaying again"),
                                QStringLiteral("Clear The Display"));
        return;
    }
    s.mblnLiveCatalogue = true;
    if (!readSelectedDrives()) {
        c.messages->showMessage(QStringLiteral("No Drive(s) Selected, Select Drive(s)"),
                                QStringLiteral("Select Drive(s)"));
        return;
    }
    s.TotalFiles = 0;
    s.CurrentDrive = 0;
    c.window->setCursor(Qt::WaitCursor);
    startWalk();
}

bool DisplayCommands::readSelectedDrives()
{
    bool driveChosen = false;
    DriveTables &t = m_state.drives;
    // Stepping the current line through the list must not leave it scrolled to its end.
    QScrollBar *bar = c.lstDriveNumFiles->verticalScrollBar();
    const int scrolled = bar->value();
    const auto restore = qScopeGuard([bar, scrolled] { bar->setValue(scrolled); });
    for (int i = 0; i < c.lstDriveNumFiles->count(); ++i) {
        c.lstDriveNumFiles->setCurrentRow(i, QItemSelectionModel::NoUpdate);
        if (i < kMaxDrives && c.lstDriveNumFiles->item(i)->isSelected()) {
            t.SelectedDrives[std::size_t(i)] = t.DriveRoots[std::size_t(i)];
            driveChosen = true;
        }
    }
    return driveChosen;
}

void DisplayCommands::startWalk()
{
    std::vector<ScanJob::Drive> drives;
    const DriveTables &t = c.state->drives;
    for (int d = 0; d < kMaxDrives; ++d)
        if (t.SelectedDrives[std::size_t(d)] != kBlank)
            drives.push_back({d, DriveRootPath(t.SelectedDrives[std::size_t(d)])});
    m_scan.start(std::move(drives), c.sorting->chosenSortOrder());
    m_progressTimer.start();
}

void DisplayCommands::showRunningTotal()
{
    const qint64 total = m_scan.runningTotal();
    if (total == 0)
        return; // nothing published yet: the label keeps its blank
    const QString text = runningTotalText(total);
    if (c.lblTotalFiles->text() != text)
        c.lblTotalFiles->setText(text);
}

void DisplayCommands::cancelWalk()
{
    if (!walking())
        return;
    m_scan.cancel();
    m_progressTimer.stop();
    c.window->setCursor(Qt::ArrowCursor);
}

void DisplayCommands::finishDisplay()
{
    m_progressTimer.stop();
    if (m_scan.failure() != ScanJob::Failure::None) {
        reportFailedWalk();
        return;
    }
    DisplayState &s = m_state;
    s.TotalFiles = m_scan.state().TotalFiles;
    s.DriveFileCounts = m_scan.state().DriveFileCounts;
    s.CurrentDrive = kMaxDrives;
    // The grid lets go of the old, empty catalogue before it is replaced.
    c.grdFiles->setDataSource(nullptr);
    s.catalogue = m_scan.takeCatalogue();
    s.volumes = m_scan.takeVolumes(); // recorded in a save, never shown
    c.grdFiles->setDataSource(s.catalogue.get());
    m_catalogueShown = true;
    if (s.TotalFiles > 0)
        c.sorting->SortIt();
    c.procedures->FormatColumns();
    c.procedures->SplitDisplay();
    s.mstrAsOfText = asOfText(QDateTime::currentDateTime());
    c.window->setWindowTitle(QStringLiteral("Tarvolo  -  Display Of Files As Of ") + s.mstrAsOfText);
    s.catalogue->moveFirst();
    c.window->setCursor(Qt::ArrowCursor);
    c.lblTotalFiles->setText(formatNumber(s.TotalFiles, u"###,###"));
    c.lblDrives->setText(QStringLiteral("Total Files Per Drive"));
    showDriveTotals();
    emit displayed();
}

void DisplayCommands::reportFailedWalk()
{
    // Nothing was shown yet: the window goes back to where it stood before DISPLAY.
    m_state.drives.SelectedDrives.fill(kBlank);
    c.lblTotalFiles->setText(kBlank);
    c.window->setCursor(Qt::ArrowCursor);
    if (m_scan.failure() == ScanJob::Failure::OutOfMemory)
        c.messages->showMessage(
            QStringLiteral("There is not enough memory to catalogue the selected drives; the display was stopped"),
            QStringLiteral("Not Enough Memory"));
    else
        c.messages->showMessage(
            QStringLiteral("The display was stopped: %1").arg(QString::fromStdString(m_scan.failureText())),
            QStringLiteral("Display Stopped"));
}

void DisplayCommands::showDriveTotals()
{
    DisplayState &s = m_state;
    c.lstDriveNumFiles->clear();
    for (int d = 0; d < kMaxDrives; ++d) {
        QString &entry = s.drives.SelectedDrives[std::size_t(d)];
        if (entry != kBlank)
            c.lstDriveNumFiles->addItem(driveTotalLine(entry, s.DriveFileCounts[std::size_t(d)]));
    }
    c.lstDriveNumFiles->scrollToTop();
}

void DisplayCommands::cmdClear_Click()
{
    cancelWalk();
    DisplayState &s = m_state;
    c.window->setCursor(Qt::WaitCursor);
    s.FilesSinceUpdate = 0;
    c.txtSearch->clear();
    c.txtSearch->hide();
    c.lblSortType->clear();
    c.lblSortType->hide();
    c.window->setWindowTitle(captions::startCaption());
    c.grdFiles->resetState();
    c.FindDups->setChecked(false);
    c.window->setCursor(Qt::ArrowCursor);
    s.drives.DriveRoots.fill(kBlank);
    s.drives.SelectedDrives.fill(kBlank);
    s.DriveFileCounts.fill(0);
    c.lstDriveNumFiles->clear();
    c.lblTotalFiles->setText(kBlank);
    s.CurrentDrive = 0;
    s.TotalFiles = 0;
    c.lblDrives->setText(QStringLiteral("Select Drive(s)"));
    GetDrives();
    c.sorting->SetSort();
    c.sorting->ShowDownArrow();
    c.grdFiles->setDataSource(&s.dummy);
    c.procedures->ResetSplitDisplay();
    s.catalogue = std::make_unique<RecordSet>();
    CreateRecordSet(*s.catalogue);
    m_catalogueShown = false;
}
