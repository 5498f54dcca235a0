#pragma once
// The window parts the lookup commands work on, built for real: checkable QActions, the
// sort label, the search box, a DataGrid bound to a small catalogue, and a message sink
// that records every message with the pointer shape at the time it was shown.

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "lookup/lookupcontrols.h"
#include "platform/text.h"
#include "ui/displaystate.h"
#include "ui/messagesink.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ShownMessage {
    QString text;
    QString title;
    Qt::CursorShape pointer;
};

class RecordingSink final : public MessageSink {
public:
    explicit RecordingSink(QWidget *window) : m_window(window) {}
    void showMessage(const QString &text, const QString &title) override
    {
        shown.push_back({text, title, m_window->cursor().shape()});
    }
    std::vector<ShownMessage> shown;

private:
    QWidget *m_window;
};

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
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(lblSortType = new QLabel);
        layout->addWidget(txtSearch = new QLineEdit);
        layout->addWidget(grid = new DataGrid);
        txtSearch->setVisible(false);
        for (QAction *&item : items) {
            item = new QAction(&window);
            item->setCheckable(true);
        }
        for (QAction *a : {Search, FindDups}) {
            a->setParent(&window);
            a->setCheckable(true);
        }
        UpArrow->setParent(&window);
        DownArrow->setParent(&window);
        CreateRecordSet(*state.catalogue);

        c.window = &window;
        c.state = &state;
        c.messages = &sink;
        c.grdFiles = grid;
        c.lblSortType = lblSortType;
        c.txtSearch = txtSearch;
        c.sortItems = items;
        c.Search = Search;
        c.FindDups = FindDups;
        c.UpArrow = UpArrow;
        c.DownArrow = DownArrow;
        c.ResetSplitDisplay = [this] {
            ::ResetSplitDisplay(*grid, splitMade);
            ++resets;
            pointerAtReset = window.cursor().shape();
            if (onReset)
                onReset();
        };
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

    QWidget window;
    QLabel *lblSortType = nullptr;
    QLineEdit *txtSearch = nullptr;
    DataGrid *grid = nullptr;
    std::array<QAction *, SortItemCount> items{};
    QAction *Search = new QAction;
    QAction *FindDups = new QAction;
    QAction *UpArrow = new QAction;
    QAction *DownArrow = new QAction;
    DisplayState state;
    RecordingSink sink{&window};
    LookupControls c;
    bool splitMade = false;
    int resets = 0;
    Qt::CursorShape pointerAtReset = Qt::ArrowCursor;
    std::function<void()> onReset;
};
