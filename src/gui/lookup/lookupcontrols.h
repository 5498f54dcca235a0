#pragma once
// The parts of the main window that sorting, the quick search and the duplicate finder
// read and change. The window fills this once it has built its controls.

#include "common/windowcontrols.h"

#include <array>

class QAction;

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

struct LookupControls : WindowControls {
    std::array<QAction *, SortItemCount> sortItems{}; // checkable: the sort state
    // Toolbar buttons; Search is checkable ("pressed").
    QAction *Search = nullptr;
    QAction *UpArrow = nullptr;
    QAction *DownArrow = nullptr;
};
