// Guards the two-pane layout: the first reset only adds the left pane, every later one
// formats the columns and ends with exactly two panes, the left one exactly one column wide.
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "grid/recordsetmodel.h"
#include "grid/twips.h"

#include "support/gridfixture.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <gtest/gtest.h>

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
    EXPECT_EQ(g.columnCaption(0), "Field1");
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

TEST(Twips, FifteenTwipsMakeOnePixelAt96Dpi)
{
    EXPECT_EQ(twips::toPixels(15, 96), 1);
    EXPECT_EQ(twips::toPixels(3000, 96), 200);
    EXPECT_EQ(twips::toPixels(1550, 96), 103); // 103.33
    EXPECT_EQ(twips::toPixels(1500, 144), 150);
    EXPECT_EQ(twips::fromPixels(200, 96), 3000);
}
