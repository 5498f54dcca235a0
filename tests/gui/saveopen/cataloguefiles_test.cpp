// Guards Save As and Open in the window: which states save, what the dialogs are asked,
// that a saved catalogue is one Open lists, the window after an Open, that a cancelled or
// refused Open gives up nothing on show, and that reading a file on its worker leaves the
// window alone until it has been read whole.
#include "catalogfile/cataloguefile.h"
#include "catalogue/layouts.h"
#include "platform/pagedarray.h"
#include "saveopen/cataloguefilejob.h"
#include "saveopen/cataloguefiles.h"
#include "support/windowfixture.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <limits>

namespace {

class CatalogueFilesTest : public WindowFixture {
protected:
    [[nodiscard]] QString file(const char *name) const { return catalogueDir.filePath(QLatin1String(name)); }
    // Displays drive A and saves it to the named file.
    void saveDriveA(const char *name)
    {
        ASSERT_TRUE(display({kDriveA}));
        fileDialogs.answers << file(name);
        window->SaveAs();
        ASSERT_TRUE(QFileInfo::exists(file(name)));
    }
    [[nodiscard]] CatalogueFileJob *openJob() const { return child<CatalogueFileJob>("openJob"); }
    // Chooses the file in the Open dialog; returns once it has been read (or refused).
    void open(const QString &path)
    {
        QSignalSpy read(openJob(), &CatalogueFileJob::finished);
        fileDialogs.answers << path;
        window->OpenFile();
        if (!path.isEmpty()) {
            ASSERT_TRUE(read.wait(5000));
        }
    }
    void expectDriveAOnShow(const Names &names)
    {
        const DisplayState &s = window->state();
        EXPECT_EQ(s.TotalFiles, 3);
        EXPECT_TRUE(s.mblnLiveCatalogue);
        EXPECT_EQ(catalogueNames(), names);
        EXPECT_EQ(grid()->dataSource(), s.catalogue.get());
        EXPECT_EQ(label("lblDrives"), QStringLiteral("Total Files Per Drive"));
        EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Tarvolo  -  Display Of Files As Of ")));
    }
};

} // namespace

TEST_F(CatalogueFilesTest, OnlyALiveCatalogueIsSavedACancelIsSilentAndAFailureSaysWhy)
{
    window->SaveAs();
    EXPECT_TRUE(fileDialogs.asked.empty()) << "empty at start-up";
    ASSERT_TRUE(display({kDriveA}));
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.size(), 1u);
    EXPECT_TRUE(sink.shown.empty()) << "cancelled";
    const QString unwritable = file("gone/x.trv");
    fileDialogs.answers << unwritable;
    window->SaveAs();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("Catalogue Not Saved"));
    EXPECT_TRUE(sink.shown[0].text.contains(unwritable)) << sink.shown[0].text.toStdString();
    EXPECT_TRUE(sink.shown[0].text.contains(QStringLiteral("No such file"))) << sink.shown[0].text.toStdString();
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    fileDialogs.answers << file("a.trv");
    window->SaveAs();
    open(file("a.trv"));
    const std::size_t asked = fileDialogs.asked.size();
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.size(), asked) << "from a file";
    window->cmdClear_Click();
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.size(), asked) << "cleared";
    EXPECT_EQ(sink.shown.size(), 1u);
}

