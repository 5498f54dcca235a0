// Guards the grid's contract with the window: the current row and the record set's
// current record follow each other, marks and hidden columns survive a sort's reset, the
// key, mouse and row events reach the handlers, and binding never leaves an observer behind.
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "grid/recordsetmodel.h"

#include "support/gridfixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

const FileRow kFiles[] = {{"b.txt", 0}, {"a.txt", 1234567}, {"c.txt", 58023}, {"d.txt", 10}, {"e.txt", 20}};

// A window with the grid in its two-pane layout over the five files above (or as many
// numbered ones), and a control after it.
struct Window {
    RecordSet rs;
    QWidget top;
    DataGrid *grid = new DataGrid;
    QLineEdit *after = new QLineEdit;
    bool splitMade = false;

    explicit Window(int numbered = 0)
    {
        if (numbered)
            fillNumbered(rs, numbered);
        else
            fillCatalogue(rs, kFiles);
        auto *l = new QVBoxLayout(&top);
        l->addWidget(grid);
        l->addWidget(after);
        grid->setDataSource(&rs);
        ResetSplitDisplay(*grid, splitMade);
        ResetSplitDisplay(*grid, splitMade);
        top.resize(900, 400);
        top.show();
        QApplication::setActiveWindow(&top);
        QCoreApplication::processEvents();
    }
    [[nodiscard]] GridPane *left() const { return grid->pane(0); }
    [[nodiscard]] GridPane *right() const { return grid->pane(1); }
    [[nodiscard]] QPoint cell(GridPane *p, int row, int column) const
    {
        return p->visualRect(grid->model()->index(row, column)).center();
    }
    [[nodiscard]] bool rowInView(int row) const
    {
        const QRect r = right()->visualRect(grid->model()->index(row, 1));
        return right()->viewport()->rect().contains(r);
    }
};

} // namespace

TEST(DataGrid, CurrentRowAndRecordSetFollowEachOtherAndThePanesScrollTogether)
{
    Window w(1000);
    EXPECT_EQ(w.grid->currentRow(), 0);
    QTest::mouseClick(w.right()->viewport(), Qt::LeftButton, {}, w.cell(w.right(), 3, 2));
    EXPECT_EQ(w.rs.position(), 3);
    EXPECT_EQ(w.grid->currentColumn(), 2);

    w.rs.moveLast();
    EXPECT_EQ(w.grid->selectionModel()->currentIndex().row(), 999);
    EXPECT_TRUE(w.rowInView(999));
    EXPECT_EQ(w.left()->rowAt(0), w.right()->rowAt(0)) << "the panes' rows must stay in line";
    w.rs.moveFirst();
    EXPECT_TRUE(w.rowInView(0));
    // Only the right pane shows a vertical bar; the panes scroll together either way, and
    // sideways scrolling of the right pane leaves the names where they are.
    EXPECT_FALSE(w.left()->verticalScrollBar()->isVisible());
    EXPECT_TRUE(w.right()->verticalScrollBar()->isVisible());
    w.right()->verticalScrollBar()->setValue(500);
    EXPECT_EQ(w.left()->verticalScrollBar()->value(), 500);
    w.left()->verticalScrollBar()->setValue(20);
    EXPECT_EQ(w.right()->verticalScrollBar()->value(), 20);
    w.right()->horizontalScrollBar()->setValue(w.right()->horizontalScrollBar()->maximum());
    EXPECT_EQ(w.left()->columnViewportPosition(0), 0);

    // A find that fails leaves the record set past the end: no current row, and the grid's
    // taking the focus does not pick one for it.
    w.rs.setPosition(w.rs.count());
    EXPECT_EQ(w.grid->columnText(0), "");
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w.right(), &focus);
    EXPECT_EQ(w.rs.position(), w.rs.count());
    EXPECT_FALSE(w.grid->selectionModel()->currentIndex().isValid());
}

TEST(DataGrid, ArrowKeysStopAtPaneEdges)
{
    Window w;
    w.left()->setFocus();
    w.grid->setCurrentColumn(0);
    QTest::keyClick(w.left(), Qt::Key_Right);
    EXPECT_EQ(w.grid->currentColumn(), 0);
    w.grid->setCurrentPane(1);
    w.grid->setCurrentColumn(1);
    QTest::keyClick(w.right(), Qt::Key_Left);
    EXPECT_EQ(w.grid->currentColumn(), 1);
    QTest::keyClick(w.right(), Qt::Key_Right);
    EXPECT_EQ(w.grid->currentColumn(), 2);
}

