// Guards the sort state machine: which item is marked, the label and its caption, which
// arrow shows, the order the catalogue ends up in and the grid column brought into view,
// for orders applied to files and orders only chosen while nothing is displayed.
#include "lookup/sorting.h"
#include "support/lookupfixture.h"

#include <algorithm>

namespace {

// Each key puts the four files in a different order; sizes sort differently as numbers
// and as text.
const std::initializer_list<FileRec> kFiles = {
    {"alpha", "DELTA", "/C/", 700, "36000.5", "B"},
    {"bravo", "ALPHA", "/D/", 9, "37000.5", "D"},
    {"charlie", "CHARLIE", "/A/", 6000, "35000.5", "C"},
    {"delta", "BRAVO", "/B/", 80, "38000.25", "A"},
};

struct Expected {
    SortItem item;
    std::vector<std::string> order;
    int column; // -1: the column stays where it was
    const char *caption;
};

std::vector<std::string> reversed(std::vector<std::string> v)
{
    std::reverse(v.begin(), v.end());
    return v;
}

const std::vector<std::string> kByLong = {"ALPHA", "BRAVO", "CHARLIE", "DELTA"};
const std::vector<std::string> kByShort = {"BRAVO", "DELTA", "CHARLIE", "ALPHA"};
const std::vector<std::string> kByPath = {"CHARLIE", "DELTA", "ALPHA", "BRAVO"};
const std::vector<std::string> kBySize = {"BRAVO", "DELTA", "ALPHA", "CHARLIE"};
const std::vector<std::string> kByDate = {"CHARLIE", "ALPHA", "BRAVO", "DELTA"};
const std::vector<std::string> kByExt = {"DELTA", "ALPHA", "CHARLIE", "BRAVO"};

const std::vector<Expected> kExpected = {
    {LongNameAsc, kByLong, -1, " Sorted By Long File Name - Ascending "},
    {LongNameDsc, reversed(kByLong), -1, " Sorted By Long File Name - Descending "},
    {ShortNameAsc, kByShort, -1, " Sorted By Short File Name - Ascending "},
    {ShortNameDsc, reversed(kByShort), -1, " Sorted By Short File Name - Descending "},
    {PathAsc, kByPath, 2, " Sorted By Path - Ascending "},
    {PathDsc, reversed(kByPath), 2, " Sorted By Path - Descending "},
    {SizeAsc, kBySize, 6, " Sorted By Size - Ascending "},
    {SizeDsc, reversed(kBySize), 6, " Sorted By Size - Descending "},
    {DateLastModifiedAsc, kByDate, 3, " Sorted By Date Last Modified - Ascending "},
    {DateLastModifiedDsc, reversed(kByDate), 3, " Sorted By Date Last Modified - Descending "},
    {ExtensionAsc, kByExt, -1, " Sorted By File Extension - Ascending "},
    {ExtensionDsc, reversed(kByExt), -1, " Sorted By File Extension - Descending "},
};

const std::vector<std::string> kInsertion = {"ALPHA", "BRAVO", "CHARLIE", "DELTA"};

class SortingTest : public LookupFixture {
protected:
    SortingTest() { sorting.SetSort(); }

    void expectArrow(bool up) const
    {
        EXPECT_EQ(UpArrow->isVisible(), up);
        EXPECT_EQ(DownArrow->isVisible(), !up);
    }
};

bool isDescending(SortItem item)
{
    return item % 2 == 1;
}

} // namespace

TEST_F(SortingTest, EachMenuItemAppliesItsOrderCaptionColumnAndArrow)
{
    window.resize(900, 400);
    window.show();
    display(kFiles);
    // Keys are distinct, so each order is the same whatever order came before.
    for (const Expected &e : kExpected) {
        SCOPED_TRACE(e.caption);
        grid->setCurrentPane(1);
        grid->setCurrentColumn(5);
        resets = 0;

        sorting.mnuSortItem_Click(e.item);

        EXPECT_EQ(markedItems(), std::vector<int>{e.item});
        EXPECT_EQ(names(), e.order);
        EXPECT_EQ(resets, 1);
        EXPECT_TRUE(lblSortType->isVisibleTo(&window));
        EXPECT_EQ(lblSortType->text(), QString::fromLatin1(e.caption));
        EXPECT_EQ(grid->currentColumn(), e.column < 0 ? 5 : e.column);
        if (e.column >= 0) {
            EXPECT_EQ(grid->currentPane(), 1) << "the scrolling pane shows the key";
        }
        expectArrow(isDescending(e.item));
        EXPECT_EQ(sorting.nameAscendingChosen(), e.item == LongNameAsc || e.item == ShortNameAsc);
    }
}

