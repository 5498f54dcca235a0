// Guards Display and Clear in the window: what a Display shows (caption, totals, per-drive
// lines, sorted grid), every refusal and its message, the walk on its worker (refused
// twice, cancelled by Clear), and Clear bringing back the start-up state.
#include "support/windowfixture.h"

#include "platform/pagedarray.h"

#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>

namespace {

const QString kSixBlanks = QStringLiteral("      ");
const QString kClearFirst = QStringLiteral("You must clear the display before displaying again");

class DisplayTest : public WindowFixture {
protected:
    // The per-drive line of a drive folder: its path, two blanks, the count field.
    [[nodiscard]] QString totalLine(int drive, const QString &field) const
    {
        return drives[std::size_t(drive)].path() + QStringLiteral("  ") + field;
    }
};

} // namespace

TEST_F(DisplayTest, ShowsTheSelectedDrivesSortedWithTheirTotalsAndADatedCaption)
{
    select({kDriveA, kDriveEmpty});
    child<QPushButton>("cmdDisplay")->click();
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    ASSERT_TRUE(displayed->wait(5000));

    const DisplayState &s = window->state();
    EXPECT_TRUE(s.mblnLiveCatalogue);
    EXPECT_EQ(s.TotalFiles, 3);
    EXPECT_EQ(s.DriveFileCounts[kDriveA], 3);
    EXPECT_EQ(grid()->dataSource(), s.catalogue.get());
    EXPECT_EQ(catalogueNames(), (Names{"ALPHA", "BETA", "GAMMA"}));
    EXPECT_EQ(checkedSortItems(), Names{"mnuLongNameAsc"});
    EXPECT_EQ(s.catalogue->position(), 0);

    const QString fixed = QStringLiteral("Tarvolo  -  Display Of Files As Of ");
    ASSERT_TRUE(window->windowTitle().startsWith(fixed));
    const QString asOf = window->windowTitle().mid(fixed.size());
    EXPECT_EQ(asOf, s.mstrAsOfText);
    EXPECT_FALSE(asOf.trimmed().isEmpty());
    EXPECT_FALSE(asOf.contains(u'/') || asOf.contains(u':')) << asOf.toStdString();

    EXPECT_EQ(label("lblTotalFiles"), QStringLiteral("3"));
    EXPECT_EQ(label("lblDrives"), QStringLiteral("Total Files Per Drive"));
    EXPECT_EQ(driveLines(), QStringList({totalLine(kDriveA, "     3"), totalLine(kDriveEmpty, kSixBlanks)}));
    EXPECT_EQ(s.drives.DriveRoots[kDriveC], drives[kDriveC].path() + u'/'); // still the offered drives
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(DisplayTest, EnterInTheDriveListDisplaysInTheOrderChosenDuringTheWalk)
{
    select({kDriveA, kDriveC});
    QTest::keyClick(driveList(), Qt::Key_Return);
    act("mnuLongNameDsc")->trigger();
    ASSERT_TRUE(displayed->wait(5000));
    EXPECT_EQ(catalogueNames(), (Names{"OTHER", "GAMMA", "BETA", "ALPHA"}));
    EXPECT_EQ(checkedSortItems(), Names{"mnuLongNameDsc"});
    EXPECT_EQ(label("lblTotalFiles"), QStringLiteral("4"));
}

TEST_F(DisplayTest, DisplayIsRefusedWhileACatalogueIsShownOrBeingWalked)
{
    select({kDriveA});
    window->DisplayFiles();
    window->DisplayFiles(); // no event has run, so the walk has not ended
    ASSERT_TRUE(displayed->wait(5000));

    const QString caption = window->windowTitle();
    const QStringList lines = driveLines();
    const RecordSet *catalogue = window->state().catalogue.get();
    QTest::keyClick(driveList(), Qt::Key_Return);
    const ShownMessage refusal{kClearFirst, QStringLiteral("Clear The Display")};
    EXPECT_EQ(sink.shown, (std::vector{refusal, refusal}));
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(driveLines(), lines);
    EXPECT_EQ(window->state().catalogue.get(), catalogue);
    EXPECT_EQ(catalogue->count(), 3);
    QCoreApplication::sendPostedEvents(); // a second end would be delivered here
    EXPECT_EQ(displayed->count(), 1);
}

TEST_F(DisplayTest, NoSelectedDriveIsRefusedAndLeavesTheWindowAsItWas)
{
    window->DisplayFiles();
    EXPECT_EQ(sink.shown, (std::vector<ShownMessage>{{QStringLiteral("No Drive(s) Selected, Select Drive(s)"),
                                                      QStringLiteral("Select Drive(s)")}}));
    EXPECT_TRUE(window->state().mblnLiveCatalogue);
    EXPECT_EQ(driveList()->currentRow(), driveList()->count() - 1);
    expectEmptyWindow();
}

TEST_F(DisplayTest, AnEmptyDisplayShowsBlankCountsAndStillNeedsAClear)
{
    ASSERT_TRUE(display({kDriveEmpty}));
    EXPECT_EQ(window->state().TotalFiles, 0);
    EXPECT_EQ(window->state().catalogue->count(), 0);
    EXPECT_EQ(grid()->dataSource(), window->state().catalogue.get());
    EXPECT_EQ(label("lblTotalFiles"), QString());
    EXPECT_EQ(driveLines(), QStringList{totalLine(kDriveEmpty, kSixBlanks)});
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Tarvolo  -  Display Of Files As Of ")));

    // The list no longer holds the offered drives: a Display now would walk the wrong ones.
    select({0});
    window->DisplayFiles();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, kClearFirst);
}

