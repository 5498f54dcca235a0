#include "grid/datagrid.h"

#include "grid/recordsetmodel.h"
#include "grid/twips.h"
#include "ui/keyascii.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

Qt::Alignment headingAlignment(int alignment)
{
    switch (alignment) {
    case 1:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 2:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

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

// Rows left in view above a row the program jumps to.
constexpr int kRowsAboveJump = 1;

} // namespace

DataGrid::DataGrid(QWidget *parent)
    : QWidget(parent), m_model(new RecordSetModel(this)), m_selection(new QItemSelectionModel(m_model, this)),
      m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    setFont(f);
    m_model->setMarkColors(palette().brush(QPalette::Highlight), palette().brush(QPalette::HighlightedText));

    connect(m_selection, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { onCurrentChanged(current); });
    connect(m_model, &RecordSetModel::currentRecordMoved, this, &DataGrid::showCurrentRecord);
    connect(m_model, &RecordSetModel::recordsRebuilt, this, &DataGrid::applyLayoutAfterReset);

    GridPane *first = createPane();
    m_panes.push_back(first);
    m_layout->addWidget(first);
    makeCurrentPane(first);
    updateScrollBars();
    updateStretch();
}

DataGrid::~DataGrid()
{
    setFocusProxy(nullptr);
    for (GridPane *p : m_panes) {
        unwatch(p);
        delete p;
    }
    m_panes.clear();
    m_model->setRecordSet(nullptr); // detaches the observer
}

// Binding ------------------------------------------------------------------------------

void DataGrid::setDataSource(RecordSet *records)
{
    const bool another = records != m_model->recordSet();
    m_model->setRecordSet(records);
    if (another)
        startAtLeft();
}

void DataGrid::startAtLeft()
{
    // Another table starts at its first column: a position scrolled to in the last one
    // would hide the names and cut the paths of this one.
    m_currentColumn = 0;
    for (GridPane *p : m_panes)
        p->horizontalScrollBar()->setValue(p->horizontalScrollBar()->minimum());
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
    for (GridPane *p : m_panes) {
        p->applyVisibility();
        applyColumnWidths(p);
    }
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
    if (column < 0)
        return;
    if (std::size_t(column) >= m_widths.size())
        m_widths.resize(std::size_t(column) + 1, -1);
    m_widths[std::size_t(column)] = qMax(0, twips);
    for (GridPane *p : m_panes)
        applyColumnWidths(p);
}

int DataGrid::columnWidth(int column) const
{
    if (column >= 0 && std::size_t(column) < m_widths.size() && m_widths[std::size_t(column)] >= 0)
        return m_widths[std::size_t(column)];
    const QHeaderView *h = m_panes.front()->horizontalHeader();
    const int px = column >= 0 && column < h->count() ? h->sectionSize(column) : h->defaultSectionSize();
    return pixelsToTwips(px, this);
}

void DataGrid::applyColumnWidths(GridPane *pane)
{
    m_applyingWidths = true;
    QHeaderView *h = pane->horizontalHeader();
    const int n = qMin(h->count(), int(m_widths.size()));
    for (int c = 0; c < n; ++c)
        if (m_widths[std::size_t(c)] >= 0)
            h->resizeSection(c, twipsToPixels(m_widths[std::size_t(c)], this));
    m_applyingWidths = false;
    pane->refreshWidth();
}

void DataGrid::onSectionResized(GridPane *pane, int column, int newSize)
{
    // Only a drag in a pane that allows sizing changes the grid's width of a column.
    if (m_applyingWidths || !pane->allowSizing())
        return;
    if (std::size_t(column) >= m_widths.size())
        m_widths.resize(std::size_t(column) + 1, -1);
    m_widths[std::size_t(column)] = pixelsToTwips(newSize, this);
    for (GridPane *p : m_panes)
        if (p != pane)
            applyColumnWidths(p);
}

