#include "grid/gridpane.h"

#include "grid/twips.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

namespace {

const QColor kDividerColor(Qt::darkGray);

// Its size comes from the font alone, so no heading or row is measured, and the panes'
// headings line up because they all have the same height.
class PaneHeader : public QHeaderView {
public:
    PaneHeader(Qt::Orientation orientation, GridPane *pane) : QHeaderView(orientation, pane), m_pane(pane) {}

    [[nodiscard]] QSize sizeHint() const override
    {
        const int line = fontMetrics().height();
        if (orientation() == Qt::Horizontal)
            return {length(), line + 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 2};
        return {qMax(12, line), length()};
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        // The style's heading leaves the painter clipped to an empty region when it had no
        // clip before, which would swallow the marker.
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        if (orientation() == Qt::Vertical && logicalIndex == m_pane->currentIndex().row())
            paintCurrentMarker(painter, rect, palette().color(QPalette::ButtonText));
    }

private:
    // The row selector of the current row carries a pointer, as the heading of a record
    // does in data grids.
    static void paintCurrentMarker(QPainter *painter, const QRect &rect, const QColor &ink)
    {
        const qreal h = qMin(rect.height(), rect.width()) * 0.65;
        const QPointF c = QRectF(rect).center();
        QPainterPath arrow;
        arrow.moveTo(c.x() - h / 3, c.y() - h / 2);
        arrow.lineTo(c.x() + h / 3, c.y());
        arrow.lineTo(c.x() - h / 3, c.y() + h / 2);
        arrow.closeSubpath();
        painter->save();
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(arrow, ink);
        painter->restore();
    }

    GridPane *m_pane;
};

// Dark grey dividers and a frame over the current cell; the frame shows in the one pane
// that shows the current column.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(GridPane *pane) : QStyledItemDelegate(pane), m_pane(pane) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        opt.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, opt, index);
        const QRect r = option.rect;
        painter->save();
        painter->setPen(kDividerColor);
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomRight());
        if (index == m_pane->currentIndex()) {
            QPen pen(option.palette.color(QPalette::Text), 2);
            pen.setJoinStyle(Qt::MiterJoin);
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(r).adjusted(1, 1, -1, -1));
        }
        painter->restore();
    }

protected:
    // The current row is tinted across every pane, so it is seen at a glance whichever
    // column is current, focused or not; inside a marked group it is a darker mark.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.row() != m_pane->currentIndex().row())
            return;
        const QColor highlight = option->palette.color(QPalette::Active, QPalette::Highlight);
        if (index.data(Qt::BackgroundRole).isValid()) {
            option->backgroundBrush = highlight.darker(140);
            return;
        }
        const QColor base = option->palette.color(QPalette::Active, QPalette::Base);
        constexpr qreal kTint = 0.3;
        option->backgroundBrush = QColor::fromRgbF(base.redF() + (highlight.redF() - base.redF()) * kTint,
                                                   base.greenF() + (highlight.greenF() - base.greenF()) * kTint,
                                                   base.blueF() + (highlight.blueF() - base.blueF()) * kTint);
    }

private:
    GridPane *m_pane;
};

// A bar with nothing to scroll draws as blank space. A pane beside a scrolling one keeps
// its bar so that both panes give the rows the same height, but a bar that cannot move
// must not look as if it could.
class QuietScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

    [[nodiscard]] bool isIdle() const { return maximum() <= minimum(); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (!isIdle()) {
            QScrollBar::paintEvent(event);
            return;
        }
        QPainter p(this);
        p.fillRect(rect(), palette().window());
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (isIdle())
            event->ignore();
        else
            QScrollBar::mousePressEvent(event);
    }
};

} // namespace

