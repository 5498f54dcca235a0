#include "lookup/sorting.h"

#include "common/windowprocedures.h"
#include "grid/datagrid.h"

#include <QAction>
#include <QLabel>
#include <QWidget>

namespace {

struct SortItemOrder {
    const char16_t *sortText;
    int column; // brought into view in the scrolling pane; -1 leaves the column alone
    const char16_t *caption;
};

constexpr int kPath = 2, kDateLastModified = 3, kSize = 6;
constexpr int kScrollingPane = 1;

// Indexed by SortItem.
constexpr SortItemOrder kItems[SortItemCount] = {
    {u"Field1", -1, u" Sorted By Long File Name - Ascending "},
    {u"Field1 Desc", -1, u" Sorted By Long File Name - Descending "},
    {u"Field2", -1, u" Sorted By Short File Name - Ascending "},
    {u"Field2 Desc", -1, u" Sorted By Short File Name - Descending "},
    {u"Field3", kPath, u" Sorted By Path - Ascending "},
    {u"Field3 Desc", kPath, u" Sorted By Path - Descending "},
    {u"Field7", kSize, u" Sorted By Size - Ascending "},
    {u"Field7 Desc", kSize, u" Sorted By Size - Descending "},
    {u"Field8", kDateLastModified, u" Sorted By Date Last Modified - Ascending "},
    {u"Field8 Desc", kDateLastModified, u" Sorted By Date Last Modified - Descending "},
    {u"Field9", -1, u" Sorted By File Extension - Ascending "},
    {u"Field9 Desc", -1, u" Sorted By File Extension - Descending "},
};

// The keys in the order the arrow buttons test them; each key's descending item follows
// its ascending one.
constexpr SortItem kArrowKeys[] = {LongNameAsc, ShortNameAsc, PathAsc, DateLastModifiedAsc, SizeAsc, ExtensionAsc};

bool isDescending(int item)
{
    return item % 2 == 1;
}

} // namespace

bool nameAscendingChosen(const LookupControls &controls)
{
    return controls.sortItems[LongNameAsc]->isChecked() || controls.sortItems[ShortNameAsc]->isChecked();
}

bool Sorting::marked(int item) const
{
    return m_c.sortItems[std::size_t(item)]->isChecked();
}

void Sorting::SetSort()
{
    for (QAction *item : m_c.sortItems)
        item->setChecked(false);
    m_c.lblSortType->setVisible(false);
    ShowDownArrow();
}

int Sorting::chosenItem() const
{
    int item = 0;
    while (item < SortItemCount && !marked(item))
        ++item;
    return item == SortItemCount ? int(LongNameAsc) : item;
}

QString Sorting::chosenSortOrder() const
{
    return QString::fromUtf16(kItems[chosenItem()].sortText);
}

QString Sorting::chosenSortCaption() const
{
    return QString::fromUtf16(kItems[chosenItem()].caption);
}

void Sorting::SortIt()
{
    m_c.window->setCursor(Qt::WaitCursor);
    const int item = chosenItem();
    m_c.sortItems[std::size_t(item)]->setChecked(true);
    const SortItemOrder &s = kItems[item];
    m_c.state->catalogue->setSort(QStringView(s.sortText));
    if (m_c.procedures)
        m_c.procedures->ResetSplitDisplay();
    if (s.column >= 0) {
        m_c.grdFiles->setCurrentPane(kScrollingPane);
        m_c.grdFiles->setCurrentColumn(s.column);
    }
    m_c.lblSortType->setVisible(true);
    m_c.lblSortType->setText(QString::fromUtf16(s.caption));
    m_c.window->setCursor(Qt::ArrowCursor);
}

void Sorting::sortOn(SortItem item)
{
    SetSort();
    m_c.sortItems[item]->setChecked(true);
    if (m_c.state->TotalFiles > 0)
        SortIt();
}

void Sorting::SortDescending()
{
    for (SortItem asc : kArrowKeys) {
        if (marked(asc)) {
            sortOn(SortItem(asc + 1));
            break;
        }
    }
    ShowUpArrow();
}

void Sorting::SortAscending()
{
    for (SortItem asc : kArrowKeys) {
        if (marked(asc + 1)) {
            sortOn(asc);
            break;
        }
    }
    ShowDownArrow();
}

void Sorting::ShowUpArrow()
{
    m_c.DownArrow->setVisible(false);
    m_c.UpArrow->setVisible(true);
}

void Sorting::ShowDownArrow()
{
    m_c.UpArrow->setVisible(false);
    m_c.DownArrow->setVisible(true);
}

void Sorting::mnuSortItem_Click(SortItem item)
{
    sortOn(item);
    if (isDescending(item))
        ShowUpArrow();
}
