#pragma once
// The parts of the main window that every command set reaches: filled once by the window
// and handed, with each set's own additions, to every command set. The state is read
// here; a command set that may change it is handed it on its own (see DisplayState).

#include "common/displaystate.h"

class DataGrid;
class MessageSink;
class QAction;
class QLabel;
class QLineEdit;
class QWidget;
class WindowProcedures;

struct WindowControls {
    QWidget *window = nullptr; // caption and mouse pointer
    const DisplayState *state = nullptr;
    MessageSink *messages = nullptr;
    DataGrid *grdFiles = nullptr;
    QLabel *lblSortType = nullptr;
    QLineEdit *txtSearch = nullptr;
    QAction *FindDups = nullptr; // checkable: "pressed" while duplicates are stepped
    WindowProcedures *procedures = nullptr;
};
