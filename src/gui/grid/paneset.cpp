#include "grid/paneset.h"

#include "grid/gridpane.h"
#include "grid/twips.h"

#include <QHBoxLayout>
#include <QHeaderView>
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

} // namespace

PaneSet::PaneSet(QWidget &host, QAbstractItemModel *model, QItemSelectionModel *selection, QObject *inputFilter)
    : m_host(host), m_model(model), m_selection(selection), m_inputFilter(inputFilter), m_layout(new QHBoxLayout(&host))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    GridPane *first = create();
    m_panes.push_back(first);
    m_layout->addWidget(first);
    makeCurrent(first);
    updateScrollBars();
    updateStretch();
}

void PaneSet::deleteAll()
{
    for (GridPane *p : m_panes) {
        unwatch(p);
        delete p;
    }
    m_panes.clear();
    m_current = nullptr;
}

GridPane *PaneSet::at(int position) const
{
    return position >= 0 && position < count() ? m_panes[std::size_t(position)] : nullptr;
}

int PaneSet::indexOf(const GridPane *pane) const
{
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        if (m_panes[i] == pane)
            return int(i);
    return -1;
}

GridPane *PaneSet::settledMaster()
{
    // Scrolling is worked out on the panes as they will be shown: after a sort or a new
    // split their widths and scroll ranges are not laid out yet.
    m_layout->activate();
    GridPane *m = master();
    m->settle();
    return m;
}

GridPane *PaneSet::create()
{
    auto *p = new GridPane(&m_host);
    p->setModel(m_model);
    p->setSelectionModel(m_selection);
    p->horizontalHeader()->setDefaultAlignment(headingAlignment(m_alignment));
    watch(p);
    return p;
}

void PaneSet::insert(int position)
{
    position = qBound(0, position, count());
    GridPane *before = m_panes[std::size_t(qMin(position, count() - 1))];
    GridPane *p = create();
    p->copyVisibility(*before);
    applyColumnWidths(p);
    m_panes.insert(m_panes.begin() + position, p);
    m_layout->insertWidget(position, p);
    // The layout would show it only from the event loop; until then the other panes are
    // laid out without it, and a column brought into view in the meantime ends up short.
    if (!m_host.isHidden())
        p->show();
    updateScrollBars();
    updateStretch();
    p->verticalScrollBar()->setValue(master()->verticalScrollBar()->value());
}

void PaneSet::remove(int position)
{
    if (count() <= 1 || position < 0 || position >= count())
        return;
    GridPane *p = m_panes[std::size_t(position)];
    const bool hadFocus = p->hasFocus();
    m_panes.erase(m_panes.begin() + position);
    if (m_current == p)
        makeCurrent(m_panes[std::size_t(qMin(position, count() - 1))]);
    unwatch(p);
    m_layout->removeWidget(p);
    p->hide();
    // Later, not now: the pane may be the one whose event is being handled.
    p->deleteLater();
    if (hadFocus)
        m_current->setFocus(Qt::OtherFocusReason);
    updateScrollBars();
    updateStretch();
}

void PaneSet::watch(GridPane *p)
{
    for (QWidget *w :
         {static_cast<QWidget *>(p), p->viewport(), p->horizontalHeader()->viewport(), p->verticalHeader()->viewport()})
        w->installEventFilter(m_inputFilter);

    connect(p, &QAbstractItemView::doubleClicked, this, &PaneSet::rowActivated);
    connect(p, &GridPane::sizingChanged, this, &PaneSet::updateStretch);
    connect(p->verticalHeader(), &QHeaderView::sectionPressed, this, &PaneSet::selectorPressed);
    connect(p->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this, p](int column, int, int newSize) { onSectionResized(p, column, newSize); });
    connect(p->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this, p](int value) { syncVerticalFrom(p, value); });
    connect(p->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            [this] { syncVerticalFrom(master(), master()->verticalScrollBar()->value()); });
    connect(p->horizontalScrollBar(), &QScrollBar::rangeChanged, this, &PaneSet::updateScrollBars);
}

void PaneSet::unwatch(GridPane *p)
{
    for (QWidget *w :
         {static_cast<QWidget *>(p), p->viewport(), p->horizontalHeader()->viewport(), p->verticalHeader()->viewport()})
        w->removeEventFilter(m_inputFilter);
    for (QObject *o : {static_cast<QObject *>(p), static_cast<QObject *>(p->verticalHeader()),
                       static_cast<QObject *>(p->horizontalHeader()), static_cast<QObject *>(p->verticalScrollBar()),
                       static_cast<QObject *>(p->horizontalScrollBar())})
        o->disconnect(this);
}

void PaneSet::makeCurrent(GridPane *pane)
{
    m_current = pane;
    m_host.setFocusProxy(pane);
}