void DataGrid::setColumnVisible(int column, bool visible)
{
    for (GridPane *p : m_panes)
        p->setColumnVisible(column, visible);
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
    m_alignment = alignment;
    for (GridPane *p : m_panes)
        p->horizontalHeader()->setDefaultAlignment(headingAlignment(alignment));
}

int DataGrid::styleAlignment() const
{
    return m_alignment;
}

// Panes --------------------------------------------------------------------------------

int DataGrid::paneCount() const
{
    return int(m_panes.size());
}

GridPane *DataGrid::pane(int position) const
{
    return position >= 0 && position < paneCount() ? m_panes[std::size_t(position)] : nullptr;
}

int DataGrid::paneIndex(const GridPane *pane) const
{
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        if (m_panes[i] == pane)
            return int(i);
    return -1;
}

GridPane *DataGrid::createPane()
{
    auto *p = new GridPane(this);
    p->setModel(m_model);
    p->setSelectionModel(m_selection);
    p->horizontalHeader()->setDefaultAlignment(headingAlignment(m_alignment));
    watch(p);
    return p;
}

void DataGrid::insertPane(int position)
{
    position = qBound(0, position, paneCount());
    GridPane *before = m_panes[std::size_t(qMin(position, paneCount() - 1))];
    GridPane *p = createPane();
    p->copyVisibility(*before);
    applyColumnWidths(p);
    m_panes.insert(m_panes.begin() + position, p);
    m_layout->insertWidget(position, p);
    // The layout would show it only from the event loop; until then the other panes are
    // laid out without it, and a column brought into view in the meantime ends up short.
    if (!isHidden())
        p->show();
    updateScrollBars();
    updateStretch();
    p->verticalScrollBar()->setValue(m_panes.back()->verticalScrollBar()->value());
}

void DataGrid::removePane(int position)
{
    if (paneCount() <= 1 || position < 0 || position >= paneCount())
        return;
    GridPane *p = m_panes[std::size_t(position)];
    const bool hadFocus = p->hasFocus();
    m_panes.erase(m_panes.begin() + position);
    if (m_currentPane == p)
        makeCurrentPane(m_panes[std::size_t(qMin(position, paneCount() - 1))]);
    unwatch(p);
    m_layout->removeWidget(p);
    p->hide();
    // Later, not now: the pane may be the one whose event is being handled.
    p->deleteLater();
    if (hadFocus)
        m_currentPane->setFocus(Qt::OtherFocusReason);
    updateScrollBars();
    updateStretch();
}

void DataGrid::watch(GridPane *p)
{
    p->installEventFilter(this);
    p->viewport()->installEventFilter(this);
    p->horizontalHeader()->viewport()->installEventFilter(this);
    p->verticalHeader()->viewport()->installEventFilter(this);

    connect(p, &QAbstractItemView::doubleClicked, this, &DataGrid::rowActivated);
    connect(p, &GridPane::sizingChanged, this, &DataGrid::updateStretch);
    connect(p->verticalHeader(), &QHeaderView::sectionPressed, this, &DataGrid::onSelectorPressed);
    connect(p->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this, p](int column, int, int newSize) { onSectionResized(p, column, newSize); });
    connect(p->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this, p](int value) { syncVerticalFrom(p, value); });
    connect(p->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        GridPane *master = m_panes.back();
        syncVerticalFrom(master, master->verticalScrollBar()->value());
    });
    connect(p->horizontalScrollBar(), &QScrollBar::rangeChanged, this, &DataGrid::updateScrollBars);
}

void DataGrid::unwatch(GridPane *p)
{
    p->removeEventFilter(this);
    p->viewport()->removeEventFilter(this);
    p->horizontalHeader()->viewport()->removeEventFilter(this);
    p->verticalHeader()->viewport()->removeEventFilter(this);
    for (QObject *o : {static_cast<QObject *>(p), static_cast<QObject *>(p->verticalHeader()),
                       static_cast<QObject *>(p->horizontalHeader()), static_cast<QObject *>(p->verticalScrollBar()),
                       static_cast<QObject *>(p->horizontalScrollBar())})
        o->disconnect(this);
}

