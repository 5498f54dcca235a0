// Guards Save As and Open in the window: which states save, what the dialogs are asked,
// the window after an Open, and that a failed save is reported while a refused or
// cancelled Open leaves the cleared window.
#include "app/windowfixture.h"
#include "catalogue/layouts.h"
#include "files/cataloguefile.h"
#include "files/ui/cataloguefiles.h"

#include <QPushButton>

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
    void open(const QString &path)
    {
        fileDialogs.answers << path;
        window->OpenFile();
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
    fileDialogs.answers << file("live"); // no extension is added
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
    const auto saved = cataloguefile::open(file("live").toStdString(), error);
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

TEST_F(CatalogueFilesTest, ARefusedOrCancelledOpenLeavesTheClearedWindow)
{
    saveDriveA("a.trv");
    makeFiles(catalogueDir.path(), {"foreign.trv"});
    for (const QString &answer : {file("foreign.trv"), QString()}) {
        ASSERT_TRUE(window->state().TotalFiles > 0 || displayDrive(kDriveA));
        open(answer);
        expectEmptyWindow();
        EXPECT_FALSE(window->state().mblnLiveCatalogue);
        const std::size_t asked = fileDialogs.asked.size();
        window->SaveAs();
        EXPECT_EQ(fileDialogs.asked.size(), asked) << "not saved until the next Display";
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST(CaptionName, EachLowerCaseTrvBecomesFourBlanks)
{
    EXPECT_EQ(captionName(QStringLiteral("a.trv")), QStringLiteral("a    "));
    EXPECT_EQ(captionName(QStringLiteral("A.TRV")), QStringLiteral("A.TRV"));
    EXPECT_EQ(captionName(QStringLiteral("x.trv.trv")), QStringLiteral("x        "));
    EXPECT_EQ(captionName(QStringLiteral("plain")), QStringLiteral("plain"));
}
