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
#include <QPushButton>
#include <QScopeGuard>
#include <limits>

namespace {

class CatalogueFilesTest : public WindowFixture {
protected:
    [[nodiscard]] bool displayDrive(int drive)
    {
        select({drive});
        child<QPushButton>("cmdDisplay")->click();
        return displayed->wait(5000);
    }
    [[nodiscard]] QString file(const char *name) const { return catalogueDir.filePath(QLatin1String(name)); }
    // Displays drive A and saves it to the named file.
    void saveDriveA(const char *name)
    {
        ASSERT_TRUE(displayDrive(kDriveA));
        fileDialogs.answers << file(name);
        window->SaveAs();
        ASSERT_TRUE(QFileInfo::exists(file(name)));
    }
    [[nodiscard]] static Names namesOf(const RecordSet &records)
    {
        Names out;
        for (int i = 0; i < records.count(); ++i) {
            const std::string name = records.utf8At(i, fld::LongName);
            out.push_back(name.substr(0, name.find_last_not_of(' ') + 1));
        }
        return out;
    }
    [[nodiscard]] CatalogueFileJob *job(const char *name) const { return child<CatalogueFileJob>(name); }
    // Chooses the file in the Open dialog; returns once it has been read (or refused).
    void open(const QString &path)
    {
        QSignalSpy read(job("openJob"), &CatalogueFileJob::finished);
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

TEST_F(CatalogueFilesTest, SaveAsDoesNothingWhenEmptyOrFromAFile)
{
    window->SaveAs();
    EXPECT_TRUE(fileDialogs.asked.empty()) << "empty at start-up";
    saveDriveA("a.trv");
    open(file("a.trv"));
    const std::size_t asked = fileDialogs.asked.size();
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.size(), asked) << "from a file";
    child<QPushButton>("cmdClear")->click();
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.size(), asked) << "cleared";
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(CatalogueFilesTest, SaveAsProposesADatedNameAndWritesTheCatalogueInItsOrder)
{
    ASSERT_TRUE(displayDrive(kDriveA));
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size"));
    fileDialogs.answers << file("live");
    window->tbrTRVStd_ButtonClick(QStringLiteral("Save"));
    ASSERT_EQ(fileDialogs.asked.size(), 1u);
    const FileDialogRequest &r = fileDialogs.asked[0];
    EXPECT_EQ(r.title, QStringLiteral("Save As A Tarvolo File"));
    EXPECT_EQ(r.filter, QStringLiteral("Tarvolo Files (*.trv)"));
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

TEST_F(CatalogueFilesTest, ACancelledSaveIsSilentAndAFailedOneSaysWhy)
{
    ASSERT_TRUE(displayDrive(kDriveA));
    window->SaveAs();
    EXPECT_EQ(fileDialogs.asked.size(), 1u);
    EXPECT_TRUE(sink.shown.empty());
    const QString unwritable = file("gone/x.trv");
    fileDialogs.answers << unwritable;
    window->SaveAs();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].title, QStringLiteral("Catalogue Not Saved"));
    EXPECT_TRUE(sink.shown[0].text.contains(unwritable)) << sink.shown[0].text.toStdString();
    EXPECT_TRUE(sink.shown[0].text.contains(QStringLiteral("No such file"))) << sink.shown[0].text.toStdString();
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CatalogueFilesTest, OpenClearsTheWindowAndShowsTheFileDisabled)
{
    saveDriveA("Files As Of  1-2-2026 3-04-05 PM.trv");
    child<QPushButton>("cmdClear")->click();
    ASSERT_TRUE(displayDrive(kDriveC));
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size")); // cleared by the Open
    open(file("Files As Of  1-2-2026 3-04-05 PM.trv"));
    const DisplayState &s = window->state();
    EXPECT_EQ(fileDialogs.asked.back().title, QStringLiteral("Open A Tarvolo File"));
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

TEST_F(CatalogueFilesTest, OpenRightAfterStartUpUsesTheChosenOrder)
{
    saveDriveA("a.trv");
    child<QPushButton>("cmdClear")->click();
    act("mnuLongNameDsc")->trigger();
    open(file("a.trv"));
    EXPECT_EQ(catalogueNames(), (Names{"GAMMA", "BETA", "ALPHA"}));
}

TEST_F(CatalogueFilesTest, SavedNamesAlwaysEndInTheExtensionOpenLists)
{
    ASSERT_TRUE(displayDrive(kDriveA));
    // A locale's date may bring dots of its own into the proposed name.
    const char *const answers[][2] = {{"x.TRV", "x.trv"},
                                      {"Files As Of  12.05.2026 18-51-01", "Files As Of  12.05.2026 18-51-01.trv"}};
    for (const auto &[answer, written] : answers) {
        fileDialogs.answers << file(answer);
        window->SaveAs();
        EXPECT_TRUE(QFileInfo::exists(file(written))) << written;
        EXPECT_FALSE(QFileInfo::exists(file(answer))) << answer;
    }
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
    EXPECT_TRUE(sink.shown.empty());
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

TEST_F(CatalogueFilesTest, AnOpenLeavesTheWindowAloneUntilItsFileIsRead)
{
    saveDriveA("a.trv");
    child<QPushButton>("cmdClear")->click();
    QSignalSpy read(job("openJob"), &CatalogueFileJob::finished);
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
}

TEST_F(CatalogueFilesTest, ClearDropsAnOpenUnderWay)
{
    saveDriveA("a.trv");
    fileDialogs.answers << file("a.trv");
    window->OpenFile();
    child<QPushButton>("cmdClear")->click();
    job("openJob")->join();
    QCoreApplication::sendPostedEvents();
    expectEmptyWindow();
    EXPECT_TRUE(window->state().mblnLiveCatalogue) << "left as Clear leaves it";
}

TEST_F(CatalogueFilesTest, AnOpenReadDuringASaveWaitsUntilTheSaveHasEnded)
{
    saveDriveA("a.trv");
    window->tbrTRVStd_ButtonClick(QStringLiteral("Size"));
    const Names sizeOrder = catalogueNames();
    QSignalSpy read(job("openJob"), &CatalogueFileJob::finished);
    fileDialogs.answers << file("a.trv") << file("b.trv");
    window->OpenFile();
    job("openJob")->wait(); // read; its end is delivered while the save runs
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

TEST(CaptionName, EachLowerCaseTrvBecomesFourBlanks)
{
    EXPECT_EQ(captionName(QStringLiteral("a.trv")), QStringLiteral("a    "));
    EXPECT_EQ(captionName(QStringLiteral("A.TRV")), QStringLiteral("A.TRV"));
    EXPECT_EQ(captionName(QStringLiteral("x.trv.trv")), QStringLiteral("x        "));
    EXPECT_EQ(captionName(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST(CatalogueExtension, OnlyAnExactEndingIsKept)
{
    EXPECT_EQ(withCatalogueExtension(QStringLiteral("/d/a.trv")), QStringLiteral("/d/a.trv"));
    EXPECT_EQ(withCatalogueExtension(QStringLiteral("/d/a.Trv")), QStringLiteral("/d/a.trv"));
    EXPECT_EQ(withCatalogueExtension(QStringLiteral("/d/a.trv.txt")), QStringLiteral("/d/a.trv.txt.trv"));
    EXPECT_EQ(withCatalogueExtension(QStringLiteral("/d.trv/a")), QStringLiteral("/d.trv/a.trv"));
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
    ASSERT_TRUE(displayDrive(kDriveA));
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