TEST_F(SortingTest, WithNothingDisplayedOrNoOrderChosenACommandOnlyRecordsTheChoice)
{
    items[PathDsc]->setChecked(true);
    lblSortType->setText(QStringLiteral(" kept "));
    sorting.ShowUpArrow();
    sorting.SetSort();
    EXPECT_TRUE(markedItems().empty());
    EXPECT_TRUE(lblSortType->isHidden());
    EXPECT_EQ(lblSortType->text(), QStringLiteral(" kept ")) << "only Clear empties the caption";
    expectArrow(false);
    EXPECT_FALSE(sorting.nameAscendingChosen());

    for (const Expected &e : kExpected) {
        SCOPED_TRACE(e.caption);
        sorting.mnuSortItem_Click(e.item);
        EXPECT_EQ(markedItems(), std::vector<int>{e.item});
        EXPECT_TRUE(lblSortType->isHidden());
        expectArrow(isDescending(e.item));
    }
    sorting.mnuSortItem_Click(ExtensionAsc);
    sorting.SortDescending(); // an arrow too only flips the choice
    EXPECT_EQ(markedItems(), std::vector<int>{ExtensionDsc});
    EXPECT_TRUE(lblSortType->isHidden());
    expectArrow(true);
    EXPECT_TRUE(state.catalogue->sort().isEmpty()) << "the catalogue is not touched";

    // Files shown but no order chosen: the arrows only swap.
    sorting.SetSort();
    display(kFiles);
    sorting.SortDescending();
    EXPECT_TRUE(markedItems().empty());
    expectArrow(true);
    sorting.SortAscending();
    EXPECT_TRUE(markedItems().empty());
    expectArrow(false);
    EXPECT_EQ(names(), kInsertion);
    EXPECT_TRUE(lblSortType->isHidden());
    EXPECT_EQ(resets, 0) << "the grid is not touched";
}

TEST_F(SortingTest, SortItAppliesTheOrderChosenBeforeDisplayOrElseLongNameAscending)
{
    sorting.mnuSortItem_Click(SizeDsc);
    display(kFiles);
    sorting.SortIt();
    EXPECT_EQ(names(), reversed(kBySize));
    EXPECT_EQ(lblSortType->text(), QStringLiteral(" Sorted By Size - Descending "));
    expectArrow(true);

    sorting.SetSort(); // as Clear leaves it; the arrows are left alone
    sorting.ShowUpArrow();
    sorting.SortIt();
    EXPECT_EQ(markedItems(), std::vector<int>{LongNameAsc});
    EXPECT_EQ(names(), kByLong);
    EXPECT_EQ(lblSortType->text(), QStringLiteral(" Sorted By Long File Name - Ascending "));
    EXPECT_FALSE(lblSortType->isHidden());
    expectArrow(true);
}

TEST_F(SortingTest, ToolbarKeysSortAscendingUnderTheBusyPointerAndSetTheKeyColumnAfterTheReset)
{
    window.show();
    display(kFiles);
    sorting.mnuSortItem_Click(DateLastModifiedDsc);
    expectArrow(true);
    window.setCursor(Qt::IBeamCursor);
    onReset = [this] {
        grid->setCurrentPane(0);
        grid->setCurrentColumn(0);
    };
    sorting.SortDateLastModifiedAsc();
    EXPECT_EQ(markedItems(), std::vector<int>{DateLastModifiedAsc});
    EXPECT_EQ(names(), kByDate);
    expectArrow(false);
    EXPECT_EQ(pointerAtReset, Qt::WaitCursor);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(grid->currentPane(), 1);
    EXPECT_EQ(grid->currentColumn(), 3);
}

TEST_F(SortingTest, ArrowsFlipTheDirectionAndKeepTheKey)
{
    display(kFiles);
    for (const SortItem asc : {LongNameAsc, ShortNameAsc, PathAsc, SizeAsc, DateLastModifiedAsc, ExtensionAsc}) {
        SCOPED_TRACE(asc);
        const auto dsc = SortItem(asc + 1);
        sorting.mnuSortItem_Click(asc);
        const std::vector<std::string> ascending = names();
        sorting.SortAscending(); // already ascending: nothing changes
        EXPECT_EQ(markedItems(), std::vector<int>{asc});
        EXPECT_EQ(names(), ascending);

        sorting.SortDescending();
        EXPECT_EQ(markedItems(), std::vector<int>{dsc});
        EXPECT_EQ(names(), reversed(ascending));
        EXPECT_EQ(lblSortType->text(), QString::fromLatin1(kExpected[std::size_t(dsc)].caption));
        expectArrow(true);

        sorting.SortAscending();
        EXPECT_EQ(markedItems(), std::vector<int>{asc});
        EXPECT_EQ(names(), ascending);
        expectArrow(false);
    }
}
