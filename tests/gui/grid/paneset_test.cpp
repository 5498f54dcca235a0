// Guards the panes as a set: a pane added or removed keeps the others scrolling together,
// the current pane and the focus never stay with a removed pane, Shift+Tab leaves the
// grid, and the grid's column widths reach every pane, set early or dragged. And the
// two-pane layout: the first reset only adds the left pane, every later one formats the
// columns and ends with exactly two panes, the left one exactly one column wide.
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "grid/recordsetmodel.h"
#include "grid/twips.h"

#include "support/gridfixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// The grid between two controls, as it stands in the window's tab order.
struct Form {
    QWidget top;
    QLineEdit *before = new QLineEdit;
    DataGrid *grid = new DataGrid;

    explicit Form(RecordSet *rs)
    {
        auto *l = new QVBoxLayout(&top);
        l->addWidget(before);
        l->addWidget(grid);
        l->addWidget(new QLineEdit);
        grid->setDataSource(rs);
        top.resize(700, 300);
        top.show();
        QApplication::setActiveWindow(&top);
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST(PaneSet, AddedPanesScrollWithTheOthersAndRemovedOnesLeaveNothingBehind)
{
    RecordSet rs;
    fillNumbered(rs, 500);
    Form f(&rs);
    DataGrid &g = *f.grid;
    g.pane(0)->setColumnVisible(1, false);
    rs.setPosition(300);
    g.insertPane(0);
    ASSERT_EQ(g.paneCount(), 2);
    GridPane *added = g.pane(0);
    EXPECT_TRUE(added->isColumnHidden(1)) << "visibility of the pane it was inserted before";
    EXPECT_EQ(added->verticalScrollBar()->value(), g.pane(1)->verticalScrollBar()->value());
    g.pane(1)->verticalScrollBar()->setValue(40);
    EXPECT_EQ(added->verticalScrollBar()->value(), 40);

    added->setFocus();
    EXPECT_EQ(g.currentPane(), 0) << "the focused pane is the current one";
    const QPointer<GridPane> removed(added);
    g.removePane(0);
    EXPECT_EQ(g.paneCount(), 1);
    EXPECT_EQ(g.currentPane(), 0);
    EXPECT_TRUE(g.pane(0)->hasFocus()) << "the focus passes to the pane that stays";
    QSignalSpy down(&g, &DataGrid::mouseDown);
    QTest::mousePress(removed->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(down.count(), 0) << "a removed pane is no longer the grid's";
    removed->verticalScrollBar()->setValue(0);
    EXPECT_EQ(g.pane(0)->verticalScrollBar()->value(), 40);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(removed.isNull());

    g.removePane(0); // the last pane stays
    g.removePane(3);
    EXPECT_EQ(g.paneCount(), 1);
}

TEST(PaneSet, ShiftTabLeavesTheGridBackward)
{
    RecordSet rs;
    fillNumbered(rs, 5);
    Form f(&rs);
    f.grid->insertPane(0);
    f.grid->pane(1)->setFocus();
    QTest::keyClick(f.grid->pane(1), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(f.before->hasFocus()) << "not the other pane";
}

TEST(PaneSet, ColumnWidthsReachEveryPaneSetEarlyOrDragged)
{
    DataGrid g;
    g.insertPane(0);
    g.setColumnWidth(2, 3000); // before there is any column
    RecordSet rs;
    fillNumbered(rs, 5);
    g.setDataSource(&rs);
    const int px = twipsToPixels(3000, &g);
    for (int i = 0; i < g.paneCount(); ++i)
        EXPECT_EQ(g.pane(i)->horizontalHeader()->sectionSize(2), px) << "pane " << i;
    EXPECT_EQ(g.columnWidth(2), 3000);

    // A drag is the grid's new width only where the pane allows sizing.
    g.pane(0)->horizontalHeader()->resizeSection(2, px + 40);
    EXPECT_EQ(g.columnWidth(2), 3000);
    EXPECT_EQ(g.pane(1)->horizontalHeader()->sectionSize(2), px);
    g.pane(1)->setAllowSizing(true);
    g.pane(1)->horizontalHeader()->resizeSection(2, px + 20);
    EXPECT_EQ(g.columnWidth(2), pixelsToTwips(px + 20, &g));
    EXPECT_EQ(g.pane(0)->horizontalHeader()->sectionSize(2), px + 20);
}

namespace {

QStringList visibleCaptions(const DataGrid &g, const GridPane *p)
{
    QStringList out;
    for (int c = 0; c < g.columnCount(); ++c)
        if (!p->isColumnHidden(c))
            out << g.columnCaption(c);
    return out;
}

} // namespace

TEST(Presentation, FirstResetOnlySplitsLaterResetsFormatWithTheLeftPaneOneColumnWide)
{
    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    DataGrid g;
    g.setDataSource(&dummy);
    bool splitMade = false;

    ResetSplitDisplay(g, splitMade);
    EXPECT_TRUE(splitMade);
    ASSERT_EQ(g.paneCount(), 2);
    EXPECT_EQ(visibleCaptions(g, g.pane(0)), QStringList{"Field1"});
    EXPECT_EQ(visibleCaptions(g, g.pane(1)).first(), "Field2");

    for (int reset = 0; reset < 2; ++reset) {
        ResetSplitDisplay(g, splitMade);
        ASSERT_EQ(g.paneCount(), 2);
        EXPECT_EQ(visibleCaptions(g, g.pane(0)), QStringList{"LONG NAME"});
        EXPECT_EQ(visibleCaptions(g, g.pane(1)),
                  (QStringList{"SHORT NAME", "PATH", "DATE LAST MODIFIED", "DATE CREATED", "ACCESSED", "SIZE"}));
    }
    EXPECT_TRUE(g.pane(0)->recordSelectors());
    EXPECT_FALSE(g.pane(1)->recordSelectors());
    // The left pane is exactly one column wide.
    g.resize(900, 300);
    g.show();
    QCoreApplication::processEvents();
    GridPane *left = g.pane(0);
    EXPECT_EQ(left->viewport()->width(), twipsToPixels(3000, &g));
    EXPECT_EQ(left->width(), left->verticalHeader()->width() + twipsToPixels(3000, &g) + 2 * left->frameWidth());
    EXPECT_EQ(left->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(g.pane(1)->width(), left->width());
}

TEST(Presentation, LayoutHoldsForTheCatalogueBoundAfterwards)
{
    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    RecordSet catalogue; // outlives the grid bound to it
    DataGrid g;
    g.setDataSource(&dummy);
    bool splitMade = false;
    ResetSplitDisplay(g, splitMade);
    ResetSplitDisplay(g, splitMade);

    const FileRow files[] = {{"a", 0}, {"b", 1234567}};
    fillCatalogue(catalogue, files);
    catalogue.close(); // Clear recreates the catalogue while it may be bound
    g.setDataSource(&catalogue);
    fillCatalogue(catalogue, files);
    FormatColumns(g, splitMade);
    SplitDisplay(g);
    EXPECT_EQ(visibleCaptions(g, g.pane(0)), QStringList{"LONG NAME"});
    EXPECT_FALSE(visibleCaptions(g, g.pane(1)).contains("Field8"));
    EXPECT_FALSE(visibleCaptions(g, g.pane(1)).contains("Field9"));
    EXPECT_EQ(g.model()->rowCount(), 2);
}
