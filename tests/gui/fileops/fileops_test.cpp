// Guards the file commands as the user meets them: one options dialog and the flags its
// boxes give, the gates on the grid's gestures, and the catalogue after a delete (exactly the
// records of the files it took, the count and its label), on a real catalogue of real files.
#include "app/frmdisplay.h"
#include "display/displayfiles.h"
#include "fileops/filecommands.h"
#include "fileops/frmfileops.h"
#include "fileops/frmoptions.h"
#include "grid/datagrid.h"
#include "grid/recordsetmodel.h"
#include "gui/fileops/scriptedprompts.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using fileop::Answer;

namespace {

class FileCommandsTest : public testing::Test {
protected:
    FileCommandsTest()
    {
        for (const char *n : {"alpha.txt", "beta.txt", "gamma.txt"})
            write(n, n);
        FrmDisplay::Services s;
        s.driveSource = [this](DriveTables &t) {
            t.DriveRoots.fill(QStringLiteral(" "));
            t.SelectedDrives.fill(QStringLiteral(" "));
            t.DriveRoots[0] = drive.path() + u'/';
            return QStringList{drive.path() + QStringLiteral(":  Is A Hard/Non-Removable Drive")};
        };
        s.fileOpPrompts = &prompts;
        s.showProperties = [this](const QString &p) { propertiesShown << p; };
        s.quit = [] {};
        window = std::make_unique<FrmDisplay>(std::move(s));
    }
    void write(const QString &name, const QByteArray &data) const
    {
        QFile f(drive.path() + u'/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    void display()
    {
        QSignalSpy shown(&window->displayCommands(), &DisplayCommands::displayed);
        window->findChild<QListWidget *>(QStringLiteral("lstDriveNumFiles"))->item(0)->setSelected(true);
        window->DisplayFiles();
        ASSERT_TRUE(shown.count() > 0 || shown.wait(10000));
    }
    [[nodiscard]] DataGrid *grid() const { return window->findChild<DataGrid *>(QStringLiteral("grdFiles")); }
    [[nodiscard]] FrmFileOps *dialog() { return window->fileCommands().fileOpsDialog(); }
    [[nodiscard]] QString totalLabel() const
    {
        return window->findChild<QLabel *>(QStringLiteral("lblTotalFiles"))->text();
    }
    void rightClick() { emit grid()->mouseDown(2, 0, 5, 5); }
    // Clicks a button of the dialog and waits for the operation to end and a dialog that
    // closed on success to go.
    bool click(int index)
    {
        QSignalSpy done(dialog(), &FrmFileOps::operationDone);
        dialog()->cmdFileOp[std::size_t(index)]->click();
        const bool ok = (done.count() > 0 || done.wait(10000)) && done.front().front().toBool();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return ok;
    }
    [[nodiscard]] FrmOptions *options() const { return window->fileCommands().optionsDialog(); }
    [[nodiscard]] bool exists(const char *name) const { return QFile::exists(drive.path() + u'/' + name); }

    QTemporaryDir drive;
    ScriptedPrompts prompts;
    QStringList propertiesShown;
    std::unique_ptr<FrmDisplay> window;
};

} // namespace

TEST_F(FileCommandsTest, OneOptionsDialogKeepsItsStatesAndItsBoxesGiveEachOperationsFlags)
{
    display();
    rightClick();
    ASSERT_TRUE(dialog());
    EXPECT_EQ(dialog()->optionFlags(), 0) << "the options dialog was never opened";
    FrmOptions *o = options();
    EXPECT_FALSE(o->isVisible());
    const std::pair<QCheckBox *, int> each[] = {{o->chkSilent, fileop::Silent},
                                                {o->chkYesToAll, fileop::NoConfirmation},
                                                {o->chkRename, fileop::RenameOnCollision},
                                                {o->chkDir, fileop::NoConfirmMkdir},
                                                {o->chkFilesOnly, fileop::FilesOnly}};
    int all = 0;
    for (const auto &[box, flag] : each) {
        box->setChecked(true);
        EXPECT_EQ(dialog()->optionFlags(), flag) << box->objectName().toStdString();
        box->setChecked(false);
        all |= flag;
    }
    for (const auto &[box, flag] : each)
        box->setChecked(true);
    EXPECT_EQ(dialog()->optionFlags(), all);

    window->mnuOptions_Click();
    EXPECT_TRUE(o->isVisible());
    EXPECT_EQ(o->SSTab1->currentIndex(), 0);
    o->SSTab1->setCurrentIndex(1);
    o->chkDir->setChecked(false);
    o->cmdOKFileOperations->click();
    EXPECT_FALSE(o->isVisible());
    window->mnuOptions_Click();
    EXPECT_EQ(options(), o) << "one dialog, kept with its states";
    EXPECT_EQ(dialog()->optionFlags(), all & ~fileop::NoConfirmMkdir);
    EXPECT_EQ(o->SSTab1->currentIndex(), 1) << "reshown on the tab last used";
}

TEST_F(FileCommandsTest, GesturesWorkOnlyOnALiveCatalogueOutsideDuplicateStepping)
{
    rightClick();
    emit grid()->rowActivated();
    EXPECT_FALSE(dialog());
    EXPECT_TRUE(propertiesShown.isEmpty());

    display();
    window->state().mblnDupMode = true;
    rightClick();
    emit grid()->rowActivated();
    EXPECT_FALSE(dialog());
    EXPECT_TRUE(propertiesShown.isEmpty());
    window->state().mblnDupMode = false;

    for (int button : {1, 4})
        emit grid()->mouseDown(button, 0, 5, 5);
    EXPECT_FALSE(dialog()) << "only the right button";
    emit grid()->rowActivated();
    ASSERT_EQ(propertiesShown.size(), 1);
    const QString path = grid()->columnText(2).trimmed() + grid()->columnText(0);
    EXPECT_EQ(propertiesShown.front(), path) << "path without its blanks, the long name as stored";
    rightClick();
    FrmFileOps *first = dialog();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->txtSource->text(), path);
    EXPECT_TRUE(first->txtDestination->text().isEmpty());
    rightClick();
    EXPECT_EQ(dialog(), first) << "one instance, brought forward";