TEST_F(DisplayTest, ClearCancelsAWalkAndBringsBackTheStartUpStateForTheNextDisplay)
{
    select({kDriveA, kDriveC});
    window->DisplayFiles();
    ASSERT_TRUE(window->displayCommands().walking());
    window->cmdClear_Click();
    QCoreApplication::sendPostedEvents(); // a queued end of the cancelled walk would land here
    EXPECT_EQ(displayed->count(), 0);
    expectEmptyWindow();

    ASSERT_TRUE(display({kDriveA}));
    EXPECT_EQ(window->state().TotalFiles, 3);
    act("FindDups")->setChecked(true); // as duplicate stepping holds it
    act("Search")->trigger();
    ASSERT_FALSE(child("txtSearch")->isHidden());
    QTest::keyClicks(child("txtSearch"), QStringLiteral("be"));
    child<QPushButton>("cmdClear")->click();
    expectEmptyWindow();
    EXPECT_TRUE(window->state().mblnLiveCatalogue); // Clear leaves it
    EXPECT_EQ(driveListings, 3);

    ASSERT_TRUE(display({kDriveC}));
    EXPECT_EQ(catalogueNames(), Names{"OTHER"});
    EXPECT_EQ(driveLines(), QStringList{totalLine(kDriveC, "     1")});
}

TEST(DriveTotals, CountsFillASixCharacterFieldAndWidenPastIt)
{
    const std::pair<qint64, const char *> fields[] = {{0, "      "},     {7, "     7"},       {1234, " 1,234"},
                                                      {99999, "99,999"}, {100000, "100,000"}, {12345678, "12,345,678"}};
    for (const auto &[count, field] : fields)
        EXPECT_EQ(driveCountField(count), QLatin1String(field)) << count;
    // While the walk runs the total climbs in plain digits; only the final one is grouped.
    EXPECT_EQ(runningTotalText(1671500), QStringLiteral("1671500"));

    QString home = QStringLiteral("/home/");
    EXPECT_EQ(driveTotalLine(home, 12345), QStringLiteral("/home  12,345"));
    EXPECT_EQ(home, QStringLiteral("/home ")); // the entry keeps its new value
    QString rootDrive = QStringLiteral("/");
    EXPECT_EQ(driveTotalLine(rootDrive, 1234), QStringLiteral("/   1,234"));
    EXPECT_EQ(rootDrive, QStringLiteral("/ "));
}

TEST_F(DisplayTest, TheDriveListShowsItsFirstLineAfterDisplayAndClear)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QFont big = driveList()->font();
    big.setPointSize(40); // room for about one line: the list must scroll
    driveList()->setFont(big);
    QScrollBar *bar = driveList()->verticalScrollBar();
    ASSERT_TRUE(display({kDriveA, kDriveEmpty, kDriveC}));
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), 0);
    child<QPushButton>("cmdClear")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
    // A refused Display, which looks at every line, leaves the list where it was too.
    child<QPushButton>("cmdDisplay")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(DisplayTest, RunningOutOfMemoryStopsTheDisplayWithAMessageAndTheWindowGoesOn)
{
    QStringList many;
    for (int i = 0; i < 5000; ++i)
        many << QStringLiteral("a rather long file name %1.txt").arg(i);
    makeFiles(drives[kDriveC].path() + QStringLiteral("/many"), many);
    // No buffer may grow into pages of its own: the walk's columns need them.
    PageBuffer::setMappedLimit(PageBuffer::mappedBytes());
    const auto unlimited = qScopeGuard([] { PageBuffer::setMappedLimit(std::numeric_limits<std::size_t>::max()); });
    select({kDriveC});
    child<QPushButton>("cmdDisplay")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->displayCommands().walking(), 10000);
    QCoreApplication::processEvents();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown.front().title, QStringLiteral("Not Enough Memory"));
    EXPECT_EQ(displayed->count(), 0);
    EXPECT_EQ(window->state().TotalFiles, 0);
    EXPECT_EQ(grid()->dataSource(), &window->state().dummy);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    // With memory to spare the next Display works, without a Clear.
    PageBuffer::setMappedLimit(std::numeric_limits<std::size_t>::max());
    ASSERT_TRUE(display({kDriveC}));
    EXPECT_EQ(window->state().TotalFiles, 5001);
    EXPECT_EQ(driveLines(), QStringList{totalLine(kDriveC, " 5,001")});
}
