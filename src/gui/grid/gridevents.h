#pragma once
// The input the grid's panes receive, turned into the grid's own events: keys (with Tab
// leaving the grid), mouse presses (with the row pressed on made current first), and the
// focus that makes a pane the current one.

#include <QObject>
#include <QPoint>

class DataGrid;
class GridPane;
class PaneSet;
class QKeyEvent;
class QWidget;

class DataGridEvents : public QObject {
public:
    explicit DataGridEvents(DataGrid &grid) : m_grid(grid) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    [[nodiscard]] PaneSet &panes() const;
    bool handleKey(QKeyEvent *event);
    [[nodiscard]] static bool isContextKey(const QKeyEvent &event);
    void emitContextPress(Qt::KeyboardModifiers modifiers);
    void emitMouseDown(QWidget *source, QEvent *event);
    void makeRowCurrentAt(QWidget *source, QPoint at);
    void keepCurrentCellIn(GridPane *pane);
    void moveFocusOutside(bool forward);
    [[nodiscard]] bool takesFocusFromGrid(const QWidget *w) const;

    DataGrid &m_grid;
};
