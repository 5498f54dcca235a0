// Guards the main window's shape and wiring: names, captions and fonts of its controls,
// the menu tree and toolbar a user sees, the state after start-up, which command each
// menu item and toolbar key reaches, the About box, and Exit or close ending everything.
#include "app/frmabout.h"
#include "help/helpservice.h"
#include "help/helpviewer.h"
#include "support/windowfixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QToolBar>

namespace {

using WindowTest = WindowFixture;

// The menu tree as "name caption" lines, submenus indented.
void dumpMenu(const QList<QAction *> &actions, int depth, QStringList &out)
{
    for (QAction *a : actions) {
        out << QString(depth * 2, u' ') + a->objectName() + u' ' + a->text();
        EXPECT_TRUE(a->shortcut().isEmpty()) << a->objectName().toStdString();
        if (a->menu())
            dumpMenu(a->menu()->actions(), depth + 1, out);
    }
}

} // namespace

TEST_F(WindowTest, ControlsCarryTheirNamesCaptionsTooltipsAndFonts)
{
    EXPECT_EQ(window->objectName(), QStringLiteral("frmDisplay"));
    const std::tuple<const char *, const char *, const char *> controls[] = {
        {"lblSortType", "Arial", ""},
        {"txtSearch", "Courier New", ""},
        {"grdFiles", "Courier New", nullptr},
        {"lblDrives", "Arial", "Select Drive(s)"},
        {"lblTotals", "Arial", "Total Number Of Files"},
        {"cmdDisplay", "Arial", "DISPLAY"},
        {"lstDriveNumFiles", "Courier New", nullptr},
        {"lblTotalFiles", "Courier New", " "},
        {"cmdClear", "Arial", "CLEAR"}};
    for (const auto &[name, family, text] : controls) {
        QWidget *w = child(name);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->font().family(), QLatin1String(family)) << name;
        EXPECT_EQ(w->property("text").toString(), QLatin1String(text)) << name;
    }
    EXPECT_EQ(child("cmdDisplay")->toolTip(), QStringLiteral("Click To Display Files"));
    EXPECT_EQ(child("cmdClear")->toolTip(), QStringLiteral("Click To Clear The File Display"));
    EXPECT_EQ(driveList()->selectionMode(), QAbstractItemView::MultiSelection);
}

TEST_F(WindowTest, ControlsKeepTheirDesignProportionsWhenTheWindowIsResized)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QWidget *client = window->centralWidget();
    const std::pair<const char *, QRect> design[] = {{"grdFiles", {120, 1080, 9972, 4812}},
                                                     {"lstDriveNumFiles", {240, 6480, 4572, 840}},
                                                     {"cmdClear", {8280, 6840, 1092, 372}}};
    for (const QSize grow : {QSize(0, 0), QSize(400, 300)}) {
        window->resize(window->size() + grow);
        QTRY_COMPARE(child("tbrTRVStd")->width(), client->width());
        const double sx = client->width() / 10212.0, sy = client->height() / 7476.0;
        for (const auto &[name, twips] : design) {
            const QRect g = child(name)->geometry();
            EXPECT_NEAR(g.x(), twips.x() * sx, 2) << name;
            EXPECT_NEAR(g.y(), twips.y() * sy, 2) << name;
            EXPECT_NEAR(g.width(), twips.width() * sx, 2) << name;
            EXPECT_NEAR(g.height(), twips.height() * sy, 2) << name;
        }
    }
}

TEST_F(WindowTest, CannotBeMadeSmallerThanItsStartSize)
{
    const QSize start = window->size();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (const QSize smaller : {QSize(480, 360), QSize(300, 200), QSize(start.width() - 1, start.height() + 50)}) {
        window->resize(smaller);
        EXPECT_GE(window->width(), start.width()) << smaller.width();
        EXPECT_GE(window->height(), start.height()) << smaller.height();
    }
}

TEST_F(WindowTest, MenusHaveDistinctNamesAcceleratorsAndNoShortcuts)
{
    QStringList actual;
    dumpMenu(window->menuBar()->actions(), 0, actual);
    QStringList top, names;
    for (const QString &line : actual) {
        if (!line.startsWith(u' '))
            top << line;
        names << line.trimmed().section(u' ', 0, 0);
        EXPECT_TRUE(line.contains(u'&')) << line.toStdString();
    }
    EXPECT_EQ(top, (QStringList{"mnuFile &File", "mnuEdit &Edit", "mnuSearch Sea&rch", "mnuSort &Sort",
                                "mnuOptions &Options", "mnuHelp &Help"}));
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(actual.size(), 32);
    EXPECT_TRUE(actual.contains("    mnuDateLastModifiedDsc &Descending"));
    for (const char *key : {"LongName", "ShortName", "Path", "DateLastModified", "Size", "Extension"}) {
        const QString n = QStringLiteral("mnu") + QLatin1String(key);
        EXPECT_TRUE(act(qPrintable(n + "Asc"))->isCheckable() && act(qPrintable(n + "Dsc"))->isCheckable());
    }
}

