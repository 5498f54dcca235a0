// Guards trv update with a fresh save as its oracle: after files are added, removed, renamed,
// grown and touched and folders are added, removed, renamed, moved and replaced by a link,
// the update's records are the fresh save's, folders unchanged being listed from the file; a
// tree in which nothing changed is told apart from one whose files changed in folders that did
// not, or whose dates the time zone changed; an update killed part way leaves a whole file; a
// file without listings, with damaged ones, or without their sums, is listed anew, one without
// volumes is refused untouched, and a volume not mounted or whose root cannot be told keeps its
// records.
#include "cli/trvrun.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int f = 0; f < 6; ++f)
            for (int i = 0; i < 5; ++i)
                write(QString::asprintf("d%d/sub/file%d", f, i).toStdString(), i + 1);
        write("top.txt", 3);
        save(old);
        // As though the walk had come a while after the tree was made: its folders may then
        // be listed from the file.
        sql(old, "UPDATE volumes SET walk_began = walk_began + 10000");
    }
    std::string at(const std::string &relative) const
    {
        return tree.filePath(QString::fromStdString(relative)).toStdString();
    }
    void write(const std::string &relative, int bytes)
    {
        QDir().mkpath(QFileInfo(QString::fromStdString(at(relative))).path());
        QFile f(QString::fromStdString(at(relative)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Append));
        f.write(QByteArray(bytes, 'x'));
    }
    void save(const QString &file) { ASSERT_EQ(trv({u"save"_s, u"-o"_s, file, tree.path()}).code, 0); }
    QByteArray dump(const QString &file) const
    {
        const TrvRun r = trv({u"dump"_s, file});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return r.out;
    }
    // The update's records against a fresh save's; what the update said.
    TrvRun expectUpdateIsFreshSave(QStringList extra = {})
    {
        const TrvRun r = trv(QStringList{u"update"_s, old} + extra);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        save(fresh);
        EXPECT_EQ(dump(extra.isEmpty() ? old : extra.last()), dump(fresh));
        return r;
    }
    QTemporaryDir tree, library;
    const QString old = library.filePath(u"old.trv"_s), fresh = library.filePath(u"fresh.trv"_s),
                  updated = library.filePath(u"new.trv"_s);
};

bool saidNothingChanged(const TrvRun &r)
{
    return r.out.startsWith("nothing changed");
}

long long listedFromFile(const TrvRun &r)
{
    long long n = -1;
    std::sscanf(r.out.constData(), "%lld folders listed from the catalogue", &n);
    return n;
}

} // namespace

TEST_F(UpdateTest, AnUpdateIsAFreshSaveAfterEveryKindOfChange)
{
    ASSERT_EQ(::utimensat(AT_FDCWD, at("d2/sub/file3").c_str(), nullptr, 0), 0); // touched
    const TrvRun touched = expectUpdateIsFreshSave({u"-o"_s, updated});
    // Touched within the second it was written, its record may be the same.
    EXPECT_TRUE(touched.out.startsWith("changed in place: ") &&
                touched.out.contains(" files in 1 folders; 13 folders and 31 files"))
        << touched.out.toStdString();

    write("d0/sub/new", 4);                                                           // a file added
    ASSERT_EQ(::unlink(at("d1/sub/file0").c_str()), 0);                               // removed
    ASSERT_EQ(::rename(at("d1/sub/file1").c_str(), at("d1/sub/renamed").c_str()), 0); // renamed
    write("d2/sub/file2", 100);                                                       // grown, its folder unchanged
    ASSERT_EQ(::utimensat(AT_FDCWD, at("d2/sub/file3").c_str(), nullptr, 0), 0);      // touched
    write("d6/sub/file", 1);                                                          // a folder added
    ASSERT_EQ(std::system(("rm -r '" + at("d3") + "'").c_str()), 0);                  // removed
    ASSERT_EQ(::rename(at("d4").c_str(), at("d4 renamed").c_str()), 0);               // renamed
    ASSERT_EQ(::rename(at("d5/sub").c_str(), at("d0/moved").c_str()), 0);             // moved
    ASSERT_EQ(std::system(("rm -r '" + at("d2/sub") + "'; ln -s .. '" + at("d2/sub") + "'").c_str()), 0); // a link
    expectUpdateIsFreshSave({u"-o"_s, updated});
    const TrvRun inPlace = expectUpdateIsFreshSave();
    EXPECT_GT(listedFromFile(inPlace), 0) << inPlace.out.toStdString();
}