TEST(DataGrid, MarksHiddenColumnsAndFormatsSurviveASortsReset)
{
    Window w;
    for (int row : {0, 2}) { // B.TXT, C.TXT
        w.rs.setPosition(row);
        w.grid->addSelectedBookmark(w.grid->bookmark());
    }
    w.rs.setSort(u"Field7 Desc"); // A, C, E, D, B
    ResetSplitDisplay(*w.grid, w.splitMade);
    EXPECT_EQ(w.grid->model()->displayText(0, fld::Size), "1,234,567");
    EXPECT_TRUE(w.grid->isRowMarked(1) && w.grid->isRowMarked(4));
    EXPECT_FALSE(w.grid->isRowMarked(0));
    EXPECT_EQ(w.grid->currentRow(), 0);
    EXPECT_TRUE(w.right()->isColumnHidden(0));
    w.grid->resetState();
    EXPECT_TRUE(w.grid->selectedBookmarks().isEmpty());
}

TEST(DataGrid, RowSelectorClicksToggleMarksThatAccumulate)
{
    Window w;
    QHeaderView *selectors = w.left()->verticalHeader();
    const auto click = [&](int row) {
        QTest::mouseClick(
            selectors->viewport(), Qt::LeftButton, {},
            QPoint(selectors->width() / 2, selectors->sectionViewportPosition(row) + selectors->sectionSize(row) / 2));
    };
    click(1);
    click(3);
    EXPECT_TRUE(w.grid->isRowMarked(1) && w.grid->isRowMarked(3));
    EXPECT_EQ(w.rs.position(), 3);
    click(1);
    EXPECT_FALSE(w.grid->isRowMarked(1));
    EXPECT_TRUE(w.grid->isRowMarked(3));
}

TEST(DataGrid, KeyHandlerSeesTabAndEnterAndMaySwallowThem)
{
    Window w;
    bool swallow = true;
    std::vector<int> seen;
    QObject::connect(w.grid, &DataGrid::keyPress, [&](int &key) {
        seen.push_back(key);
        if (swallow && (key == 9 || key == 13))
            key = 0;
    });
    QSignalSpy activated(w.right(), &QAbstractItemView::activated);
    w.right()->setFocus();
    ASSERT_TRUE(w.right()->hasFocus());

    QTest::keyClick(w.right(), Qt::Key_Tab);
    QTest::keyClick(w.right(), Qt::Key_Return);
    EXPECT_TRUE(w.right()->hasFocus()) << "a swallowed Tab must not move the focus";
    EXPECT_EQ(activated.count(), 0);

    swallow = false;
    QTest::keyClick(w.right(), Qt::Key_Return);
    EXPECT_EQ(activated.count(), 1);
    QTest::keyClick(w.right(), Qt::Key_Tab);
    EXPECT_TRUE(w.after->hasFocus()) << "Tab goes to the next control, not the other pane";

    w.left()->setFocus();
    QTest::keyClick(w.left(), Qt::Key_A);
    QTest::keyClick(w.left(), Qt::Key_Down); // types no character
    EXPECT_EQ(seen, (std::vector<int>{9, 13, 13, 9, 'a'}));
    EXPECT_EQ(w.rs.position(), 1) << "keys the handler leaves alone still work";
}

TEST(DataGrid, MouseDownReportsButtonCodesAndDoubleClickActivatesTheRow)
{
    Window w;
    QSignalSpy down(w.grid, &DataGrid::mouseDown);
    QSignalSpy activated(w.grid, &DataGrid::rowActivated);
    const QPoint at = w.cell(w.right(), 2, 1);
    const std::tuple<GridPane *, Qt::MouseButton, Qt::KeyboardModifiers, QPoint> presses[] = {
        {w.right(), Qt::RightButton, {}, at},
        {w.left(), Qt::MiddleButton, {}, w.cell(w.left(), 1, 0)},
        {w.right(), Qt::LeftButton, Qt::ShiftModifier, at}};
    for (const auto &[pane, button, modifiers, point] : presses) {
        QTest::mousePress(pane->viewport(), button, modifiers, point);
        QTest::mouseRelease(pane->viewport(), button, modifiers, point);
    }
    ASSERT_EQ(down.count(), 3);
    EXPECT_EQ(down[0][0].toInt(), 2);
    EXPECT_EQ(down[1][0].toInt(), 4);
    EXPECT_EQ(down[2][0].toInt(), 1);
    EXPECT_EQ(down[2][1].toInt(), 1);
    const QPoint inGrid = w.right()->viewport()->mapTo(w.grid, at);
    EXPECT_EQ(down[0][2].toInt(), inGrid.x());
    EXPECT_EQ(down[0][3].toInt(), inGrid.y());

    const QPoint row3 = w.cell(w.right(), 3, 1);
    QTest::mouseClick(w.right()->viewport(), Qt::LeftButton, {}, row3);
    QTest::mouseDClick(w.right()->viewport(), Qt::LeftButton, {}, row3);
    EXPECT_EQ(activated.count(), 1);
    EXPECT_EQ(w.rs.position(), 3);
    EXPECT_EQ(w.grid->columnText(fld::LongName), QStringLiteral("D.TXT").leftJustified(25));
}

