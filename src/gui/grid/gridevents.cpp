#include "grid/gridevents.h"

#include "common/keyascii.h"
#include "grid/datagrid.h"
#include "grid/paneset.h"
#include "grid/recordsetmodel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

int buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

} // namespace

PaneSet &DataGridEvents::panes() const
{
    return *m_grid.m_panes;
}

bool DataGridEvents::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (auto *p = qobject_cast<GridPane *>(watched)) {
            keepCurrentCellIn(p);
            return handleKey(static_cast<QKeyEvent *>(event));
        }
        break;
    case QEvent::MouseButtonPress:
        emitMouseDown(static_cast<QWidget *>(watched), event);
        break;
    case QEvent::FocusIn:
        if (auto *p = qobject_cast<GridPane *>(watched); p && panes().indexOf(p) >= 0) {
            panes().makeCurrent(p);
            keepCurrentCellIn(p);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool DataGridEvents::handleKey(QKeyEvent *event)
{
    // Tab leaves the grid; it neither moves between cells nor to the other pane.
    if (event->key() == Qt::Key_Backtab) {
        moveFocusOutside(false);
        return true;
    }
    if (isContextKey(*event)) {
        emitContextPress(event->modifiers());
        return true;
    }
    int keyAscii = keyAsciiOf(*event);
    if (keyAscii == 0)
        return false;
    emit m_grid.keyPress(keyAscii);
    if (keyAscii == 0)
        return true;
    if (event->key() == Qt::Key_Tab) {
        moveFocusOutside(!(event->modifiers() & Qt::ShiftModifier));
        return true;
    }
    // Enter not taken by the handlers opens the row as a double click does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_grid.currentRow() >= 0)
        emit m_grid.rowActivated();
    return false;
}

// The keyboard's way to a right click: the Menu key, or Shift+F10.
bool DataGridEvents::isContextKey(const QKeyEvent &event)
{
    return event.key() == Qt::Key_Menu ||
           (event.key() == Qt::Key_F10 && (event.modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier);
}

void DataGridEvents::emitContextPress(Qt::KeyboardModifiers modifiers)
{
    // As a right button pressed on the current cell, where the pointer would be.
    QPoint at;
    if (const GridPane *p = panes().current()) {
        const QRect cell = p->visualRect(m_grid.selectionModel()->currentIndex());
        at = p->viewport()->mapTo(&m_grid, cell.isValid() ? cell.center() : QPoint());
    }
    emit m_grid.mouseDown(buttonCode(Qt::RightButton), shiftCode(modifiers & ~Qt::ShiftModifier), at.x(), at.y());
}

void DataGridEvents::moveFocusOutside(bool forward)
{
    QWidget *w = &m_grid;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (takesFocusFromGrid(w)) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    } while (w && w != &m_grid);
}

bool DataGridEvents::takesFocusFromGrid(const QWidget *w) const
{
    return w != &m_grid && !m_grid.isAncestorOf(w) && w->window() == m_grid.window() &&
           (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible() && !w->focusProxy();
}

void DataGridEvents::emitMouseDown(QWidget *source, QEvent *event)
{
    const auto *e = static_cast<QMouseEvent *>(event);
    const int button = buttonCode(e->button());
    if (button == 0)
        return;
    // Whoever hears of the press reads the current row: it must be the one pressed on
    // already, not only once the view has handled the press after them.
    makeRowCurrentAt(source, e->position().toPoint());
    const QPoint at = source->mapTo(&m_grid, e->position().toPoint());
    emit m_grid.mouseDown(button, shiftCode(e->modifiers()), at.x(), at.y());
}

void DataGridEvents::keepCurrentCellIn(GridPane *pane)
{
    // A view moves its cursor only through cells it shows: with the current cell in a
    // column this pane hides (the names pane after a sort by size, say), the movement keys
    // would do nothing until a cell was clicked.
    QItemSelectionModel *selection = m_grid.selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || !pane->isColumnHidden(current.column()))
        return;
    const int column = pane->firstVisibleColumn();
    if (column >= 0 && column < m_grid.model()->columnCount())
        selection->setCurrentIndex(m_grid.model()->index(current.row(), column), QItemSelectionModel::NoUpdate);
}

void DataGridEvents::makeRowCurrentAt(QWidget *source, QPoint at)
{
    QItemSelectionModel *selection = m_grid.selectionModel();
    for (GridPane *p : panes().all()) {
        int row = -1, column = m_grid.usableColumn();
        if (source == p->viewport()) {
            const QModelIndex index = p->indexAt(at);
            row = index.row();
            column = index.column();
        } else if (source == p->verticalHeader()->viewport()) {
            row = p->verticalHeader()->logicalIndexAt(at);
        }
        if (row >= 0 && column >= 0 && row != selection->currentIndex().row())
            selection->setCurrentIndex(m_grid.model()->index(row, column), QItemSelectionModel::NoUpdate);
        if (row >= 0)
            return;
    }
}
