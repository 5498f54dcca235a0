// Guards the file-operation engine against data loss on real files: wrong items resolved,
// silent overwrites or deletes, links followed out of a folder, half files after a failure
// or Cancel, and moves that lose the source before the copy is safe.
#include "core/platform/fileopfixture.h"

#include <sys/stat.h>

using namespace fileop;

// As the catalogue holds it, upper case and padded, a path names the one file it matches
// without case, else the exact name among several, a name with wildcard characters
// literally, and else nothing.
TEST_F(FileOps, ACataloguePathNamesOnlyTheFileItMatches)
{
    write("Photos/Holiday Photo.jpeg", "sun");
    write("dir/Report.txt", "a");
    write("dir/REPORT.TXT", "b");
    write("dir/report.txt", "c");
    write("d/what?.txt", "literal");
    write("d/whatX.txt", "other");
    EXPECT_TRUE(run(Function::Copy, "PHOTOS/HOLIDAY PHOTO.JPEG       ", "out.jpeg").succeeded()) << firstError();
    EXPECT_EQ(read("out.jpeg"), "sun");
    EXPECT_TRUE(run(Function::Copy, "dir/REPORT.TXT", "exact.txt").succeeded());
    EXPECT_EQ(read("exact.txt"), "b");
    EXPECT_FALSE(run(Function::Delete, "dir/RePoRt.TxT", {}, NoConfirmation).succeeded());
    EXPECT_EQ(names("dir").size(), 3);
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(run(Function::Delete, "d/what?.txt", {}, NoConfirmation).succeeded());
    EXPECT_EQ(names("d"), QStringList{"whatX.txt"});
}

TEST_F(FileOps, VanishedSourceFailsWithAMessageAndTouchesNothing)
{
    write("dst/keep.txt", "k");
    for (Function f : {Function::Copy, Function::Move, Function::Rename, Function::Delete}) {
        ui.errors.clear();
        const Result r = run(f, "gone.txt", "dst/keep.txt", NoConfirmation);
        EXPECT_FALSE(r.succeeded());
        EXPECT_EQ(r.code, ENOENT);
        EXPECT_EQ(ui.errors.size(), 1u);
        EXPECT_EQ(read("dst/keep.txt"), "k");
    }
}

TEST_F(FileOps, ReplacingAFileIsConfirmedAndEachAnswerIsHonoured)
{
    struct Case {
        Answer answer;
        bool replaced, succeeded, aborted;
    };
    const Case cases[] = {
        {Answer::Yes, true, true, false},
        {Answer::YesToAll, true, true, false},
        {Answer::No, false, false, true},
        {Answer::Cancel, false, false, true},
    };
    for (const Case &c : cases) {
        write("src.txt", "new");
        write("dst.txt", "old");
        QFile::setPermissions(p("dst.txt"), QFileDevice::ReadOwner);
        ui.answers = {c.answer};
        ui.asked.clear();
        const Result r = run(Function::Copy, "src.txt", "dst.txt");
        ASSERT_EQ(ui.asked.size(), 1u);
        EXPECT_EQ(ui.asked[0].question, Question::ReplaceFile);
        EXPECT_TRUE(ui.asked[0].readOnly);
        EXPECT_EQ(read("dst.txt"), c.replaced ? "new" : "old");
        EXPECT_EQ(r.succeeded(), c.succeeded);
        EXPECT_EQ(r.aborted, c.aborted);
        EXPECT_EQ(names("").filter(kTempPrefix).size(), 0);
        QFile::remove(p("dst.txt"));
    }
}

TEST_F(FileOps, YesToAllCoversTheRestOfTheOperation)
{
    for (const char *n : {"a.txt", "b.txt", "c.txt"}) {
        write(QString("src/") + n, "new");
        write(QString("dst/") + n, "old");
    }
    ui.answers = {Answer::No, Answer::YesToAll};
    const Result r = run(Function::Copy, "src/*.txt", "dst");
    EXPECT_EQ(ui.asked.size(), 2u);
    EXPECT_EQ(read("dst/a.txt"), "old");
    EXPECT_EQ(read("dst/b.txt"), "new");
    EXPECT_EQ(read("dst/c.txt"), "new");
    EXPECT_TRUE(r.aborted) << "one file was left out";
}