    window->state().mblnLiveCatalogue = false;
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    rightClick();
    EXPECT_FALSE(dialog());
}

TEST_F(FileCommandsTest, ADeleteRemovesTheRecordsOfExactlyTheFilesItTookAndLowersTheCount)
{
    write("gala.txt", "g");
    write("zeta.txt", "z");
    display();
    RecordSet &rs = *window->state().catalogue; // ALPHA, BETA, GALA, GAMMA, ZETA
    rs.setPosition(0);
    rightClick();
    ASSERT_TRUE(dialog());
    // With the dialog open, pointing at another row names that row's file.
    rs.setPosition(1);
    rightClick();
    EXPECT_TRUE(dialog()->txtSource->text().contains(QStringLiteral("BETA.TXT")));
    // Answered No: the file stays, the dialog stays open as it was, nothing is removed.
    prompts.answers = {Answer::No};
    EXPECT_FALSE(click(3));
    EXPECT_TRUE(exists("beta.txt"));
    ASSERT_TRUE(dialog());
    EXPECT_EQ(window->state().TotalFiles, 5);

    prompts.answers = {Answer::Yes};
    dialog()->txtSource->setText(dialog()->txtSource->text().replace(QStringLiteral("BETA"), QStringLiteral("B*")));
    EXPECT_TRUE(click(3));
    EXPECT_FALSE(exists("beta.txt"));
    EXPECT_FALSE(dialog()) << "closed on success";
    EXPECT_EQ(window->state().TotalFiles, 4);
    EXPECT_EQ(rs.count(), 4);
    EXPECT_EQ(totalLabel().trimmed(), QStringLiteral("4"));
    for (int i = 0; i < rs.count(); ++i)
        EXPECT_FALSE(rs.textAt(i, 0).startsWith(QStringLiteral("BETA")));

    // A wildcard naming other files: their records go, the current row's stays current.
    options()->chkYesToAll->setChecked(true);
    rs.setPosition(3);
    rightClick();
    dialog()->txtSource->setText(drive.path() + QStringLiteral("/G*"));
    EXPECT_TRUE(click(3));
    EXPECT_FALSE(exists("gala.txt") || exists("gamma.txt"));
    ASSERT_EQ(rs.count(), 2);
    EXPECT_EQ(window->state().TotalFiles, 2);
    EXPECT_EQ(rs.value(0).trimmed(), QStringLiteral("ZETA.TXT"));
    EXPECT_EQ(rs.textAt(0, 0).trimmed(), QStringLiteral("ALPHA.TXT"));

    // A delete that took nothing the catalogue holds removes no record.
    write("new.txt", "n");
    rightClick();
    dialog()->txtSource->setText(drive.path() + QStringLiteral("/NEW.TXT"));
    EXPECT_TRUE(click(3));
    EXPECT_FALSE(exists("new.txt"));
    EXPECT_EQ(rs.count(), 2);
    EXPECT_EQ(totalLabel().trimmed(), QStringLiteral("2"));

    // The last files: the count's label becomes empty.
    for (int left = 2; left > 0; --left) {
        rs.setPosition(0);
        rightClick();
        EXPECT_TRUE(click(3));
    }
    EXPECT_EQ(window->state().TotalFiles, 0);
    EXPECT_EQ(totalLabel(), QString());
    EXPECT_TRUE(QDir(drive.path()).isEmpty());
}

TEST_F(FileCommandsTest, ARightClickWorksOnTheRowUnderThePointerInEitherPane)
{
    display();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    options()->chkYesToAll->setChecked(true);
    // Sorted by long name: ALPHA, BETA, GAMMA. Each pass points at the last row while the
    // first is current, and deletes what the dialog names.
    const char *expectGone[] = {"gamma.txt", "beta.txt"};
    for (int pass = 0; pass < 2; ++pass) {
        grid()->dataSource()->setPosition(0);
        GridPane *pane = grid()->pane(pass);
        const int last = grid()->dataSource()->count() - 1;
        const QRect cell = pane->visualRect(grid()->model()->index(last, pass == 0 ? 0 : 2));
        ASSERT_TRUE(cell.isValid());
        QTest::mousePress(pane->viewport(), Qt::RightButton, {}, cell.center());
        QTest::mouseRelease(pane->viewport(), Qt::RightButton, {}, cell.center());
        ASSERT_TRUE(dialog());
        EXPECT_TRUE(dialog()->txtSource->text().contains(QString::fromLatin1(expectGone[pass]).toUpper()));
        EXPECT_TRUE(click(3));
        EXPECT_FALSE(exists(expectGone[pass]));
        EXPECT_TRUE(exists("alpha.txt")) << "the row that was current is left alone";
        EXPECT_EQ(window->state().catalogue->textAt(0, 0).trimmed(), QStringLiteral("ALPHA.TXT"));
    }
    EXPECT_EQ(window->state().TotalFiles, 1);
}

TEST_F(FileCommandsTest, TheKeyboardReachesTheDialogAndThePropertiesOfTheCurrentRow)
{
    display();
    GridPane *pane = grid()->pane(1);
    grid()->dataSource()->setPosition(2);
    QTest::keyClick(pane, Qt::Key_Menu);
    ASSERT_TRUE(dialog());
    EXPECT_TRUE(dialog()->txtSource->text().contains(QStringLiteral("GAMMA.TXT")));
    dialog()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    grid()->dataSource()->setPosition(1);
    QTest::keyClick(grid()->pane(0), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(dialog());
    EXPECT_TRUE(dialog()->txtSource->text().contains(QStringLiteral("BETA.TXT")));
    QTest::keyClick(pane, Qt::Key_Return);
    ASSERT_EQ(propertiesShown.size(), 1) << "Enter opens the row as a double click does";
    EXPECT_TRUE(propertiesShown.front().trimmed().endsWith(QStringLiteral("/BETA.TXT")));
}

TEST_F(FileCommandsTest, ADeleteEndingWhileASaveReadsTheCatalogueWaitsForIt)
{
    display();
    options()->chkYesToAll->setChecked(true);
    rightClick(); // ALPHA.TXT
    window->state().catalogueBeingRead = true;
    EXPECT_TRUE(click(3));
    EXPECT_FALSE(exists("alpha.txt"));
    QTest::qWait(200);
    EXPECT_EQ(window->state().catalogue->count(), 3) << "changed under the save's feet";
    window->state().catalogueBeingRead = false;
    QTRY_COMPARE(window->state().catalogue->count(), 2);
    EXPECT_EQ(window->state().TotalFiles, 2);
}

TEST_F(FileCommandsTest, AFailedOperationKeepsTheDialogAndACopyWithRenameLeavesTheCatalogueAlone)
{
    display();
    rightClick();
    const QString source = dialog()->txtSource->text();
    dialog()->txtSource->setText(drive.path() + QStringLiteral("/no such file"));
    dialog()->txtDestination->setText(QStringLiteral("x"));
    EXPECT_FALSE(click(2));
    ASSERT_TRUE(dialog());
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(dialog()->txtDestination->text(), QStringLiteral("x"));
    EXPECT_EQ(prompts.errors.size(), 1);

    options()->chkRename->setChecked(true);
    options()->chkSilent->setChecked(true);
    dialog()->txtSource->setText(source);
    dialog()->txtDestination->setText(drive.path());
    EXPECT_TRUE(click(0));
    EXPECT_TRUE(exists("Copy #1 of alpha.txt"));
    EXPECT_EQ(window->state().TotalFiles, 3);
    EXPECT_TRUE(prompts.asked.isEmpty());
}
