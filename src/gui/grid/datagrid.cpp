#include "grid/datagrid.h"

#include "grid/gridevents.h"
#include "grid/paneset.h"
#include "grid/recordsetmodel.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QScrollBar>

namespace {

// Rows left in view above a row the program jumps to.
constexpr int kRowsAboveJump = 1;

} // namespace

DataGrid::DataGrid(QWidget *parent)
    : QWidget(parent), m_model(new RecordSetModel(this)), m_selection(new QItemSelectionModel(m_model, this)),
      m_events(std::make_unique<DataGridEvents>(*this))
{
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    setFont(f);
    m_model->setMarkColors(palette().brush(QPalette::Highlight), palette().brush(QPalette::HighlightedText));

    connect(m_selection, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { onCurrentChanged(current); });
    connect(m_model, &RecordSetModel::currentRecordMoved, this, &DataGrid::showCurrentRecord);
    connect(m_model, &RecordSetModel::recordsRebuilt, this, &DataGrid::applyLayoutAfterReset);

    // Made after the connections above, so the grid hears of a current-cell move first.
    m_panes = std::make_unique<PaneSet>(*this, m_model, m_selection, m_events.get());
    connect(m_panes.get(), &PaneSet::rowActivated, this, &DataGrid::rowActivated);
    connect(m_panes.get(), &PaneSet::selectorPressed, this, &DataGrid::onSelectorPressed);
}

DataGrid::~DataGrid()
{
    setFocusProxy(nullptr);
    m_panes->deleteAll();
    m_model->setRecordSet(nullptr); // detaches the observer
}

// Binding ------------------------------------------------------------------------------

void DataGrid::setDataSource(RecordSet *records)
{
    const bool another = records != m_model->recordSet();
    m_model->setRecordSet(records);
    if (another) {
        // Another table starts at its first column: a position scrolled to in the last one
        // would hide the names and cut the paths of this one.
        m_currentColumn = 0;
        m_panes->scrollAllToLeft();
    }
}

RecordSet *DataGrid::dataSource() const
{
    return m_model->recordSet();
}

void DataGrid::setAllowUpdate(bool allow)
{
    m_allowUpdate = allow;
}

bool DataGrid::allowUpdate() const
{
    return m_allowUpdate;
}

void DataGrid::resetState()
{
    m_model->clearMarks();
}

void DataGrid::applyLayoutAfterReset()
{
    // Header sections are rebuilt when the column count changes: hidden columns and
    // widths must be given again.
    m_panes->applyLayout();
    RecordSet *rs = m_model->recordSet();
    showCurrentRecord(rs ? rs->position() : -1);
}

// Columns --------------------------------------------------------------------------------

int DataGrid::columnCount() const
{
    return m_model->columnCount();
}

void DataGrid::setColumnCaption(int column, const QString &caption)
{
    m_model->setCaption(column, caption);
}

QString DataGrid::columnCaption(int column) const
{
    return m_model->caption(column);
}

void DataGrid::setColumnWidth(int column, int twips)
{
    m_panes->setColumnWidth(column, twips);
}

int DataGrid::columnWidth(int column) const
{
    return m_panes->columnWidth(column);
}

void DataGrid::setColumnVisible(int column, bool visible)
{
    m_panes->setColumnVisible(column, visible);
}

void DataGrid::setColumnNumberFormat(int column, const QString &format)
{
    m_model->setNumberFormat(column, format);
}

QString DataGrid::columnNumberFormat(int column) const
{
    return m_model->numberFormat(column);
}

void DataGrid::setStyleAlignment(int alignment)
{
    m_panes->setAlignment(alignment);
}

int DataGrid::styleAlignment() const
{
    return m_panes->alignment();
}

// Panes --------------------------------------------------------------------------------

int DataGrid::paneCount() const
{
    return m_panes->count();
}

GridPane *DataGrid::pane(int position) const
{
    return m_panes->at(position);
}

void DataGrid::insertPane(int position)
{
    m_panes->insert(position);
}

void DataGrid::removePane(int position)
{
    m_panes->remove(position);
}

void DataGrid::setCurrentPane(int position)
{
    if (GridPane *p = pane(position))
        m_panes->makeCurrent(p);
}

int DataGrid::currentPane() const
{
    return m_panes->indexOf(m_panes->current());
}

// Current row and column ---------------------------------------------------------------

int DataGrid::usableColumn() const
{
    const int columns = m_model->columnCount();
    return columns == 0 ? -1 : qBound(0, m_currentColumn, columns - 1);
}