TEST_F(WindowTest, ToolbarHasFifteenDistinctPicturesWithTooltipsInOrderAndThreeSeparators)
{
    const QList<QAction *> actions = child<QToolBar>("tbrTRVStd")->actions();
    QStringList keys, tooltips;
    QList<QImage> pictures;
    for (QAction *a : actions) {
        keys << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
        if (a->isSeparator())
            continue;
        EXPECT_TRUE(a->text().isEmpty()) << a->objectName().toStdString();
        EXPECT_TRUE(a->toolTip().startsWith("Click To ")) << a->objectName().toStdString();
        EXPECT_FALSE(tooltips.contains(a->toolTip()));
        tooltips << a->toolTip();
        ASSERT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
        const QImage picture = a->icon().pixmap(24, 24).toImage();
        EXPECT_FALSE(pictures.contains(picture)) << a->objectName().toStdString() << " looks like another button";
        pictures << picture;
    }
    EXPECT_EQ(keys.join(u' '), QStringLiteral("Open Save Print Search | LongName ShortName Path Date Size Extension | "
                                              "UpArrow DownArrow | FindDups Help Exit"));
    EXPECT_EQ(act("Open")->toolTip(), QStringLiteral("Click To Open An TRV File"));
    EXPECT_EQ(act("Date")->toolTip(), QStringLiteral("Click To Sort On File Date Last Modified"));
}

TEST_F(WindowTest, StartsEmptyOnTheDummyRowsWithTheDrivesOfferedAndNoOrder)
{
    expectEmptyWindow();
    const DisplayState &s = window->state();
    EXPECT_FALSE(s.mblnLiveCatalogue || s.mblnDupMode || s.mblnDupFirst);
    EXPECT_FALSE(grid()->allowUpdate() || act("Search")->isChecked());
    EXPECT_EQ(driveListings, 1);
}

TEST_F(WindowTest, SortKeysSortAscendingAndTheArrowsTurnTheChosenOrder)
{
    const std::pair<const char *, const char *> keys[] = {
        {"LongName", "mnuLongNameAsc"},     {"ShortName", "mnuShortNameAsc"}, {"Path", "mnuPathAsc"},
        {"Date", "mnuDateLastModifiedAsc"}, {"Size", "mnuSizeAsc"},           {"Extension", "mnuExtensionAsc"}};
    for (const auto &[key, item] : keys) {
        window->state().mblnDupMode = true;
        act(key)->trigger();
        EXPECT_FALSE(window->state().mblnDupMode) << key;
        EXPECT_EQ(checkedSortItems(), Names{item}) << key;
    }
    act("mnuPathAsc")->trigger();
    act("DownArrow")->trigger();
    EXPECT_EQ(checkedSortItems(), Names{"mnuPathDsc"});
    EXPECT_TRUE(act("UpArrow")->isVisible() && !act("DownArrow")->isVisible());
    act("UpArrow")->trigger();
    EXPECT_EQ(checkedSortItems(), Names{"mnuPathAsc"});
    EXPECT_TRUE(act("DownArrow")->isVisible() && !act("UpArrow")->isVisible());
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WindowTest, EveryToolbarKeyEndsDuplicateSteppingBeforeItsCommand)
{
    act("mnuLongNameAsc")->trigger(); // so Search and FindDups get past the order check
    const std::pair<const char *, const char *> cases[] = {
        {"Open", nullptr},
        {"Save", nullptr},
        {"Print", "Make sure your printer is in Landscape mode before printing"},
        {"Search", "You must display the files first, then do a search"},
        {"UpArrow", nullptr},
        {"DownArrow", nullptr},
        {"FindDups", "You must display the files first, before finding duplicate files"},
        {"Help", nullptr}};
    for (const auto &[key, message] : cases) {
        window->state().mblnDupMode = true;
        window->state().mblnDupFirst = false;
        sink.shown.clear();
        act(key)->trigger();
        const bool dups = key == std::string("FindDups");
        EXPECT_EQ(window->state().mblnDupMode, dups) << key;
        EXPECT_EQ(window->state().mblnDupFirst, dups) << key;
        ASSERT_EQ(sink.shown.size(), message ? 1u : 0u) << key;
        if (message) {
            EXPECT_EQ(sink.shown[0].text, QLatin1String(message));
        }
        act("mnuLongNameAsc")->trigger();
    }
    // A refused command leaves its button released.
    EXPECT_FALSE(act("Search")->isChecked() || act("FindDups")->isChecked());
    ASSERT_TRUE(window->helpService().viewer());
    EXPECT_TRUE(window->helpService().viewer()->isVisible());

    window->state().mblnDupMode = true;
    window->tbrTRVStd_ButtonClick(QStringLiteral("longname")); // keys match case-sensitively
    EXPECT_FALSE(window->state().mblnDupMode);
    EXPECT_EQ(checkedSortItems(), Names{"mnuLongNameAsc"});
}