TEST(DataGrid, DeleteCurrentRowRemovesTheRecordAndItsMark)
{
    Window w;
    w.rs.setPosition(1);
    w.grid->addSelectedBookmark(w.grid->bookmark());
    w.grid->deleteCurrentRow();
    EXPECT_EQ(w.grid->model()->rowCount(), 4);
    EXPECT_TRUE(w.grid->selectedBookmarks().isEmpty());
    EXPECT_EQ(w.grid->currentRow(), 1) << "the record after it becomes current";
    EXPECT_EQ(w.grid->columnText(0).trimmed(), "C.TXT");
    EXPECT_EQ(w.rs.position(), 1);

    w.rs.moveLast();
    w.grid->deleteCurrentRow();
    EXPECT_EQ(w.grid->currentRow(), -1);
    w.grid->deleteCurrentRow(); // no current row: nothing is removed
    EXPECT_EQ(w.rs.count(), 3);
}

TEST(DataGrid, BindingToNothingAndRebindingLeaveNoObserverBehind)
{
    auto grid = std::make_unique<DataGrid>();
    auto first = std::make_unique<RecordSet>();
    fillCatalogue(*first, kFiles);
    grid->setDataSource(first.get());
    grid->setDataSource(nullptr);
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(grid->currentRow(), -1);
    EXPECT_EQ(grid->columnText(0), "");

    grid->setDataSource(first.get());
    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    grid->setDataSource(&dummy);
    first.reset(); // destroyed right after rebinding
    EXPECT_EQ(grid->model()->rowCount(), kDummyRows);

    RecordSet last;
    fillCatalogue(last, kFiles);
    grid->setDataSource(&last);
    grid.reset();
    last.moveLast(); // would reach the destroyed grid if it had not detached
}

namespace {

int darkPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) < 64;
    return n;
}

// The background of a cell, away from its text and the current cell's frame.
QColor cellBackground(GridPane *pane, int row, int column)
{
    const QRect r = pane->visualRect(pane->model()->index(row, column));
    return pane->viewport()->grab().toImage().pixelColor(r.right() - 6, r.top() + 3);
}

} // namespace

TEST(DataGrid, CurrentRowIsMarkedInTheSelectorsAndTintedInBothPanesFocusedOrNot)
{
    Window w(50);
    w.rs.setPosition(5);
    w.grid->addSelectedBookmark(w.rs.bookmark());
    w.rs.setPosition(3);
    for (QWidget *focus : {static_cast<QWidget *>(w.right()), static_cast<QWidget *>(w.after)}) {
        focus->setFocus();
        QCoreApplication::processEvents();
        const QHeaderView *selectors = w.left()->verticalHeader();
        const QImage image = selectors->viewport()->grab().toImage();
        auto selector = [&](int row) {
            return QRect(0, selectors->sectionViewportPosition(row), selectors->width(), selectors->sectionSize(row))
                .adjusted(2, 2, -2, -2);
        };
        EXPECT_GT(darkPixels(image, selector(3)), 6) << "marker on the current row";
        EXPECT_EQ(darkPixels(image, selector(4)), 0);

        for (GridPane *pane : {w.left(), w.right()}) {
            const int column = pane == w.left() ? 0 : 2;
            const QColor plain = cellBackground(pane, 4, column);
            const QColor current = cellBackground(pane, 3, column);
            const QColor marked = cellBackground(pane, 5, column);
            EXPECT_NE(current, plain) << "current row tinted in pane " << column;
            EXPECT_NE(marked, plain) << "marked row in pane " << column;
            EXPECT_NE(marked, current);
        }
    }
    w.rs.setPosition(5); // current inside the marks: still told apart from the other marks
    w.grid->addSelectedBookmark(w.rs.bookmarkAt(6));
    QCoreApplication::processEvents();
    EXPECT_NE(cellBackground(w.right(), 5, 2), cellBackground(w.right(), 6, 2));
}
