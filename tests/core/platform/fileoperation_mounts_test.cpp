// Guards against a delete reaching into a mount, of another file system or a bind of its own, a
// move reaching into a bind mount, a move across file systems that loses modes or links or
// removes what changed or appeared during its copy, a read-only target left changed, and
// copies that fill the holes of sparse files.
#include "core/platform/fileopfixture.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace fileop;

TEST_F(FileOpsMounted, DeleteStopsAtAMountBeforeTouchingWhatIsUnderIt)
{
    write("elsewhere/precious", "keep me");
    write("bound/own", "o");
    write("other/own", "o");
    bindAt("elsewhere", "bound/mnt");
    mountAt("other/mnt", false);
    write("other/mnt/foreign", "f");
    for (const QString &tree : {QString("bound"), QString("other")})
        for (const QString &source : {tree, tree + "/mnt"}) {
            ui.errors.clear();
            EXPECT_FALSE(run(Function::Delete, source, {}, NoConfirmation).succeeded()) << source.toStdString();
            EXPECT_EQ(ui.errors.size(), 1u) << source.toStdString();
            EXPECT_EQ(read("elsewhere/precious"), "keep me");
            EXPECT_EQ(read("other/mnt/foreign"), "f");
            EXPECT_TRUE(exists(tree + "/mnt"));
        }
}

TEST_F(FileOpsMounted, MoveAcrossFileSystemsOfATreeHoldingABindMountTouchesNothing)
{
    mountAt("other", false);
    write("elsewhere/precious", "keep me");
    write("tree/own", "o");
    bindAt("elsewhere", "tree/mnt");
    EXPECT_FALSE(run(Function::Move, "tree", "other/tree", NoConfirmation).succeeded());
    EXPECT_EQ(ui.errors.size(), 1u) << firstError();
    EXPECT_EQ(read("elsewhere/precious"), "keep me");
    EXPECT_EQ(read("tree/own"), "o");
    EXPECT_TRUE(names("other").isEmpty()) << "no copy and no temporary";
}

TEST_F(FileOpsMounted, MoveAcrossFileSystemsRemovesOnlyWhatItCopiedUnchanged)
{
    mountAt("other", false, "size=128m");
    // Two folders of one big file each: when the second file's copy is under way, the
    // first folder is done, whichever order the folders are listed in.
    const QByteArray big(9 << 20, 'b');
    write("tree/x/big", big);
    write("tree/y/big", big);
    write("tree/keep/c", "c");
    QString first, second;
    ui.onChunk = [&](const std::string &path, std::int64_t) {
        const QString file = QString::fromStdString(path).mid(tmp.path().size() + 1);
        if (first.isEmpty())
            first = file;
        if (file == first || !second.isEmpty())
            return;
        second = file;
        QFile done(p(first));
        ASSERT_TRUE(done.open(QIODevice::Append));
        done.write("+");
        done.close();
        write(QFileInfo(first).path() + "/new", "appeared");
        write("tree/newdir/inner", "appeared too");
        write("tree/top", "appeared at the top");
    };
    const Result r = run(Function::Move, "tree", "other/tree", NoConfirmation);
    ASSERT_FALSE(second.isEmpty());
    const QString firstDir = QFileInfo(first).path();
    EXPECT_FALSE(r.succeeded());
    EXPECT_FALSE(ui.errors.empty());
    EXPECT_EQ(read(first), big + "+");
    EXPECT_EQ(read(firstDir + "/new"), "appeared");
    EXPECT_EQ(read("tree/newdir/inner"), "appeared too");
    EXPECT_EQ(read("tree/top"), "appeared at the top");
    QStringList left{QFileInfo(firstDir).fileName(), "newdir", "top"};
    left.sort();
    EXPECT_EQ(names("tree"), left) << "what was copied and stayed unchanged is gone";
    EXPECT_EQ(names(firstDir), (QStringList{"big", "new"}));
    EXPECT_EQ(read("other/" + first), big);
    EXPECT_EQ(read("other/" + second), big);
    EXPECT_EQ(read("other/tree/keep/c"), "c");
}

TEST_F(FileOpsMounted, CopiesKeepTheHolesOfSparseFiles)
{
    mountAt("fs", false, "size=64m"); // a filled copy of 1 GiB cannot fit
    constexpr off_t kSize = off_t(1) << 30;
    struct Piece {
        off_t at;
        QByteArray data;
    };
    const Piece pieces[] = {{0, "head"}, {kSize / 2, "middle"}, {kSize - 4, "tail"}};
    {
        QFile f(p("fs/sparse"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (const Piece &piece : pieces)
            ASSERT_TRUE(f.seek(piece.at) && f.write(piece.data) == piece.data.size());
        QFile hole(p("fs/endsInAHole"));
        ASSERT_TRUE(hole.open(QIODevice::WriteOnly) && hole.write("x") == 1 && hole.resize(kSize));
    }
    for (const QString &name : {QString("sparse"), QString("endsInAHole")}) {
        ASSERT_TRUE(run(Function::Copy, "fs/" + name, "fs/copy-" + name, NoConfirmation).succeeded()) << firstError();
        struct stat st;
        ASSERT_EQ(::stat(c("fs/copy-" + name).constData(), &st), 0);
        EXPECT_EQ(st.st_size, kSize);
        EXPECT_LT(std::int64_t(st.st_blocks) * 512, std::int64_t(1) << 20) << name.toStdString();
    }
    QFile copy(p("fs/copy-sparse"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    for (const Piece &piece : pieces) {
        ASSERT_TRUE(copy.seek(piece.at));
        EXPECT_EQ(copy.read(piece.data.size()), piece.data);
    }
    ASSERT_TRUE(copy.seek(kSize / 4));
    EXPECT_EQ(copy.read(4), QByteArray(4, '\0'));
}

TEST_F(FileOpsMounted, MoveAcrossFileSystemsIsAVerifiedCopyThenRemoval)
{
    mountAt("other", false);
    write("tree/sub/f", "content");
    ASSERT_EQ(::symlink("sub/f", c("tree/rel").constData()), 0);
    ASSERT_EQ(::chmod(c("tree/sub/f").constData(), 0600), 0);
    const Result r = run(Function::Move, "tree", "other/tree", NoConfirmation);
    EXPECT_TRUE(r.succeeded()) << firstError();
    EXPECT_FALSE(exists("tree"));
    EXPECT_EQ(read("other/tree/sub/f"), "content");
    EXPECT_EQ(QFileInfo(p("other/tree/rel")).symLinkTarget(), p("other/tree/sub/f"));
    EXPECT_EQ(QFileInfo(p("other/tree/sub/f")).permissions() & 0x7777,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

TEST_F(FileOpsMounted, AReadOnlyTargetFailsAndLeavesEverythingAsItWas)
{
    mountAt("ro", true);
    write("f", "f");
    for (Function f : {Function::Copy, Function::Move}) {
        ui.errors.clear();
        const Result r = run(f, "f", "ro", NoConfirmation);
        EXPECT_FALSE(r.succeeded());
        EXPECT_EQ(r.code, EROFS);
        EXPECT_EQ(ui.errors.size(), 1u);
        EXPECT_EQ(read("f"), "f");
        EXPECT_TRUE(names("ro").isEmpty());
    }
}
