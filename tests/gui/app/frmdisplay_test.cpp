// Guards the main window's shape and wiring: its minimum size, distinct menu items and
// toolbar keys, the state after start-up, which command each menu item and
// toolbar key reaches, one modeless About box, and Exit or close ending everything.
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

const QString kDisplayBeforeSearch = QStringLiteral("You must display the files first, then do a search");
const QString kDisplayBeforeDups = QStringLiteral("You must display the files first, before finding duplicate files");

} // namespace

TEST_F(WindowTest, TheWindowCannotShrinkBelowItsStartSize)
{
    const QSize start = window->size();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (const QSize smaller : {QSize(480, 360), QSize(start.width() - 1, start.height() + 50)}) {
        window->resize(smaller);
        EXPECT_GE(window->width(), start.width()) << smaller.width();
        EXPECT_GE(window->height(), start.height()) << smaller.height();
    }
}

TEST_F(WindowTest, MenuItemsAndToolbarKeysAreDistinct)
{
    QStringList names, tooltips;
    const std::function<void(const QList<QAction *> &)> walk = [&](const QList<QAction *> &actions) {
        for (QAction *a : actions) {
            names << a->objectName();
            EXPECT_TRUE(a->text().contains(u'&') && a->shortcut().isEmpty()) << a->objectName().toStdString();
            if (a->menu())
                walk(a->menu()->actions());
        }
    };
    walk(window->menuBar()->actions());
    QList<QImage> pictures;
    for (QAction *a : child<QToolBar>("tbrTRVStd")->actions()) {
        if (a->isSeparator())
            continue;
        names << a->objectName();
        EXPECT_FALSE(a->toolTip().isEmpty() || tooltips.contains(a->toolTip())) << a->objectName().toStdString();
        tooltips << a->toolTip();
        const QImage picture = a->icon().pixmap(24, 24).toImage();
        EXPECT_FALSE(picture.isNull() || pictures.contains(picture))
            << a->objectName().toStdString() << " looks like another button";
        pictures << picture;
    }
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
}

TEST_F(WindowTest, StartsEmptyOnTheDummyRowsWithTheDrivesOfferedAndNoOrder)
{
    expectEmptyWindow();
    const DisplayState &s = window->state();
    EXPECT_FALSE(s.mblnLiveCatalogue || s.mblnDupMode || s.mblnDupFirst);
    EXPECT_FALSE(grid()->allowUpdate() || act("Search")->isChecked());
    EXPECT_EQ(driveListings, 1);
    EXPECT_EQ(driveList()->selectionMode(), QAbstractItemView::MultiSelection);
}

TEST_F(WindowTest, EveryToolbarKeyEndsDuplicateSteppingAndReachesItsCommand)
{
    const struct {
        const char *key, *order;
        QString message;
    } cases[] = {
        {"Open", "mnuLongNameAsc", {}},
        {"Save", "mnuLongNameAsc", {}},
        {"Print", "mnuLongNameAsc", QStringLiteral("Make sure your printer is in Landscape mode before printing")},
        {"Search", "mnuLongNameAsc", kDisplayBeforeSearch},
        {"ShortName", "mnuShortNameAsc", {}},
        {"Path", "mnuPathAsc", {}},
        {"Size", "mnuSizeAsc", {}},
        {"Extension", "mnuExtensionAsc", {}},
        {"DownArrow", "mnuExtensionDsc", {}},
        {"UpArrow", "mnuExtensionAsc", {}},
        {"Date", "mnuDateLastModifiedAsc", {}},
        {"LongName", "mnuLongNameAsc", {}},
        {"FindDups", "mnuLongNameAsc", kDisplayBeforeDups},
        {"Help", "mnuLongNameAsc", {}},
    };
    act("mnuLongNameAsc")->trigger(); // so Search gets past the order check
    for (const auto &c : cases) {
        window->state().mblnDupMode = true;
        window->state().mblnDupFirst = false;
        sink.shown.clear();
        act(c.key)->trigger();
        const bool dups = c.key == std::string("FindDups");
        EXPECT_EQ(window->state().mblnDupMode, dups) << c.key;
        EXPECT_EQ(window->state().mblnDupFirst, dups) << c.key;
        EXPECT_EQ(checkedSortItems(), Names{c.order}) << c.key;
        ASSERT_EQ(sink.shown.size(), c.message.isEmpty() ? 0u : 1u) << c.key;
        if (!c.message.isEmpty()) {
            EXPECT_EQ(sink.shown[0].text, c.message);
        }
    }
    EXPECT_EQ(printerDialog.shown, 1);
    // A refused command leaves its button released.
    EXPECT_FALSE(act("Search")->isChecked() || act("FindDups")->isChecked());
    ASSERT_TRUE(window->helpService().viewer());
    EXPECT_TRUE(window->helpService().viewer()->isVisible());

    act("mnuSizeAsc")->trigger();
    window->state().mblnDupMode = true;
    window->tbrTRVStd_ButtonClick(QStringLiteral("longname")); // keys match case-sensitively
    EXPECT_FALSE(window->state().mblnDupMode);
    EXPECT_EQ(checkedSortItems(), Names{"mnuSizeAsc"});
}

TEST_F(WindowTest, MenuItemsReachTheirCommandsAndLeaveDuplicateSteppingOn)
{
    act("mnuShortNameAsc")->trigger();
    window->state().mblnDupMode = true;
    for (const char *item : {"mnuPrint", "mnuQuickSearch", "mnuFindDuplicateFiles", "mnuShortNameDsc"})
        act(item)->trigger();
    EXPECT_TRUE(window->state().mblnDupMode);
    ASSERT_EQ(sink.shown.size(), 3u);
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("Printer Must Be In Landscape Mode"));
    EXPECT_EQ(printerDialog.shown, 1);
    EXPECT_EQ(sink.shown[1].text, kDisplayBeforeSearch);
    EXPECT_EQ(sink.shown[2].text, kDisplayBeforeDups);
    EXPECT_EQ(checkedSortItems(), Names{"mnuShortNameDsc"});

    for (const char *inert : {"mnuOpen", "mnuSaveAs", "mnuOptions", "mnuEdit"})
        act(inert)->trigger();
    EXPECT_EQ(sink.shown.size(), 3u);
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(window->helpService().viewer());
    act("mnuHelpFile")->trigger();
    EXPECT_TRUE(window->helpService().viewer());
}

TEST_F(WindowTest, AboutIsOneModelessBoxThatOkOnlyHides)
{
    window->show();
    for (int round = 0; round < 2; ++round) {
        act("mnuAbout")->trigger();
        FrmAbout *about = window->aboutBox();
        ASSERT_TRUE(about);
        EXPECT_EQ(window->findChildren<FrmAbout *>(), QList<FrmAbout *>{about});
        EXPECT_TRUE(about->isVisible() && !about->isModal());
        about->findChild<QPushButton *>("cmdOK")->click();
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
    FrmDisplay::Services services = FrmDisplay::Services::withoutDrives(&sink);
    services.quit = nullptr; // the real program's quit
    FrmDisplay window(std::move(services));
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
