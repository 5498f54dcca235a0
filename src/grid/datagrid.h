#pragma once
// The grid component: one table model over a bound record set, shown in panes (splits)
// that scroll vertically together. Every pane is a view over the same model and the same
// selection; each has its own column visibility. The grid's current row and the record
// set's current record follow each other both ways.

#include "catalogue/recordset.h"

#include <QColor>
#include <QSet>
#include <QString>
#include <QWidget>

class GridPane;
class RecordSetModel;

enum class PaneSizeMode { Scalable = 0, Exact = 1, NumberOfColumns = 2 };

class DataGrid : public QWidget {
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // Binding (DataSource). nullptr shows nothing. The grid does not own the record set.
    void setDataSource(RecordSet *records);
    [[nodiscard]] RecordSet *dataSource() const;
    void setAllowUpdate(bool allow);
    [[nodiscard]] bool allowUpdate() const;
    // The argument-less reset that Clear calls before rebinding: drops the row marks.
    void resetState();

    // Columns, by index; captions, widths and number formats are the grid's, visibility
    // is per pane (setColumnVisible here applies to every pane).
    [[nodiscard]] int columnCount() const;
    void setColumnCaption(int column, const QString &caption);
    [[nodiscard]] QString columnCaption(int column) const;
    void setColumnWidth(int column, int twips);
    [[nodiscard]] int columnWidth(int column) const; // twips
    void setColumnVisible(int column, bool visible);
    void setColumnNumberFormat(int column, const QString &format); // "###,###,##0"
    [[nodiscard]] QString columnNumberFormat(int column) const;

    // Panes, numbered from 0 at the left. A new pane starts with the column visibility of
    // the pane it is inserted before.
    [[nodiscard]] int paneCount() const;
    void insertPane(int position);
    void removePane(int position);
    [[nodiscard]] GridPane *pane(int position) const;

    // Heading alignment of the grid's style (2 = centred, 0 = left, 1 = right).
    void setStyleAlignment(int alignment);
    [[nodiscard]] int styleAlignment() const;

    // Current pane, then a column of it: the column is brought into view in that pane.
    void setCurrentPane(int position);
    [[nodiscard]] int currentPane() const;
    void setCurrentColumn(int column);
    [[nodiscard]] int currentColumn() const;

    [[nodiscard]] int currentRow() const; // the record set's position, -1 when none
    // Stored value of a column of the current row, trailing blanks included.
    [[nodiscard]] QString columnText(int column) const;

    [[nodiscard]] RecordSet::Bookmark bookmark() const;
    void addSelectedBookmark(RecordSet::Bookmark b);
    [[nodiscard]] const QSet<RecordSet::Bookmark> &selectedBookmarks() const;

    // Removes the current row's record from the bound record set.
    void deleteCurrentRow();

signals:
    void rowActivated();                              // double click on a row
    void mouseDown(int button, int shift, int x, int y); // button: 1 left, 2 right, 4 middle
    void keyPress(int &keyAscii);                     // set to 0 to keep the key from the grid
};