void DataGrid::updateScrollBars()
{
    if (m_panes.empty())
        return;
    // Only the rightmost pane shows a vertical bar. The others show a horizontal bar
    // whenever it does, so every pane has the same height for rows and they stay in line.
    GridPane *master = m_panes.back();
    auto setPolicies = [](GridPane *p, Qt::ScrollBarPolicy v, Qt::ScrollBarPolicy h) {
        if (p->verticalScrollBarPolicy() != v)
            p->setVerticalScrollBarPolicy(v);
        if (p->horizontalScrollBarPolicy() != h)
            p->setHorizontalScrollBarPolicy(h);
    };
    setPolicies(master, Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);
    const QScrollBar *bar = master->horizontalScrollBar();
    const bool masterNeedsBar = bar->maximum() > bar->minimum();
    for (GridPane *p : m_panes)
        if (p != master)
            setPolicies(p, Qt::ScrollBarAlwaysOff, masterNeedsBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

void DataGrid::updateStretch()
{
    for (int i = 0; i < paneCount(); ++i) {
        const GridPane *p = m_panes[std::size_t(i)];
        m_layout->setStretch(i, p->sizeMode() == PaneSizeMode::Scalable ? qMax(1, p->size()) : 0);
    }
}

void DataGrid::syncVerticalFrom(GridPane *source, int value)
{
    if (m_syncingScroll)
        return;
    m_syncingScroll = true;
    for (GridPane *p : m_panes)
        if (p != source)
            p->verticalScrollBar()->setValue(value);
    m_syncingScroll = false;
}

void DataGrid::makeCurrentPane(GridPane *pane)
{
    m_currentPane = pane;
    setFocusProxy(pane);
}

void DataGrid::setCurrentPane(int position)
{
    if (GridPane *p = pane(position))
        makeCurrentPane(p);
}

int DataGrid::currentPane() const
{
    return paneIndex(m_currentPane);
}

GridPane *DataGrid::paneShowing(int column) const
{
    if (m_currentPane && !m_currentPane->isColumnHidden(column))
        return m_currentPane;
    for (GridPane *p : m_panes)
        if (!p->isColumnHidden(column))
            return p;
    return nullptr;
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
    m_layout->activate();
    m_currentPane->revealColumn(column);
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
        GridPane *master = settledMaster();
        const bool jump = !master->isRowWhollyInView(position);
        m_selection->setCurrentIndex(m_model->index(position, column), QItemSelectionModel::NoUpdate);
        if (jump)
            master->verticalScrollBar()->setValue(qMax(0, position - kRowsAboveJump));
        scrollCurrentIntoView();
    } else {
        // Before the first or past the last record (a find that failed): no current row.
        m_selection->clearCurrentIndex();
        for (GridPane *p : m_panes)
            p->verticalHeader()->viewport()->update();
    }
    m_showingRecord = false;
}

GridPane *DataGrid::settledMaster()
{
    // Scrolling is worked out on the panes as they will be shown: after a sort or a new
    // split their widths and scroll ranges are not laid out yet.
    m_layout->activate();
    GridPane *master = m_panes.back();
    master->settle();
    return master;
}

void DataGrid::scrollCurrentIntoView()
{
    const QModelIndex current = m_selection->currentIndex();
    if (!current.isValid())
        return;
    GridPane *master = settledMaster();
    if (!master->isRowWhollyInView(current.row())) {
        QScrollBar *bar = master->verticalScrollBar();
        bar->setValue(current.row() < bar->value() ? current.row() : current.row() - master->rowsInView() + 1);
    }
    // A column shown in no pane leaves every pane where it is sideways.
    if (GridPane *p = paneShowing(current.column()))
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

// Events -------------------------------------------------------------------------------

bool DataGrid::eventFilter(QObject *watched, QEvent *event)
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
        if (auto *p = qobject_cast<GridPane *>(watched); p && paneIndex(p) >= 0) {
            makeCurrentPane(p);
            keepCurrentCellIn(p);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool DataGrid::handleKey(QKeyEvent *event)
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
    emit keyPress(keyAscii);
    if (keyAscii == 0)
        return true;
    if (event->key() == Qt::Key_Tab) {
        moveFocusOutside(!(event->modifiers() & Qt::ShiftModifier));
        return true;
    }
    // Enter not taken by the handlers opens the row as a double click does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0)
        emit rowActivated();
    return false;
}

// The keyboard's way to a right click: the Menu key, or Shift+F10.
bool DataGrid::isContextKey(const QKeyEvent &event)
{
    return event.key() == Qt::Key_Menu ||
           (event.key() == Qt::Key_F10 && (event.modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier);
}

void DataGrid::emitContextPress(Qt::KeyboardModifiers modifiers)
{
    // As a right button pressed on the current cell, where the pointer would be.
    QPoint at;
    if (m_currentPane) {
        const QRect cell = m_currentPane->visualRect(m_selection->currentIndex());
        at = m_currentPane->viewport()->mapTo(this, cell.isValid() ? cell.center() : QPoint());
    }
    emit mouseDown(buttonCode(Qt::RightButton), shiftCode(modifiers & ~Qt::ShiftModifier), at.x(), at.y());
}

void DataGrid::moveFocusOutside(bool forward)
{
    QWidget *w = this;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w != this && !isAncestorOf(w) && w->window() == window() && (w->focusPolicy() & Qt::TabFocus) &&
            w->isEnabled() && w->isVisible() && !w->focusProxy()) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    } while (w && w != this);
}

void DataGrid::emitMouseDown(QWidget *source, QEvent *event)
{
    const auto *e = static_cast<QMouseEvent *>(event);
    const int button = buttonCode(e->button());
    if (button == 0)
        return;
    // Whoever hears of the press reads the current row: it must be the one pressed on
    // already, not only once the view has handled the press after them.
    makeRowCurrentAt(source, e->position().toPoint());
    const QPoint at = source->mapTo(this, e->position().toPoint());
    emit mouseDown(button, shiftCode(e->modifiers()), at.x(), at.y());
}

void DataGrid::keepCurrentCellIn(GridPane *pane)
{
    // A view moves its cursor only through cells it shows: with the current cell in a
    // column this pane hides (the names pane after a sort by size, say), the movement keys
    // would do nothing until a cell was clicked.
    const QModelIndex current = m_selection->currentIndex();
    if (!current.isValid() || !pane->isColumnHidden(current.column()))
        return;
    const int column = pane->firstVisibleColumn();
    if (column >= 0 && column < m_model->columnCount())
        m_selection->setCurrentIndex(m_model->index(current.row(), column), QItemSelectionModel::NoUpdate);
}

void DataGrid::makeRowCurrentAt(QWidget *source, QPoint at)
{
    for (GridPane *p : m_panes) {
        int row = -1, column = usableColumn();
        if (source == p->viewport()) {
            const QModelIndex index = p->indexAt(at);
            row = index.row();
            column = index.column();
        } else if (source == p->verticalHeader()->viewport()) {
            row = p->verticalHeader()->logicalIndexAt(at);
        }
        if (row >= 0 && column >= 0 && row != m_selection->currentIndex().row())
            m_selection->setCurrentIndex(m_model->index(row, column), QItemSelectionModel::NoUpdate);
        if (row >= 0)
            return;
    }
}

void DataGrid::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_model->setMarkColors(palette().brush(QPalette::Highlight), palette().brush(QPalette::HighlightedText));
    if (event->type() == QEvent::FontChange)
        for (GridPane *p : m_panes)
            applyColumnWidths(p);
}
