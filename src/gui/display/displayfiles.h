#pragma once
// Display and Clear: the two commands the window turns around. Display walks the selected
// drives on a worker thread and, when the walk ends, shows the catalogue; Clear returns
// the window to its start-up state, cancelling a walk first.

#include "catalogue/scanjob.h"
#include "common/windowcontrols.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QLabel;
class QListWidget;

class Sorting;

// What Display and Clear work on. The window fills it once its controls exist.
struct DisplayControls : WindowControls {
    QListWidget *lstDriveNumFiles = nullptr;
    QLabel *lblDrives = nullptr;
    QLabel *lblTotalFiles = nullptr;
    // Lines for the drive list; fills the state's DriveRoots and SelectedDrives.
    std::function<QStringList(DriveTables &)> driveSource;
    Sorting *sorting = nullptr; // SortIt, SetSort, ShowDownArrow and the order chosen
};

class DisplayCommands : public QObject {
    Q_OBJECT
public:
    // Display and Clear write the scan's part of the state: the catalogue, its counts,
    // the drives, the caption's text and mblnLiveCatalogue.
    DisplayCommands(DisplayControls controls, DisplayState &state, QObject *parent = nullptr);

    void GetDrives();
    void DisplayFiles();
    void cmdClear_Click();
    void lstDriveNumFiles_KeyPress(int &keyAscii);

    [[nodiscard]] bool walking() const { return m_scan.running(); }
    [[nodiscard]] const ScanJob &scanJob() const { return m_scan; }
    // Clear, Open and Exit stop a walk before they do their own work.
    void cancelWalk();

signals:
    void displayed(); // the catalogue of a Display is on show

private:
    [[nodiscard]] bool readSelectedDrives();
    void startWalk();
    void showRunningTotal();
    void finishDisplay();
    void reportFailedWalk();
    void showDriveTotals();

    DisplayControls c;
    DisplayState &m_state;
    ScanJob m_scan;
    QTimer m_progressTimer;
    bool m_catalogueShown = false; // also true for a Display that found no file
};

// "###,###" right-aligned in six characters, wider when the count needs it.
[[nodiscard]] QString driveCountField(qint64 count);
// The total shown while a walk runs: plain digits.
[[nodiscard]] QString runningTotalText(qint64 total);
// The drive-list line of a walked drive: its root with the final "/" made a blank.
[[nodiscard]] QString driveTotalLine(QString &selectedDrive, qint64 count);
// The general date-and-time text with every "/" and ":" made "-".
[[nodiscard]] QString asOfText(const QDateTime &when);