TEST_F(WindowTest, MenuItemsReachTheirCommandsAndLeaveDuplicateSteppingOn)
{
    act("mnuShortNameAsc")->trigger();
    window->state().mblnDupMode = true;
    act("mnuQuickSearch")->trigger();
    act("mnuFindDuplicateFiles")->trigger();
    act("mnuShortNameDsc")->trigger();
    EXPECT_TRUE(window->state().mblnDupMode);
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.shown[0].text, QStringLiteral("You must display the files first, then do a search"));
    EXPECT_EQ(sink.shown[1].text, QStringLiteral("You must display the files first, before finding duplicate files"));
    EXPECT_TRUE(act("UpArrow")->isVisible()); // a descending item shows the up arrow

    for (const char *inert : {"mnuOpen", "mnuSaveAs", "mnuOptions", "mnuEdit"})
        act(inert)->trigger();
    EXPECT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(window->helpService().viewer());
    act("mnuHelpFile")->trigger();
    EXPECT_TRUE(window->helpService().viewer());
}

TEST_F(WindowTest, AboutIsOneModelessBoxThatOkOnlyHides)
{
    window->show();
    act("mnuAbout")->trigger();
    FrmAbout *about = window->aboutBox();
    ASSERT_TRUE(about);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Tarvolo  -  About Display "));
    EXPECT_EQ(about->findChild<QLabel *>("lblVersion")->text(), QStringLiteral("Version  1.03"));
    EXPECT_EQ(about->findChild<QLabel *>("lblMaker")->font().family(), QStringLiteral("Times New Roman"));
    auto *ok = about->findChild<QPushButton *>("cmdOK");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    for (int round = 0; round < 2; ++round) {
        act("mnuAbout")->trigger();
        EXPECT_EQ(window->findChildren<FrmAbout *>(), QList<FrmAbout *>{about});
        EXPECT_TRUE(about->isVisible() && !about->isModal());
        ok->click();
        EXPECT_FALSE(about->isVisible());
    }
}

TEST_F(WindowTest, ExitOrCloseEndsTheWalkClosesEveryWindowAndQuits)
{
    for (const char *exit : {"mnuExit", "Exit", "close"}) {
        window->show();
        act("mnuAbout")->trigger();
        act("mnuHelpFile")->trigger();
        select({kDriveA});
        window->DisplayFiles();
        const int before = quits;
        if (exit == std::string("close"))
            window->close();
        else
            act(exit)->trigger();
        EXPECT_EQ(quits, before + 1) << exit;
        EXPECT_FALSE(window->displayCommands().walking()) << exit;
        EXPECT_FALSE(window->isVisible() || window->aboutBox()->isVisible()) << exit;
        EXPECT_FALSE(window->helpService().viewer()->isVisible()) << exit;
        window->cmdClear_Click();
    }
    QCoreApplication::sendPostedEvents(); // a queued end of a walk would arrive here
    EXPECT_EQ(displayed->count(), 0);
}

namespace {

// Freeing the catalogue it watches ends the process with its own code.
class ReleaseWatch final : public RecordSetObserver {
public:
    static constexpr int kReleased = 3;
    void recordSetDestroyed() override { std::_Exit(kReleased); }
};

void exitWithACatalogue(const char *exit)
{
    RecordingSink sink;
    FrmDisplay::Services services;
    services.messages = &sink;
    services.driveSource = [](DriveTables &) { return QStringList(); };
    FrmDisplay window(services); // the real program's quit
    RecordSet &catalogue = *window.state().catalogue;
    for (int i = 0; i < 1000; ++i) {
        catalogue.addNew();
        catalogue.setField(fld::LongName, std::string("FILE") + std::to_string(i));
    }
    window.state().TotalFiles = catalogue.count();
    ReleaseWatch watch;
    catalogue.addObserver(&watch);
    window.show();
    if (exit == std::string("close"))
        window.close();
    else
        window.findChild<QAction *>(QLatin1String(exit))->trigger();
}

} // namespace

TEST(ProgramExit, EndsTheProcessAtOnceWithoutFreeingTheCatalogue)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char *exit : {"mnuExit", "Exit", "close"})
        EXPECT_EXIT(exitWithACatalogue(exit), testing::ExitedWithCode(0), "") << exit;
}
