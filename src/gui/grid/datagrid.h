#pragma once
// The grid component: one table model over a bound record set, shown in panes (splits)
// that scroll vertically together. Every pane is a view over the same model and the same
// selection; each has its own column visibility. The grid's current row and the record
// set's current record follow each other both ways.

#include "catalogue/recordset.h"
#include "grid/gridpane.h"

#include <QSet>
#include <QString>
#include <QWidget>
#include <memory>

class DataGridEvents;
class PaneSet;
class QItemSelectionModel;
class RecordSetModel;

class DataGrid : public QWidget {
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // Binding (DataSource). nullptr shows nothing. The grid does not own the record set,
    // but observes it until it is bound to another one or destroyed, so a bound record set
    // must outlive the grid or be unbound first.
    void setDataSource(RecordSet *records);
    [[nodiscard]] RecordSet *dataSource() const;
    // The grid never edits a cell; the value is only kept.
    void setAllowUpdate(bool allow);
    [[nodiscard]] bool allowUpdate() const;
    // The argument-less reset that Clear calls before rebinding: drops the row marks.
    void resetState();

    // Columns, by index; captions, widths and number formats are the grid's, visibility
    // is per pane (setColumnVisible here applies to every pane). They are kept across
    // sorts and rebinding.
    [[nodiscard]] int columnCount() const;
    void setColumnCaption(int column, const QString &caption);
    [[nodiscard]] QString columnCaption(int column) const;
    void setColumnWidth(int column, int twips);
    [[nodiscard]] int columnWidth(int column) const; // twips
    void setColumnVisible(int column, bool visible);
    void setColumnNumberFormat(int column, const QString &format); // "###,###,##0"
    [[nodiscard]] QString columnNumberFormat(int column) const;

    // Panes, numbered from 0 at the left. A new pane starts with the column visibility of
    // the pane it is inserted before. The last pane is never removed.
    [[nodiscard]] int paneCount() const;
    void insertPane(int position);
    void removePane(int position);
    [[nodiscard]] GridPane *pane(int position) const;

    // Heading alignment of the grid's style (2 = centred, 0 = left, 1 = right).
    void setStyleAlignment(int alignment);
    [[nodiscard]] int styleAlignment() const;

    // Current pane, then a column of it: the column is brought into view in that pane.
    // Binding another record set makes the first column current and scrolls fully left.
    void setCurrentPane(int position);
    [[nodiscard]] int currentPane() const;
    void setCurrentColumn(int column);
    [[nodiscard]] int currentColumn() const;

    [[nodiscard]] int currentRow() const; // the record set's position, -1 when none
    // Stored value of a column of the current row, trailing blanks included.
    [[nodiscard]] QString columnText(int column) const;

    // Marked rows (MultiSelect simple), kept by bookmark: they survive a sort.
    [[nodiscard]] RecordSet::Bookmark bookmark() const;
    void addSelectedBookmark(RecordSet::Bookmark b);
    void removeSelectedBookmark(RecordSet::Bookmark b);
    [[nodiscard]] const QSet<RecordSet::Bookmark> &selectedBookmarks() const;
    [[nodiscard]] bool isRowMarked(int row) const;

    // Removes the current row's record from the bound record set.
    void deleteCurrentRow();

    [[nodiscard]] RecordSetModel *model() const { return m_model; }
    [[nodiscard]] QItemSelectionModel *selectionModel() const { return m_selection; }

signals:
    void rowActivated(); // double click on a row, or Enter on it
    // Raised on every press in the grid, and for the Menu key or Shift+F10 as a right
    // button on the current cell.
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift,
    // 2 Ctrl, 4 Alt; x, y in pixels from the grid's top left corner.
    void mouseDown(int button, int shift, int x, int y);
    // Every character key typed in a pane, Tab (9) and Enter (13) included; set the code
    // to 0 to keep the key from the grid.
    void keyPress(int &keyAscii);

protected:
    void changeEvent(QEvent *event) override;

private:
    friend class DataGridEvents; // reads the panes and the usable column

    void onCurrentChanged(const QModelIndex &current);
    void applyLayoutAfterReset();
    void showCurrentRecord(int position);
    void scrollCurrentIntoView();
    void onSelectorPressed(int row);
    [[nodiscard]] int usableColumn() const;

    RecordSetModel *m_model;
    QItemSelectionModel *m_selection;
    std::unique_ptr<DataGridEvents> m_events;
    std::unique_ptr<PaneSet> m_panes;
    int m_currentColumn = 0;
    bool m_allowUpdate = true;
    bool m_followingView = false; // the record set moves because the view did
    bool m_showingRecord = false; // the view moves because the record set did
};
