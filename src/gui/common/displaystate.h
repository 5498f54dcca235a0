#pragma once
// The program-wide variables and the main window's flags, one object per window so a
// test process can hold several windows. Command sets read it through WindowControls,
// which holds it const; the few that change it are handed it by name in their
// constructors: DisplayCommands (Display and Clear), CatalogueFiles (Open), FrmFileOps (a
// delete lowers TotalFiles), DuplicateFinder (mblnDupFirst) and the window itself (start-up,
// the toolbar's dispatch, mblnDupMode and mblnSplitMade).

#include "catalogue/drivelist.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "catalogue/walk.h"

#include <array>
#include <memory>

struct DisplayState {
    // Records on show; 0 means nothing is displayed.
    qint64 TotalFiles = 0;
    DriveTables drives; // DriveRoots, SelectedDrives
    std::array<qint64, kMaxDrives> DriveFileCounts{};
    int CurrentDrive = 0;
    int FilesSinceUpdate = 0;
    QString mstrAsOfText;

    bool mblnLiveCatalogue = false;
    bool mblnDupMode = false;
    bool mblnDupFirst = false;
    bool mblnSplitMade = false;

    // A save's worker reads the catalogue: whatever would change it waits.
    bool catalogueBeingRead = false;

    // The catalogue is replaced by Clear and by the end of a walk.
    std::unique_ptr<RecordSet> catalogue = std::make_unique<RecordSet>();
    Volumes volumes; // the walk's, for a save
    RecordSet dummy;
};
