#pragma once
// The parts of the main window that sorting, the quick search and the duplicate finder
// read and change. The window fills this once it has built its controls.

#include "ui/displaystate.h"

#include <array>
#include <functional>

class DataGrid;
class MessageSink;
class QAction;
class QLabel;
class QLineEdit;
class QWidget;

// The twelve Sort menu items, in the order SortIt tests them.
enum SortItem {
    LongNameAsc,
    LongNameDsc,
    ShortNameAsc,
    ShortNameDsc,
    PathAsc,
    PathDsc,
    SizeAsc,
    SizeDsc,
    DateLastModifiedAsc,
    DateLastModifiedDsc,
    ExtensionAsc,
    ExtensionDsc,
    SortItemCount
};

struct LookupControls {
    QWidget *window = nullptr; // carries the mouse pointer
    DisplayState *state = nullptr;
    MessageSink *messages = nullptr;
    DataGrid *grdFiles = nullptr;
    QLabel *lblSortType = nullptr;
    QLineEdit *txtSearch = nullptr;
    std::array<QAction *, SortItemCount> sortItems{}; // checkable: the sort state
    // Toolbar buttons; Search and FindDups are checkable ("pressed").
    QAction *Search = nullptr;
    QAction *FindDups = nullptr;
    QAction *UpArrow = nullptr;
    QAction *DownArrow = nullptr;
    std::function<void()> ResetSplitDisplay;
};