// Each change keeps every folder's stamp; the oracle's records must differ from the last ones,
// or the change proved nothing.
TEST_F(UpdateTest, NothingChangedOnlyWhereAWalkWouldMakeTheSameRecords)
{
    ASSERT_EQ(trv({u"hash"_s, old}).code, 0);
    const TrvRun same = expectUpdateIsFreshSave({u"-o"_s, updated});
    EXPECT_TRUE(saidNothingChanged(same)) << same.out.toStdString() << same.err.toStdString();
    EXPECT_EQ(countOf(updated, "SELECT count(*) FROM hashes"), 31) << "the digests are kept";
    EXPECT_EQ(countOf(updated, "SELECT count(*) FROM volumes WHERE walk_ended > 0 AND files = 31"), 1);
    write("d5/sub/new", 2);
    const QString other = library.filePath(u"other.trv"_s);
    const TrvRun changed = trv({u"update"_s, old, u"-o"_s, other});
    EXPECT_FALSE(saidNothingChanged(changed)) << changed.out.toStdString();
    EXPECT_EQ(countOf(other, "SELECT count(*) FROM hashes"), 31) << "the digests are carried into the new file";

    expectUpdateIsFreshSave();
    sql(old, "UPDATE volumes SET walk_began = walk_began + 10000");

    const timespec longAgo{1000000000, 0}, omit{0, UTIME_OMIT};
    const auto setTimes = [&](const char *file, timespec accessed, timespec modified) {
        const timespec times[] = {accessed, modified};
        ASSERT_EQ(::utimensat(AT_FDCWD, at(file).c_str(), times, 0), 0);
    };
    QByteArray last = dump(old);
    const auto expectChangeSeen = [&](const char *what, const char *said) {
        const TrvRun r = expectUpdateIsFreshSave();
        EXPECT_TRUE(r.out.startsWith(said)) << what << ": " << r.out.toStdString();
        const QByteArray now = dump(old);
        EXPECT_NE(now, last) << what << ": the records should have changed";
        last = now;
        sql(old, "UPDATE volumes SET walk_began = walk_began + 10000"); // as in SetUp
    };
    setTimes("d0/sub/file0", omit, longAgo);
    const char *oneInPlace = "changed in place: 1 files in 1 folders;";
    expectChangeSeen("a file's modification time", oneInPlace);
    setTimes("d1/sub/file1", longAgo, omit);
    expectChangeSeen("a file's last access", oneInPlace);
    struct stat before {};
    ASSERT_EQ(::stat(at("d3/sub/file2").c_str(), &before), 0);
    write("d3/sub/file2", 7);
    setTimes("d3/sub/file2", before.st_atim, before.st_mtim);
    expectChangeSeen("a file grown, its times put back", oneInPlace);
    const TrvRun kept = expectUpdateIsFreshSave();
    EXPECT_TRUE(saidNothingChanged(kept)) << "the folders' sums were made new: " << kept.out.toStdString();
    sql(old, "UPDATE files SET size = size + 1 WHERE rowid = 2");
    setTimes("d4/sub/file4", omit, longAgo);
    expectChangeSeen("a file's modification time, a kept row damaged",
                     "13 folders listed from the catalogue, 0 read anew");
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "XYZ-5:30"); // half an hour off every whole-hour zone
    // Every folder's dates moved: too many to write over.
    expectChangeSeen("the time zone", "13 folders listed from the catalogue, 0 read anew");
    const TrvRun again = expectUpdateIsFreshSave();
    EXPECT_TRUE(saidNothingChanged(again)) << again.out.toStdString();
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
}