TEST_F(FileOps, CopyOntoItselfOrAFolderIntoItselfFailsUnlessRenamedToACopyNumber)
{
    write("f.txt", "x");
    write("tree/f", "f");
    EXPECT_FALSE(run(Function::Copy, "f.txt", "f.txt", NoConfirmation).succeeded());
    EXPECT_FALSE(run(Function::Copy, "tree", "tree/inner", NoConfirmation).succeeded());
    EXPECT_EQ(read("f.txt"), "x");
    EXPECT_EQ(names("tree"), QStringList{"f"});

    write("src/f.txt", "1");
    write("dst/f.txt", "0");
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(run(Function::Copy, "src/f.txt", "dst", RenameOnCollision).succeeded());
    EXPECT_TRUE(run(Function::Copy, "dst/f.txt", "dst", RenameOnCollision).succeeded());
    EXPECT_EQ(names("dst"), (QStringList{"Copy #1 of f.txt", "Copy #2 of f.txt", "Copy #3 of f.txt", "f.txt"}));
    EXPECT_EQ(read("dst/f.txt"), "0");
    EXPECT_EQ(read("dst/Copy #2 of f.txt"), "1");
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(FileOps, WildcardsFilesOnlyAndTheDestinationFolderAsked)
{
    write("src/a.txt", "a");
    write("src/b.TXT", "b");
    write("src/c.doc", "c");
    write("src/sub.txt/inner", "i");
    ui.answers = {Answer::No}; // not creating the destination folder does nothing
    EXPECT_TRUE(run(Function::Copy, "src/*", "new/deeper").aborted);
    EXPECT_FALSE(exists("new"));
    ui.answers = {Answer::Yes};
    ui.asked.clear();
    EXPECT_TRUE(run(Function::Copy, "src/*.txt", "out1").succeeded());
    EXPECT_EQ(ui.asked.front().question, Question::CreateFolder);
    EXPECT_EQ(names("out1"), (QStringList{"a.txt", "b.TXT", "sub.txt"}));
    EXPECT_EQ(read("out1/sub.txt/inner"), "i");

    EXPECT_TRUE(run(Function::Copy, "src/*.*", "out2", FilesOnly | NoConfirmMkdir).succeeded());
    EXPECT_EQ(names("out2"), (QStringList{"a.txt", "b.TXT", "c.doc"}));

    EXPECT_TRUE(run(Function::Delete, "src/*.txt", {}, FilesOnly | NoConfirmation).succeeded());
    EXPECT_EQ(names("src"), (QStringList{"c.doc", "sub.txt"}));
}

// A link is copied, moved and deleted as a link, never what it points at, inside a
// folder or named itself.
TEST_F(FileOps, FoldersCopyRecursivelyWithModesTimesAndLinksAsLinks)
{
    write("outside/precious", "keep me");
    write("tree/a/b/file", "data");
    ASSERT_EQ(::symlink(c("outside").constData(), c("tree/a/toOutside").constData()), 0);
    QDir().mkpath(p("work"));
    ASSERT_EQ(::symlink(c("outside").constData(), c("work/link").constData()), 0);
    ASSERT_EQ(::chmod(c("tree/a/b/file").constData(), 0640), 0);
    const struct timespec when[2] = {{1000000000, 0}, {1000000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, c("tree/a/b/file").constData(), when, 0), 0);

    EXPECT_TRUE(run(Function::Copy, "tree", "copy").succeeded());
    EXPECT_EQ(read("copy/a/b/file"), "data");
    EXPECT_EQ(QFileInfo(p("copy/a/toOutside")).symLinkTarget(), p("outside"));
    struct stat st;
    ASSERT_EQ(::stat(c("copy/a/b/file").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);

    EXPECT_TRUE(run(Function::Copy, "work/link", "work/link2", NoConfirmation).succeeded());
    EXPECT_TRUE(QFileInfo(p("work/link2")).isSymLink());
    EXPECT_TRUE(run(Function::Move, "work/link2", "moved", NoConfirmation).succeeded());
    EXPECT_TRUE(QFileInfo(p("moved")).isSymLink());

    ui.answers = {Answer::Yes};
    EXPECT_TRUE(run(Function::Delete, "copy", {}).succeeded());
    EXPECT_EQ(ui.asked.front().question, Question::DeleteFolder);
    EXPECT_FALSE(exists("copy"));
    EXPECT_TRUE(run(Function::Delete, "work/*", {}, NoConfirmation).succeeded());
    EXPECT_TRUE(run(Function::Delete, "moved", {}, NoConfirmation).succeeded());
    EXPECT_TRUE(names("work").isEmpty());
    EXPECT_EQ(names("outside"), QStringList{"precious"});
    EXPECT_EQ(read("outside/precious"), "keep me");
}

TEST_F(FileOps, DeleteIsConfirmedPerItem)
{
    write("d/a", "a");
    write("d/b", "b");
    write("d/c", "c");
    ui.answers = {Answer::Yes, Answer::No, Answer::Cancel};
    const Result r = run(Function::Delete, "d/*", {});
    EXPECT_EQ(names("d"), (QStringList{"b", "c"}));
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.code, ECANCELED);
}

TEST_F(FileOps, MoveMergesFoldersAndKeepsWhatTheUserKept)
{
    write("src/same", "new");
    write("src/other", "o");
    write("dst/src/same", "old");
    ui.answers = {Answer::Yes, Answer::No}; // merge: yes; replace "same": no
    const Result r = run(Function::Move, "src", "dst");
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(read("dst/src/other"), "o");
    EXPECT_EQ(read("dst/src/same"), "old");
    EXPECT_EQ(read("src/same"), "new") << "the kept file stays at its source";
}

TEST_F(FileOps, RenameChangesOnlyTheNameAndNeverReplaces)
{
    write("e/folder/f", "f");
    EXPECT_TRUE(run(Function::Move, "e/folder", "e/FOLDER").succeeded()) << "a move that changes only case renames";
    EXPECT_EQ(names("e"), QStringList{"FOLDER"});

    write("d/name.txt", "n");
    write("d/taken.txt", "t");
    const auto rename = [this](const QString &from, const char *to, std::uint16_t flags) {
        return perform(Function::Rename, s(from), to, flags, ui);
    };
    // Case-only difference, from the padded catalogue form.
    EXPECT_TRUE(rename("d/NAME.TXT   ", "Name.TXT", 0).succeeded());
    EXPECT_EQ(names("d"), (QStringList{"Name.TXT", "taken.txt"}));
    EXPECT_FALSE(rename("d/Name.TXT", "TAKEN.TXT", NoConfirmation).succeeded());
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(read("d/taken.txt"), "t");
    EXPECT_TRUE(rename("d/Name.TXT", "taken.txt", RenameOnCollision).succeeded());
    EXPECT_EQ(names("d"), (QStringList{"Copy #1 of taken.txt", "taken.txt"}));
    EXPECT_FALSE(rename("d/*.txt", "x", NoConfirmation).succeeded());
    EXPECT_EQ(names("d").size(), 2);
}

TEST_F(FileOps, CancelMidCopyLeavesNoPartialFile)
{
    write("big", QByteArray(32 << 20, 'x'));
    write("dst/existing", QByteArray("old"));
    ui.cancelAfterBytes = 1;
    for (const QString &to : {QString("dst/big"), QString("dst/existing")}) {
        ui.cancelNow = false;
        const Result r = run(Function::Copy, "big", to, NoConfirmation);
        EXPECT_TRUE(r.aborted);
        EXPECT_EQ(r.code, ECANCELED);
        EXPECT_EQ(names("dst"), QStringList{"existing"}) << "no half file, no temporary file";
        EXPECT_EQ(read("dst/existing"), "old");
    }
    // A folder copy stopped part way leaves no folder.
    write("tree/a", "a");
    write("tree/b", QByteArray(32 << 20, 'y'));
    ui.cancelNow = false;
    ui.cancelAfterBytes = 1 << 20;
    EXPECT_TRUE(run(Function::Copy, "tree", "dst/tree").aborted);
    EXPECT_EQ(names("dst"), QStringList{"existing"});
}
