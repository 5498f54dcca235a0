// Guards what a user sees of the catalogue in the window's grid, at the window's sizes:
// a sort key's column brought into view, a fresh catalogue scrolled fully left, no dead
// scroll bar under the names, the current and marked rows visible in both panes, and a
// found row or duplicate group brought near the top.
#include "grid/gridpane.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

constexpr int kLongName = 0, kShortName = 1, kPath = 2, kDateLastModified = 3, kSize = 6;
constexpr int kManyFiles = 300;

class GridViewTest : public WindowFixture {
protected:
    GridViewTest()
    {
        // Enough rows to scroll, and names that repeat in three folders.
        QStringList names;
        for (int i = 0; i < kManyFiles; ++i)
            names << QStringLiteral("file%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        makeFiles(drives[kDriveC].path(), names);
        for (const char *folder : {"/x", "/y", "/z"})
            makeFiles(drives[kDriveC].path() + QLatin1String(folder), {"file150.txt"});
        start = window->size();
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void display()
    {
        ASSERT_TRUE(WindowFixture::display({kDriveC}));
        settle();
    }
    static void settle()
    {
        // Layouts, scroll-bar changes and column resizes are carried out in posted events
        // and zero timers.
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }
    [[nodiscard]] GridPane *names() const { return grid()->pane(0); }
    [[nodiscard]] GridPane *rest() const { return grid()->pane(1); }
    [[nodiscard]] bool columnInView(int column) const
    {
        const QHeaderView *h = rest()->horizontalHeader();
        const int left = h->sectionViewportPosition(column);
        const int width = rest()->viewport()->width();
        if (h->sectionSize(column) > width) // too wide to show whole: its start shows
            return left == 0;
        return left >= 0 && left + h->sectionSize(column) <= width;
    }
    [[nodiscard]] int topRow() const { return rest()->rowAt(0); }
    [[nodiscard]] int rowOf(const char *name) const
    {
        const Names all = catalogueNames();
        return int(std::find(all.begin(), all.end(), std::string(name)) - all.begin());
    }

    QSize start;
};

} // namespace

TEST_F(GridViewTest, EverySortKeyThatMovesTheColumnBringsItIntoViewAtAnySizeWhateverHadTheFocus)
{
    display();
    const std::pair<const char *, int> keys[] = {{"Size", kSize},       {"Path", kPath},
                                                 {"mnuSizeDsc", kSize}, {"Date", kDateLastModified},
                                                 {"mnuPathDsc", kPath}, {"mnuSizeAsc", kSize}};
    for (const QSize size : {start, QSize(1280, 900)}) {
        window->resize(size);
        settle();
        for (QWidget *focus : {static_cast<QWidget *>(names()), static_cast<QWidget *>(rest()),
                               static_cast<QWidget *>(driveList()), child("cmdClear")}) {
            for (const auto &[key, column] : keys) {
                act("LongName")->trigger(); // back to the first columns
                settle();
                focus->setFocus();
                act(key)->trigger();
                settle();
                EXPECT_EQ(grid()->currentColumn(), column) << key;
                EXPECT_TRUE(columnInView(column))
                    << key << " at " << size.width() << " focus " << focus->objectName().toStdString()
                    << ": scrolled to " << rest()->horizontalScrollBar()->value();
            }
        }
    }
}

TEST_F(GridViewTest, AFreshCatalogueStartsScrolledFullyLeftUnlessItsOrderIsBySize)
{
    display();
    act("Size")->trigger();
    settle();
    ASSERT_GT(rest()->horizontalScrollBar()->value(), 0);
    window->cmdClear_Click();
    settle();
    EXPECT_EQ(rest()->horizontalScrollBar()->value(), 0) << "after Clear";
    display(); // in long-name order, the one chosen after Clear
    EXPECT_EQ(rest()->horizontalScrollBar()->value(), 0) << "after a new Display";
    EXPECT_TRUE(columnInView(kShortName));
    for (const QSize size : {start, QSize(1280, 900)}) {
        window->cmdClear_Click();
        window->resize(size);
        act("mnuSizeDsc")->trigger();
        display();
        EXPECT_TRUE(columnInView(kSize)) << size.width();
    }
}

TEST_F(GridViewTest, TheNamePaneHasNoDeadScrollBarAndItsRowsStayInLine)
{
    display();
    ASSERT_TRUE(rest()->horizontalScrollBar()->isVisible()) << "the other columns scroll at the start size";
    // The strip under the names is blank: no arrows, no handle a user could try.
    QScrollBar *bar = names()->horizontalScrollBar();
    if (bar->isVisible()) {
        const QImage strip = bar->grab().toImage();
        const QRgb first = strip.pixel(0, 0);
        int differing = 0;
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 0; x < strip.width(); ++x)
                differing += strip.pixel(x, y) != first;
        EXPECT_EQ(differing, 0);
    }
    EXPECT_EQ(names()->viewport()->height(), rest()->viewport()->height());
    for (int row : {kManyFiles, 0, kManyFiles / 2}) {
        window->state().catalogue->setPosition(row);
        settle();
        EXPECT_EQ(names()->rowAt(0), rest()->rowAt(0)) << row;
        EXPECT_EQ(names()->verticalHeader()->sectionViewportPosition(row),
                  rest()->verticalHeader()->sectionViewportPosition(row))
            << row;
    }
}