TEST_F(UpdateTest, AnUpdateKilledPartWayLeavesAWholeFile)
{
    for (int i = 0; i < 3000; ++i)
        write(QString::asprintf("many/%d/%d", i % 30, i).toStdString(), 1);
    save(old);
    const QByteArray before = dump(old);
    write("many/0/more", 1);
    save(fresh);
    const QByteArray after = dump(fresh);
    const auto killAfter = [&](int delay) {
        QProcess p;
        p.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), {u"update"_s, old});
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(delay));
        p.kill();
        p.waitForFinished();
    };
    for (int delay : {5, 40, 120}) {
        killAfter(delay);
        const QByteArray now = dump(old);
        EXPECT_TRUE(now == before || now == after) << "killed after " << delay << " ms";
    }
    // Killed while it finds nothing changed and saves the file again as it is.
    save(old);
    sql(old, "UPDATE volumes SET walk_began = walk_began + 10000");
    for (int delay : {5, 20, 60}) {
        killAfter(delay);
        EXPECT_EQ(dump(old), after) << "killed after " << delay << " ms";
    }
    const TrvRun r = trv({u"update"_s, old});
    EXPECT_TRUE(saidNothingChanged(r)) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(QDir(library.path()).entryList(QDir::Hidden | QDir::Files).filter(u"old"_s).size(), 1)
        << "no temporary is left beside the file";

    // Killed while it writes over the row of a file written in place.
    const timespec times[] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, at("many/0/more").c_str(), times, 0), 0);
    save(fresh);
    const QByteArray retimed = dump(fresh);
    for (int delay : {5, 20, 60}) {
        killAfter(delay);
        const QByteArray now = dump(old);
        EXPECT_TRUE(now == after || now == retimed) << "killed after " << delay << " ms";
    }
    expectUpdateIsFreshSave();
}

TEST_F(UpdateTest, FilesWithoutListingsOrVolumesAndVolumesNotMounted)
{
    // A listing damaged in the file would lose its folder's files: every folder is read instead.
    const QString damagedFile = library.filePath(u"damaged.trv"_s);
    ASSERT_TRUE(QFile::copy(old, damagedFile));
    sql(damagedFile, "UPDATE folder_listings SET entries = x'' WHERE seq = 3");
    const TrvRun damaged = trv({u"update"_s, damagedFile, u"-o"_s, updated});
    EXPECT_TRUE(damaged.err.contains("are damaged")) << damaged.err.toStdString();
    EXPECT_EQ(listedFromFile(damaged), 0) << damaged.out.toStdString();
    save(fresh);
    EXPECT_EQ(dump(updated), dump(fresh));

    // The version before sums kept listings without them: listed from them, never kept whole.
    sql(old, "ALTER TABLE folder_listings DROP COLUMN entries_sum; DROP TABLE folder_listings_sum");
    const TrvRun unsummed = expectUpdateIsFreshSave({u"-o"_s, updated});
    EXPECT_FALSE(saidNothingChanged(unsummed)) << unsummed.out.toStdString();
    EXPECT_EQ(listedFromFile(unsummed), 13) << unsummed.out.toStdString() << unsummed.err.toStdString();

    sql(old, "DROP TABLE folder_listings");
    write("top2.txt", 1);
    const TrvRun r = expectUpdateIsFreshSave({u"-o"_s, updated});
    EXPECT_TRUE(r.err.contains("listed anew")) << r.err.toStdString();

    sql(old, "UPDATE volumes SET uuid = 'not-mounted-anywhere', device_number = '0:0'");
    const QByteArray kept = dump(old);
    const TrvRun offline = trv({u"update"_s, old, u"-o"_s, updated});
    EXPECT_EQ(offline.code, 0) << offline.err.toStdString();
    EXPECT_TRUE(offline.err.contains("is not mounted")) << offline.err.toStdString();
    EXPECT_EQ(dump(updated), kept);

    // A file of the release before exact names: its folders are upper-cased, naming nothing.
    sql(old, "DROP TABLE exact_names; DROP TABLE exact_folders; DROP TABLE exact_sum");
    const QByteArray upper = dump(old);
    const TrvRun unknown = trv({u"update"_s, old, u"-o"_s, updated});
    EXPECT_EQ(unknown.code, 0) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.err.contains("cannot tell where")) << unknown.err.toStdString();
    EXPECT_EQ(dump(updated), upper);

    const QString first = library.filePath(u"first.trv"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(TARVOLO_TEST_DATA "/first-version.trv"), first));
    const QByteArray untouched = dump(first);
    EXPECT_EQ(trv({u"update"_s, first}).code, 2);
    EXPECT_EQ(dump(first), untouched);
}
