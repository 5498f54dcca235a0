#pragma once
// The parts of the main window that every command set reaches: filled once by the window
// and handed, with their own additions, to Display and Clear and to the lookup commands.

#include "ui/displaystate.h"

#include <functional>

class DataGrid;
class MessageSink;
class QAction;
class QLabel;
class QLineEdit;
class QWidget;

struct WindowControls {
    QWidget *window = nullptr; // caption and mouse pointer
    DisplayState *state = nullptr;
    MessageSink *messages = nullptr;
    DataGrid *grdFiles = nullptr;
    QLabel *lblSortType = nullptr;
    QLineEdit *txtSearch = nullptr;
    QAction *FindDups = nullptr; // checkable: "pressed" while duplicates are stepped
    std::function<void()> ResetSplitDisplay;
};