TEST_F(GridViewTest, AFoundRowLandsNearTheTopAndADuplicateGroupWhollyInView)
{
    display();
    act("Search")->trigger();
    auto *search = child<QLineEdit>("txtSearch");
    search->setText(QStringLiteral("file2"));
    QTest::keyClick(search, Qt::Key_Return);
    settle();
    const int found = rowOf("FILE200.TXT");
    ASSERT_EQ(window->state().catalogue->position(), found);
    EXPECT_GE(found, topRow());
    EXPECT_LE(found, topRow() + 1) << "top row " << topRow();

    search->setText(QStringLiteral("file1"));
    QTest::keyClick(search, Qt::Key_Return); // back up the list
    settle();
    EXPECT_GE(rowOf("FILE100.TXT"), topRow());
    EXPECT_LE(rowOf("FILE100.TXT"), topRow() + 1);

    act("FindDups")->trigger();
    settle();
    const int first = rowOf("FILE150.TXT");
    const int last = first + 3;
    for (int row = first; row <= last; ++row) {
        EXPECT_TRUE(grid()->isRowMarked(row)) << row;
        EXPECT_TRUE(rest()->isRowWhollyInView(row)) << row << " top row " << topRow();
    }
    EXPECT_LE(first, topRow() + 1);
}

TEST_F(GridViewTest, MovementKeysWorkAtOnceWhereverTheFocusCameFrom)
{
    display();
    const auto press = [this](Qt::Key key) {
        QWidget *focused = QApplication::focusWidget();
        ASSERT_TRUE(focused);
        QTest::keyClick(focused, key);
        settle();
    };
    // Straight after a Display, the first key moves the row.
    grid()->setFocus();
    settle();
    press(Qt::Key_Down);
    EXPECT_EQ(grid()->currentRow(), 1) << QApplication::focusWidget()->metaObject()->className();
    // Into either pane from outside, the current cell in a column that pane hides.
    grid()->dataSource()->setPosition(kManyFiles / 2);
    for (int pane : {0, 1}) {
        child("lstDriveNumFiles")->setFocus();
        grid()->setCurrentColumn(pane == 0 ? kSize : kLongName);
        grid()->pane(pane)->setFocus(Qt::TabFocusReason);
        settle();
        const int before = grid()->currentRow();
        press(Qt::Key_Up);
        EXPECT_EQ(grid()->currentRow(), before - 1) << "pane " << pane;
    }
}