void DataGrid::setCurrentColumn(int column)
{
    if (column < 0 || column >= columnCount())
        return;
    m_currentColumn = column;
    const int row = currentRow();
    if (row >= 0) {
        m_showingRecord = true;
        m_selection->setCurrentIndex(m_model->index(row, column), QItemSelectionModel::NoUpdate);
        m_showingRecord = false;
    }
    // A sort has just rebuilt the rows and the panes: the pane's width and scroll range
    // must be the new ones, or the column stops short of the view.
    m_panes->activateLayout();
    m_panes->current()->revealColumn(column);
}

int DataGrid::currentColumn() const
{
    const QModelIndex current = m_selection->currentIndex();
    return current.isValid() ? current.column() : m_currentColumn;
}

int DataGrid::currentRow() const
{
    const RecordSet *rs = m_model->recordSet();
    if (!rs)
        return -1;
    const int pos = rs->position();
    return pos >= 0 && pos < m_model->rowCount() ? pos : -1;
}

QString DataGrid::columnText(int column) const
{
    const RecordSet *rs = m_model->recordSet();
    const int row = currentRow();
    return row >= 0 && column >= 0 && column < columnCount() ? rs->textAt(row, column) : QString();
}

void DataGrid::onCurrentChanged(const QModelIndex &current)
{
    // Moves the selection model makes while rows go away are not the user's.
    if (m_showingRecord || m_model->isUpdating() || !current.isValid())
        return;
    m_currentColumn = current.column();
    RecordSet *rs = m_model->recordSet();
    if (!rs || current.row() == rs->position())
        return;
    m_followingView = true;
    rs->setPosition(current.row());
    m_followingView = false;
}

void DataGrid::showCurrentRecord(int position)
{
    if (m_followingView)
        return;
    m_showingRecord = true;
    const int column = usableColumn();
    if (position >= 0 && position < m_model->rowCount() && column >= 0) {
        // A row the program jumps to (a find, a duplicate) lands near the top, where the
        // eye looks, not on the bottom edge. Told before the views learn of the move: each
        // of them scrolls its new current cell only just into view.
        GridPane *master = m_panes->settledMaster();
        const bool jump = !master->isRowWhollyInView(position);
        m_selection->setCurrentIndex(m_model->index(position, column), QItemSelectionModel::NoUpdate);
        if (jump)
            master->verticalScrollBar()->setValue(qMax(0, position - kRowsAboveJump));
        scrollCurrentIntoView();
    } else {
        // Before the first or past the last record (a find that failed): no current row.
        m_selection->clearCurrentIndex();
        m_panes->repaintSelectors();
    }
    m_showingRecord = false;
}

void DataGrid::scrollCurrentIntoView()
{
    const QModelIndex current = m_selection->currentIndex();
    if (!current.isValid())
        return;
    GridPane *master = m_panes->settledMaster();
    if (!master->isRowWhollyInView(current.row())) {
        QScrollBar *bar = master->verticalScrollBar();
        bar->setValue(current.row() < bar->value() ? current.row() : current.row() - master->rowsInView() + 1);
    }
    // A column shown in no pane leaves every pane where it is sideways.
    if (GridPane *p = m_panes->showing(current.column()))
        p->revealColumn(current.column());
}

// Marks --------------------------------------------------------------------------------

RecordSet::Bookmark DataGrid::bookmark() const
{
    const RecordSet *rs = m_model->recordSet();
    return rs && currentRow() >= 0 ? rs->bookmark() : RecordSet::kNoBookmark;
}

void DataGrid::addSelectedBookmark(RecordSet::Bookmark b)
{
    m_model->setMarked(b, true);
}

void DataGrid::removeSelectedBookmark(RecordSet::Bookmark b)
{
    m_model->setMarked(b, false);
}

const QSet<RecordSet::Bookmark> &DataGrid::selectedBookmarks() const
{
    return m_model->marks();
}

bool DataGrid::isRowMarked(int row) const
{
    return m_model->isMarked(row);
}

void DataGrid::onSelectorPressed(int row)
{
    // Simple multi-select: a row selector toggles its row's mark, the others stay.
    m_model->toggleMark(row);
    if (m_selection->currentIndex().row() != row && usableColumn() >= 0)
        m_selection->setCurrentIndex(m_model->index(row, usableColumn()), QItemSelectionModel::NoUpdate);
}

void DataGrid::deleteCurrentRow()
{
    RecordSet *rs = m_model->recordSet();
    if (!rs || currentRow() < 0)
        return;
    m_model->setMarked(rs->bookmark(), false);
    rs->deleteCurrent();
}

void DataGrid::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_model->setMarkColors(palette().brush(QPalette::Highlight), palette().brush(QPalette::HighlightedText));
    // The constructor's own font arrives before there are panes.
    if (event->type() == QEvent::FontChange && m_panes)
        m_panes->applyWidths();
}