GridPane *PaneSet::showing(int column) const
{
    if (m_current && !m_current->isColumnHidden(column))
        return m_current;
    for (GridPane *p : m_panes)
        if (!p->isColumnHidden(column))
            return p;
    return nullptr;
}

// Widths ----------------------------------------------------------------------------------

void PaneSet::setColumnWidth(int column, int twips)
{
    if (column < 0)
        return;
    storeWidth(column, qMax(0, twips));
    applyWidths();
}

int PaneSet::columnWidth(int column) const
{
    if (column >= 0 && std::size_t(column) < m_widths.size() && m_widths[std::size_t(column)] >= 0)
        return m_widths[std::size_t(column)];
    const QHeaderView *h = m_panes.front()->horizontalHeader();
    const int px = column >= 0 && column < h->count() ? h->sectionSize(column) : h->defaultSectionSize();
    return pixelsToTwips(px, &m_host);
}

void PaneSet::storeWidth(int column, int twips)
{
    if (std::size_t(column) >= m_widths.size())
        m_widths.resize(std::size_t(column) + 1, -1);
    m_widths[std::size_t(column)] = twips;
}

void PaneSet::applyWidths()
{
    for (GridPane *p : m_panes)
        applyColumnWidths(p);
}

void PaneSet::applyColumnWidths(GridPane *pane)
{
    m_applyingWidths = true;
    QHeaderView *h = pane->horizontalHeader();
    const int n = qMin(h->count(), int(m_widths.size()));
    for (int c = 0; c < n; ++c)
        if (m_widths[std::size_t(c)] >= 0)
            h->resizeSection(c, twipsToPixels(m_widths[std::size_t(c)], &m_host));
    m_applyingWidths = false;
    pane->refreshWidth();
}

void PaneSet::onSectionResized(GridPane *pane, int column, int newSize)
{
    // Only a drag in a pane that allows sizing changes the grid's width of a column.
    if (m_applyingWidths || !pane->allowSizing())
        return;
    storeWidth(column, pixelsToTwips(newSize, &m_host));
    for (GridPane *p : m_panes)
        if (p != pane)
            applyColumnWidths(p);
}

void PaneSet::setColumnVisible(int column, bool visible)
{
    for (GridPane *p : m_panes)
        p->setColumnVisible(column, visible);
}

void PaneSet::setAlignment(int alignment)
{
    m_alignment = alignment;
    for (GridPane *p : m_panes)
        p->horizontalHeader()->setDefaultAlignment(headingAlignment(alignment));
}

void PaneSet::applyLayout()
{
    for (GridPane *p : m_panes) {
        p->applyVisibility();
        applyColumnWidths(p);
    }
}

// Scrolling -------------------------------------------------------------------------------

void PaneSet::scrollAllToLeft()
{
    for (GridPane *p : m_panes)
        p->horizontalScrollBar()->setValue(p->horizontalScrollBar()->minimum());
}

void PaneSet::repaintSelectors()
{
    for (GridPane *p : m_panes)
        p->verticalHeader()->viewport()->update();
}

void PaneSet::activateLayout()
{
    m_layout->activate();
}

void PaneSet::updateScrollBars()
{
    if (m_panes.empty())
        return;
    // Only the rightmost pane shows a vertical bar. The others show a horizontal bar
    // whenever it does, so every pane has the same height for rows and they stay in line.
    GridPane *m = master();
    auto setPolicies = [](GridPane *p, Qt::ScrollBarPolicy v, Qt::ScrollBarPolicy h) {
        if (p->verticalScrollBarPolicy() != v)
            p->setVerticalScrollBarPolicy(v);
        if (p->horizontalScrollBarPolicy() != h)
            p->setHorizontalScrollBarPolicy(h);
    };
    setPolicies(m, Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);
    const QScrollBar *bar = m->horizontalScrollBar();
    const bool masterNeedsBar = bar->maximum() > bar->minimum();
    for (GridPane *p : m_panes)
        if (p != m)
            setPolicies(p, Qt::ScrollBarAlwaysOff, masterNeedsBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

void PaneSet::updateStretch()
{
    for (int i = 0; i < count(); ++i) {
        const GridPane *p = m_panes[std::size_t(i)];
        m_layout->setStretch(i, p->sizeMode() == PaneSizeMode::Scalable ? qMax(1, p->size()) : 0);
    }
}

void PaneSet::syncVerticalFrom(GridPane *source, int value)
{
    if (m_syncingScroll)
        return;
    m_syncingScroll = true;
    for (GridPane *p : m_panes)
        if (p != source)
            p->verticalScrollBar()->setValue(value);
    m_syncingScroll = false;
}
