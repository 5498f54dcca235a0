#pragma once
// The lookup commands as the main window builds and wires them, over a small catalogue, with
// a message sink that records every message with the pointer shape at the time it was shown.

#include "app/frmdisplay.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "grid/datagrid.h"
#include "lookup/duplicates.h"
#include "lookup/quicksearch.h"
#include "lookup/sorting.h"
#include "platform/text.h"
#include "support/recordingsink.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <string>
#include <vector>

struct FileRec {
    const char *longName;
    const char *shortName = "";
    const char *path = "/";
    qint64 size = 0;
    const char *dateKey = "36000";
    const char *extension = "";
};

class LookupFixture : public ::testing::Test {
protected:
    LookupFixture()
    {
        sink.window = &window;
        QObject::connect(&window, &FrmDisplay::splitDisplayReset, &window, [this] {
            ++resets;
            pointerAtReset = window.cursor().shape();
            if (onReset)
                onReset();
        });
    }

    // Appends the files and shows them, as the end of a Display does.
    void display(std::initializer_list<FileRec> files)
    {
        RecordSet &rs = *state.catalogue;
        for (const FileRec &f : files) {
            rs.addNew();
            rs.setField(fld::LongName, values::longNameValue(f.longName));
            rs.setField(fld::ShortName, std::string_view(f.shortName));
            rs.setField(fld::Path, std::string_view(f.path));
            rs.setField(fld::Size, f.size);
            rs.setField(fld::DateKey, std::string_view(f.dateKey));
            rs.setField(fld::Extension, std::string_view(f.extension));
        }
        state.TotalFiles = rs.count();
        grid->setDataSource(&rs);
        rs.moveFirst();
    }

    // Long names of the catalogue in its present order, trailing blanks trimmed.
    [[nodiscard]] std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < state.catalogue->count(); ++i)
            out.emplace_back(text::trimRight(state.catalogue->utf8At(i, fld::LongName)));
        return out;
    }
    [[nodiscard]] std::string currentName() const
    {
        return std::string(text::trimRight(state.catalogue->valueUtf8(fld::LongName)));
    }
    [[nodiscard]] std::vector<int> markedItems() const
    {
        std::vector<int> out;
        for (int i = 0; i < SortItemCount; ++i)
            if (items[std::size_t(i)]->isChecked())
                out.push_back(i);
        return out;
    }
    [[nodiscard]] std::vector<std::string> titles() const
    {
        std::vector<std::string> out;
        for (const ShownMessage &m : sink.shown)
            out.push_back(m.title.toStdString());
        return out;
    }

    RecordingSink sink;
    FrmDisplay window{FrmDisplay::Services::withoutDrives(&sink)};
    const LookupControls &c = window.lookupControls();
    DisplayState &state = window.state();
    DataGrid *grid = c.grdFiles;
    QLabel *lblSortType = c.lblSortType;
    QLineEdit *txtSearch = c.txtSearch;
    const std::array<QAction *, SortItemCount> &items = c.sortItems;
    QAction *Search = c.Search;
    QAction *FindDups = c.FindDups;
    QAction *UpArrow = c.UpArrow;
    QAction *DownArrow = c.DownArrow;
    Sorting &sorting = window.sorting();
    QuickSearchBox &box = window.quickSearch();
    DuplicateFinder &finder = window.duplicates();
    int resets = 0;
    Qt::CursorShape pointerAtReset = Qt::ArrowCursor;
    std::function<void()> onReset;
};
