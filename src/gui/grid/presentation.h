#pragma once
// The grid's column layout and its two panes: the long name fixed at the left, the other
// columns scrolling at the right.

class DataGrid;

// The first call only sets mblnSplitMade: the grid then still has its single pane.
void FormatColumns(DataGrid &grdFiles, bool &mblnSplitMade);
void SplitDisplay(DataGrid &grdFiles);
void ResetSplitDisplay(DataGrid &grdFiles, bool &mblnSplitMade);