TEST_F(CatalogueFilesTest, SaveAsProposesADatedNameAndWritesTheCatalogueInItsOrder)
{
    ASSERT_TRUE(display({kDriveA}));
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size"));
    fileDialogs.answers << file("live");
    window->tbrTRVStd_ButtonClick(QStringLiteral("Save"));
    ASSERT_EQ(fileDialogs.asked.size(), 1u);
    const FileDialogRequest &r = fileDialogs.asked[0];
    EXPECT_EQ(r.folder, file("Tarvolo"));
    EXPECT_TRUE(QFileInfo(r.folder).isDir()) << "the starting folder is made";
    EXPECT_TRUE(r.fileName.startsWith(QStringLiteral("Files As Of  ")));
    EXPECT_FALSE(r.fileName.contains(u'/') || r.fileName.contains(u':')) << r.fileName.toStdString();
    std::string error;
    EXPECT_FALSE(QFileInfo::exists(file("live")));
    const auto saved = cataloguefile::open(file("live.trv").toStdString(), error);
    ASSERT_TRUE(saved) << error;
    ASSERT_EQ(saved->count(), 3);
    for (int pos = 0; pos < 3; ++pos)
        EXPECT_EQ(saved->utf8At(pos, fld::LongName), window->state().catalogue->utf8At(pos, fld::LongName));
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(CatalogueFilesTest, OpenClearsTheWindowAndShowsTheFileDisabled)
{
    saveDriveA("Files As Of  1-2-2026 3-04-05 PM.trv");
    window->cmdClear_Click();
    ASSERT_TRUE(display({kDriveC}));
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size")); // cleared by the Open
    open(file("Files As Of  1-2-2026 3-04-05 PM.trv"));
    const DisplayState &s = window->state();
    EXPECT_EQ(fileDialogs.asked.back().fileName, file("Files As Of  1-2-2026 3-04-05 PM.trv"))
        << "the name box keeps what Save As left";
    EXPECT_EQ(s.mstrAsOfText, QStringLiteral("Files As Of  1-2-2026 3-04-05 PM    "));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tarvolo  -  Display Of Files As Of  1-2-2026 3-04-05 PM    "));
    EXPECT_FALSE(s.mblnLiveCatalogue);
    EXPECT_EQ(s.TotalFiles, 3);
    EXPECT_EQ(label("lblTotalFiles"), QStringLiteral("3"));
    EXPECT_EQ(label("lblDrives"), QString());
    EXPECT_EQ(driveLines(), (QStringList{QStringLiteral("File Operations Are Disabled"),
                                         QStringLiteral("File Property Page Is Disabled")}));
    EXPECT_EQ(catalogueNames(), (Names{"ALPHA", "BETA", "GAMMA"})) << "long name ascending after the Clear";
    EXPECT_EQ(checkedSortItems(), Names{"mnuLongNameAsc"});
    EXPECT_EQ(grid()->dataSource(), s.catalogue.get());
    EXPECT_EQ(grid()->model()->rowCount(), 3);
    EXPECT_EQ(s.catalogue->position(), 0);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CatalogueFilesTest, SaveAsAsksAgainBeforeReplacingTheNameItMadeFromWhatWasTyped)
{
    ASSERT_TRUE(display({kDriveA}));
    // The dialog asked before replacing what was typed, not the name made from it: it is
    // shown again with that name, and Cancel there leaves the old file.
    QFile old(file("y.trv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    fileDialogs.answers << file("y");
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.back().fileName, file("y.trv"));
    EXPECT_EQ(QFileInfo(file("y.trv")).size(), 3);
    fileDialogs.answers << file("y") << file("y.trv");
    window->SaveAs();
    std::string error;
    EXPECT_TRUE(cataloguefile::open(file("y.trv").toStdString(), error)) << error;
    EXPECT_FALSE(QFileInfo::exists(file("y")));
    EXPECT_TRUE(sink.shown.empty());
}

TEST(CatalogueNames, CaptionsBlankEachLowerCaseTrvAndSavedNamesEndInExactlyOne)
{
    const char *const captions[][2] = {{"a.trv", "a    "}, {"A.TRV", "A.TRV"}, {"x.trv.trv", "x        "}};
    for (const auto &[name, caption] : captions)
        EXPECT_EQ(captionName(QLatin1String(name)), QLatin1String(caption)) << name;
    const char *const saved[][2] = {{"/d/a.trv", "/d/a.trv"},
                                    {"/d/a.Trv", "/d/a.trv"},
                                    {"/d/a.trv.txt", "/d/a.trv.txt.trv"},
                                    {"/d.trv/a", "/d.trv/a.trv"},
                                    // A locale's date may bring dots of its own into the proposed name.
                                    {"/d/As Of  12.05.2026 18-51-01", "/d/As Of  12.05.2026 18-51-01.trv"}};
    for (const auto &[name, written] : saved)
        EXPECT_EQ(withCatalogueExtension(QLatin1String(name)), QLatin1String(written)) << name;
}

TEST_F(CatalogueFilesTest, ACancelledOrRefusedOpenLeavesWhatIsOnShow)
{
    saveDriveA("a.trv");
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size"));
    const Names sorted = catalogueNames();
    makeFiles(catalogueDir.path(), {"foreign.trv"});
    for (const QString &answer : {file("foreign.trv"), QString()}) {
        open(answer);
        expectDriveAOnShow(sorted);
        EXPECT_EQ(checkedSortItems(), Names{"mnuSizeAsc"});
        EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
        const std::size_t asked = fileDialogs.asked.size();
        window->SaveAs();
        EXPECT_EQ(fileDialogs.asked.size(), asked + 1) << "still saved as a live catalogue";
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(CatalogueFilesTest, AnOpenLeavesTheWindowAloneUntilItsFileIsReadAndClearDropsIt)
{
    saveDriveA("a.trv");
    fileDialogs.answers << file("a.trv");
    window->OpenFile();
    window->cmdClear_Click();
    openJob()->join();
    QCoreApplication::sendPostedEvents();
    expectEmptyWindow();
    EXPECT_TRUE(window->state().mblnLiveCatalogue) << "left as Clear leaves it";

    act("mnuLongNameDsc")->trigger(); // the order chosen after start-up or a Clear
    QSignalSpy read(openJob(), &CatalogueFileJob::finished);
    fileDialogs.answers << file("a.trv");
    window->OpenFile();
    EXPECT_TRUE(window->state().mblnLiveCatalogue);
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    // Display waits for the open as it waits for a walk.
    select({kDriveC});
    child<QPushButton>("cmdDisplay")->click();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("Clear The Display"));
    EXPECT_FALSE(window->displayCommands().walking());
    EXPECT_EQ(window->state().TotalFiles, 0);
    EXPECT_EQ(grid()->dataSource(), &window->state().dummy);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tarvolo  -  File Display"));
    ASSERT_TRUE(read.count() > 0 || read.wait(5000));
    EXPECT_EQ(window->state().TotalFiles, 3);
    EXPECT_FALSE(window->state().mblnLiveCatalogue);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(catalogueNames(), (Names{"GAMMA", "BETA", "ALPHA"}));
}

TEST_F(CatalogueFilesTest, AnOpenReadDuringASaveWaitsUntilTheSaveHasEnded)
{
    saveDriveA("a.trv");
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size"));
    const Names sizeOrder = catalogueNames();
    QSignalSpy read(openJob(), &CatalogueFileJob::finished);
    fileDialogs.answers << file("a.trv") << file("b.trv");
    window->OpenFile();
    openJob()->wait(); // read; its end is delivered while the save runs
    window->SaveAs();
    EXPECT_EQ(read.count(), 1);
    std::string error;
    const auto saved = cataloguefile::open(file("b.trv").toStdString(), error);
    ASSERT_TRUE(saved) << error;
    ASSERT_EQ(saved->count(), 3);
    for (int pos = 0; pos < 3; ++pos)
        EXPECT_EQ(saved->utf8At(pos, fld::LongName).substr(0, sizeOrder[std::size_t(pos)].size()),
                  sizeOrder[std::size_t(pos)]);
    EXPECT_FALSE(window->state().mblnLiveCatalogue) << "the open came after";
    EXPECT_EQ(catalogueNames(), (Names{"ALPHA", "BETA", "GAMMA"}));
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(CatalogueFilesTest, AnOpenThatRunsOutOfMemorySaysSoAndKeepsWhatIsOnShow)
{
    RecordSet big;
    CreateRecordSet(big);
    for (int i = 0; i < 5000; ++i) {
        big.addNew();
        big.setField(fld::LongName, QStringLiteral("a rather long name %1.txt").arg(i).leftJustified(25));
        big.setField(fld::Path, QStringLiteral("/SOME/FOLDER/%1/").arg(i % 50));
    }
    std::string error;
    ASSERT_NE(cataloguefile::save(big, file("big.trv").toStdString(), error), atomicfile::Outcome::Failed) << error;
    ASSERT_TRUE(display({kDriveA}));
    const Names shown = catalogueNames();
    // No buffer may grow into pages of its own: the opened columns need them.
    PageBuffer::setMappedLimit(PageBuffer::mappedBytes());
    const auto unlimited = qScopeGuard([] { PageBuffer::setMappedLimit(std::numeric_limits<std::size_t>::max()); });
    open(file("big.trv"));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown.front().title, QStringLiteral("Not Enough Memory"));
    expectDriveAOnShow(shown);

    PageBuffer::setMappedLimit(std::numeric_limits<std::size_t>::max());
    open(file("big.trv"));
    EXPECT_EQ(window->state().TotalFiles, 5000);
}

TEST_F(CatalogueFilesTest, SeveralFilesOpenAsOneCatalogueAndADamagedOneIsNamed)
{
    saveDriveA("a.trv");
    RecordSet other;
    CreateRecordSet(other);
    other.addNew();
    other.setField(fld::LongName, std::string_view("OTHER"));
    std::string error;
    ASSERT_EQ(cataloguefile::save(other, file("c.trv").toStdString(), error), atomicfile::Outcome::Replaced) << error;
    makeFiles(catalogueDir.path(), {"foreign.trv"});
    open(file("a.trv") + '\n' + file("foreign.trv") + '\n' + file("c.trv"));
    const DisplayState &s = window->state();
    EXPECT_EQ(s.TotalFiles, 4);
    EXPECT_FALSE(s.mblnLiveCatalogue);
    EXPECT_EQ(catalogueNames(), (Names{"ALPHA", "BETA", "GAMMA", "OTHER"}));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tarvolo  -  Display Of a     and 2 more"));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("Catalogue Files Left Out"));
    EXPECT_TRUE(sink.shown[0].text.contains(file("foreign.trv")));
    EXPECT_FALSE(sink.shown[0].text.contains(file("c.trv")));

    // The same file twice: every name is a duplicate of one in the other copy.
    open(file("c.trv") + '\n' + file("c.trv"));
    EXPECT_EQ(catalogueNames(), (Names{"OTHER", "OTHER"}));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tarvolo  -  Display Of c     and 1 more"));
}
