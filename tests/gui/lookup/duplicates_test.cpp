// Guards the duplicate finder: which refusal wins, the groups it marks while stepping with
// real Tab keys, the last group at the very end, a restart from the top, and a current row
// the user moved between two steps, which must not pair unrelated names.
#include "lookup/duplicates.h"
#include "lookup/sorting.h"
#include "support/lookupfixture.h"

#include <QApplication>
#include <QTest>

namespace {

// Long-name order: ABC...Y (2, equal in the 25 stored characters), ALPHA, BRAVO.TXT (2, in
// two cases), CHARLIE, DELTA (3), ZULU (2, at the very end).
const std::initializer_list<FileRec> kFiles = {
    {"zulu", "", "/a/"},
    {"delta", "", "/a/"},
    {"Bravo.txt", "", "/a/"},
    {"abcdefghijklmnopqrstuvwxyz-1"},
    {"charlie"},
    {"DELTA", "", "/b/"},
    {"alpha"},
    {"bravo.TXT", "", "/b/"},
    {"abcdefghijklmnopqrstuvwxyz-2"},
    {"Delta", "", "/c/"},
    {"zulu", "", "/b/"},
};

class DuplicatesTest : public LookupFixture {
protected:
    DuplicatesTest()
    {
        window.resize(900, 500);
        window.show();
        QApplication::setActiveWindow(&window);
    }
    void show(std::initializer_list<FileRec> files, SortItem order)
    {
        display(files);
        sorting.mnuSortItem_Click(order);
    }
    void fromMenu()
    {
        state.mblnDupFirst = state.mblnDupMode = true;
        finder.FindDuplicates();
    }
    void key(Qt::Key k) { QTest::keyClick(grid->pane(0), k); }
    [[nodiscard]] std::vector<int> marked() const
    {
        std::vector<int> rows;
        for (int row = 0; row < state.catalogue->count(); ++row)
            if (grid->isRowMarked(row))
                rows.push_back(row);
        return rows;
    }
};

using Rows = std::vector<int>;

} // namespace

TEST_F(DuplicatesTest, RefusesAWrongOrderBeforeAnEmptyCatalogueAndKeepsTheFlags)
{
    fromMenu(); // nothing chosen, nothing shown
    sorting.mnuSortItem_Click(PathAsc);
    fromMenu();
    sorting.mnuSortItem_Click(LongNameAsc);
    fromMenu();
    show(kFiles, LongNameDsc);
    fromMenu();
    const QString order = QStringLiteral(
        "Files must be displayed and sorted in file name ascending order in order to find duplicate files");
    ASSERT_EQ(titles(), (std::vector<std::string>{"Sort Order Incorrect", "Sort Order Incorrect", "Display Files First",
                                                  "Sort Order Incorrect"}));
    EXPECT_EQ(sink.shown[0].text, order);
    EXPECT_EQ(sink.shown[2].text, QStringLiteral("You must display the files first, before finding duplicate files"));
    EXPECT_TRUE(state.mblnDupMode && state.mblnDupFirst);
    EXPECT_FALSE(FindDups->isChecked());
    EXPECT_TRUE(marked().empty());
}

TEST_F(DuplicatesTest, TabStepsGroupByGroupAndTheLastGroupEndsTheSearch)
{
    show(kFiles, LongNameAsc);
    fromMenu();
    EXPECT_EQ(marked(), (Rows{0, 1}));
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_TRUE(FindDups->isChecked() && grid->hasFocus());
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);

    key(Qt::Key_Tab);
    EXPECT_EQ(marked(), (Rows{0, 1, 3, 4})) << "marks accumulate";
    EXPECT_EQ(grid->currentRow(), 4);
    key(Qt::Key_Tab);
    EXPECT_EQ(marked(), (Rows{0, 1, 3, 4, 6, 7, 8}));
    EXPECT_EQ(grid->currentRow(), 8);
    EXPECT_TRUE(sink.shown.empty());

    key(Qt::Key_Tab);
    EXPECT_EQ(marked(), (Rows{0, 1, 3, 4, 6, 7, 8, 9, 10}));
    EXPECT_EQ(grid->currentRow(), 10);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, QStringLiteral("No more duplicate file names"));
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("No More Duplicates"));
    EXPECT_EQ(sink.shown[0].pointer, Qt::ArrowCursor);
    EXPECT_FALSE(FindDups->isChecked());
    EXPECT_TRUE(state.mblnDupMode) << "only a toolbar click clears it";

    // The button is up: Tab and Enter are the grid's again.
    key(Qt::Key_Return);
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->currentRow(), 10);
    EXPECT_EQ(sink.shown.size(), 1u);
}

TEST_F(DuplicatesTest, NamesEqualOnlyInTheirFirstFourteenCharactersAreNoGroup)
{
    show({{"abcdefghijklmnX"}, {"abcdefghijklmnY"}, {"solo"}}, LongNameAsc);
    fromMenu();
    EXPECT_EQ(marked(), Rows{});
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("No More Duplicates"));
}

TEST_F(DuplicatesTest, AMenuRestartBeginsAtTheTopThoughTheFirstNameWasTheLastPassed)
{
    // Short-name order: ECHO, FOX, FOX, ECHO; groups are still on the long name.
    show({{"echo", "D"}, {"fox", "B"}, {"echo", "A"}, {"fox", "C"}}, ShortNameAsc);
    fromMenu();
    EXPECT_EQ(marked(), (Rows{1, 2}));
    key(Qt::Key_Tab);
    ASSERT_EQ(titles(), std::vector<std::string>{"No More Duplicates"});
    EXPECT_TRUE(state.catalogue->eof());
    EXPECT_EQ(grid->currentRow(), -1);

    fromMenu();
    EXPECT_EQ(marked(), (Rows{1, 2}));
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_TRUE(FindDups->isChecked());
}

TEST_F(DuplicatesTest, AfterTheUserMovesTheRowTheScanGoesOnFromThereWithoutFalseGroups)
{
    show(kFiles, LongNameAsc);
    fromMenu();
    key(Qt::Key_Tab); // BRAVO.TXT; CHARLIE, behind it, was the last name passed
    key(Qt::Key_Down);
    ASSERT_EQ(currentName(), "CHARLIE");
    key(Qt::Key_Tab);
    EXPECT_EQ(marked(), (Rows{0, 1, 3, 4, 6, 7, 8})) << "CHARLIE is no duplicate";
    EXPECT_EQ(grid->currentRow(), 8);

    key(Qt::Key_Return);
    EXPECT_EQ(grid->currentRow(), 0) << "Enter goes to the first row";
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_TRUE(sink.shown.empty());
}