GridPane::GridPane(QWidget *parent) : QTableView(parent)
{
    setHorizontalScrollBar(new QuietScrollBar(Qt::Horizontal, this));
    setHorizontalHeader(new PaneHeader(Qt::Horizontal, this));
    setVerticalHeader(new PaneHeader(Qt::Vertical, this));
    setItemDelegate(new CellDelegate(this));
    setShowGrid(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(NoSelection); // row marks are painted from the model
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setDragEnabled(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);

    QHeaderView *h = horizontalHeader();
    h->setSectionsMovable(false);
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    h->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView *v = verticalHeader();
    v->setSectionsMovable(false);
    v->setSectionsClickable(true);
    v->setHighlightSections(false);
    v->setSectionResizeMode(QHeaderView::Fixed);
    applyFontMetrics();

    connect(h, &QHeaderView::sectionResized, this, &GridPane::refreshWidth);
}

void GridPane::applyFontMetrics()
{
    // One fixed height for every row: nothing is measured per row, however many there are.
    const int rowHeight = fontMetrics().height() + 4;
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    refreshWidth();
}

void GridPane::focusInEvent(QFocusEvent *event)
{
    // A view without a current row makes its first row current when it takes the focus;
    // here no current row means the record set stands past its end (a find that failed),
    // and taking the focus must not move it.
    QItemSelectionModel *selection = selectionModel();
    const bool hadCurrent = currentIndex().isValid();
    const QSignalBlocker quiet(hadCurrent ? nullptr : selection);
    QTableView::focusInEvent(event);
    if (!hadCurrent && selection)
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void GridPane::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyFontMetrics();
}

void GridPane::setColumnVisible(int column, bool visible)
{
    if (column < 0)
        return;
    if (std::size_t(column) >= m_visible.size())
        m_visible.resize(std::size_t(column) + 1, m_defaultVisible);
    m_visible[std::size_t(column)] = visible;
    if (model() && column < model()->columnCount())
        setColumnHidden(column, !visible);
    refreshWidth();
}

bool GridPane::isColumnVisible(int column) const
{
    if (column < 0)
        return false;
    return std::size_t(column) < m_visible.size() ? bool(m_visible[std::size_t(column)]) : m_defaultVisible;
}

void GridPane::setAllColumnsVisible(bool visible)
{
    m_visible.clear();
    m_defaultVisible = visible;
    applyVisibility();
}

void GridPane::copyVisibility(const GridPane &other)
{
    m_visible = other.m_visible;
    m_defaultVisible = other.m_defaultVisible;
    applyVisibility();
}

void GridPane::applyVisibility()
{
    const int columns = model() ? model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c)
        setColumnHidden(c, !isColumnVisible(c));
    refreshWidth();
}

int GridPane::firstVisibleColumn() const
{
    const int columns = model() ? model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c)
        if (!isColumnHidden(c))
            return c;
    return -1;
}

void GridPane::setSizeMode(PaneSizeMode mode)
{
    m_sizeMode = mode;
    refreshWidth();
    emit sizingChanged();
}

void GridPane::setSize(int size)
{
    m_size = size;
    refreshWidth();
    emit sizingChanged();
}

int GridPane::fittedWidth() const
{
    const QHeaderView *h = horizontalHeader();
    int width = 0;
    int taken = 0;
    for (int visual = 0; visual < h->count() && taken < m_size; ++visual) {
        const int logical = h->logicalIndex(visual);
        if (!h->isSectionHidden(logical)) {
            width += h->sectionSize(logical);
            ++taken;
        }
    }
    const QHeaderView *v = verticalHeader();
    if (!v->isHidden())
        width += qMax(v->minimumWidth(), v->sizeHint().width());
    if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ||
        (verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded && verticalScrollBar()->isVisible()))
        width += verticalScrollBar()->sizeHint().width();
    return width + 2 * frameWidth();
}

void GridPane::refreshWidth()
{
    int wanted = -1;
    if (m_sizeMode == PaneSizeMode::NumberOfColumns)
        wanted = fittedWidth();
    else if (m_sizeMode == PaneSizeMode::Exact)
        wanted = qMax(0, twipsToPixels(m_size, this));
    if (wanted >= 0) {
        if (minimumWidth() != wanted || maximumWidth() != wanted)
            setFixedWidth(wanted);
    } else if (minimumWidth() != 0 || maximumWidth() != QWIDGETSIZE_MAX) {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
    }
}

void GridPane::setAllowSizing(bool allow)
{
    m_allowSizing = allow;
    horizontalHeader()->setSectionResizeMode(allow ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void GridPane::setRecordSelectors(bool on)
{
    m_recordSelectors = on;
    verticalHeader()->setVisible(on);
    refreshWidth();
}

void GridPane::setBackColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    p.setColor(QPalette::AlternateBase, color);
    setPalette(p);
}

QColor GridPane::backColor() const
{
    return palette().color(QPalette::Base);
}

void GridPane::keyboardSearch(const QString &search)
{
    // Typed characters belong to the grid's key event, not to a jump to a matching row.
    (void)search;
}

void GridPane::settle()
{
    executeDelayedItemsLayout();
    updateGeometries();
}

void GridPane::revealColumn(int column)
{
    if (column < 0 || column >= horizontalHeader()->count() || isColumnHidden(column))
        return;
    settle();
    const QHeaderView *h = horizontalHeader();
    const int left = h->sectionPosition(column);
    const int right = left + h->sectionSize(column);
    QScrollBar *bar = horizontalScrollBar();
    const int width = viewport()->width();
    if (left < bar->value())
        bar->setValue(left);
    else if (right > bar->value() + width)
        bar->setValue(qMin(left, right - width));
}

int GridPane::rowsInView() const
{
    return qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()));
}

bool GridPane::isRowWhollyInView(int row) const
{
    const QHeaderView *v = verticalHeader();
    const int top = v->sectionViewportPosition(row);
    return row >= 0 && row < v->count() && top >= 0 && top + v->sectionSize(row) <= viewport()->height();
}

void GridPane::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (current.row() != previous.row())
        viewport()->update(); // the whole rows, not only the two cells
    verticalHeader()->viewport()->update();
}

void GridPane::updateGeometries()
{
    QTableView::updateGeometries();
    refreshWidth();
}
