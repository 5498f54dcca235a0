// Guards trv dups, hash and verify on a tree with planted duplicates: equal content found
// (sparse files and written zeros alike), files of equal size that differ in a middle or a
// last byte told apart, hard links one file, empty files only when asked; groups by name and
// by size and name; digests kept and reused, standing in for a volume that is not mounted;
// hashing killed and resumed with the catalogue whole, and its digests kept by a save over
// it; damage found by verify.
#include "cli/trvrun.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Group = std::set<QString>; // paths below the tree
using Groups = std::vector<Group>;

class DupsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QByteArray photo = bytes(100'000, 7);
        write("a/photo.jpg", photo);
        write("b/copy.jpg", photo);
        ASSERT_EQ(::link(path("a/photo.jpg").constData(), path("a/link.jpg").constData()), 0);
        QByteArray middle = photo, last = photo;
        middle[50'000] = char(middle[50'000] + 1);
        last[last.size() - 1] = char(last[last.size() - 1] + 1);
        write("c/photo.jpg", middle);
        write("d/last.bin", last);
        write("z/zeros", QByteArray(1 << 20, '\0'));
        for (const char *sparse : {"z/sparse1", "z/sparse2"}) {
            write(sparse, {});
            ASSERT_EQ(::truncate(path(sparse).constData(), 1 << 20), 0);
        }
        write("e/empty1", {});
        write("e/empty2", {});
        write("f/IMG_0001.JPG", bytes(300, 1));
        write("g/IMG_0001.JPG", bytes(400, 2));
        ASSERT_EQ(trv({u"save"_s, u"-o"_s, catalogue, tree.path()}).code, 0);
    }
    static QByteArray bytes(int n, int seed)
    {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i)
            b[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
        return b;
    }
    QByteArray path(const char *relative) const { return QFile::encodeName(tree.filePath(QLatin1String(relative))); }
    void write(const char *relative, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(tree.filePath(QLatin1String(relative))).path());
        QFile f(tree.filePath(QLatin1String(relative)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    // The groups of a --json run, in order, and the run itself.
    Groups groups(QStringList args, TrvRun *run = nullptr, std::vector<bool> *verified = nullptr)
    {
        args.prepend(u"dups"_s);
        args.append({u"--json"_s, catalogue});
        const TrvRun r = trv(args);
        Groups out;
        for (const QByteArray &line : r.out.split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.value(u"files"_s).isArray()) // the summary
                continue;
            Group g;
            for (const QJsonValue f : o.value(u"files"_s).toArray())
                g.insert(f.toObject().value(u"path"_s).toString().mid(tree.path().size() + 1));
            out.push_back(g);
            if (verified)
                verified->push_back(o.value(u"verified"_s).toBool());
        }
        if (run)
            *run = r;
        return out;
    }
    QTemporaryDir tree, library;
    const QString catalogue = library.filePath(u"t.trv"_s);
};

// A hard link is one file with its other name: either may stand for it.
bool photoGroup(const Group &g)
{
    return g == Group{u"a/photo.jpg"_s, u"b/copy.jpg"_s} || g == Group{u"a/link.jpg"_s, u"b/copy.jpg"_s};
}

} // namespace

TEST_F(DupsTest, EqualContentIsFoundAndNothingElse)
{
    TrvRun r;
    const Groups found = groups({u"--by"_s, u"content"_s}, &r);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_EQ(found.size(), 2u) << r.out.toStdString();
    EXPECT_EQ(found[0], (Group{u"z/sparse1"_s, u"z/sparse2"_s, u"z/zeros"_s})) << "most wasted first";
    EXPECT_TRUE(photoGroup(found[1])) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("{\"groups\":2,\"files\":5,\"wasted\":2197152}\n")) << r.out.toStdString();

    const Groups withEmpty = groups({u"--by"_s, u"content"_s, u"--empty"_s});
    ASSERT_EQ(withEmpty.size(), 3u);
    EXPECT_EQ(withEmpty[2], (Group{u"e/empty1"_s, u"e/empty2"_s}));
    EXPECT_EQ(groups({u"--by"_s, u"content"_s, u"--verify"_s}), found);
    EXPECT_EQ(groups({u"--by"_s, u"content"_s, u"--min-size"_s, u"200k"_s}), Groups{found[0]});
}

TEST_F(DupsTest, NamesAndSizesGroupAsTheCataloguesSay)
{
    const Groups byName = groups({});
    EXPECT_EQ(byName.size(), 2u);
    EXPECT_NE(std::find(byName.begin(), byName.end(), Group{u"f/IMG_0001.JPG"_s, u"g/IMG_0001.JPG"_s}), byName.end());
    EXPECT_NE(std::find(byName.begin(), byName.end(), Group{u"a/photo.jpg"_s, u"c/photo.jpg"_s}), byName.end());
    EXPECT_EQ(groups({u"--by"_s, u"size"_s}), (Groups{{u"a/photo.jpg"_s, u"c/photo.jpg"_s}}));
    TrvRun none;
    groups({u"--by"_s, u"size"_s, u"--min-size"_s, u"1G"_s}, &none);
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(trv({u"dups"_s, u"--by"_s, u"colour"_s, catalogue}).code, 2);

    // An older file's hand-made sizes, twice over, waste more bytes than 64 bits hold.
    const QTemporaryDir twice;
    const QString first = QStringLiteral(TARVOLO_TEST_DATA "/first-version.trv");
    ASSERT_TRUE(QFile::copy(first, twice.filePath(u"1.trv"_s)) && QFile::copy(first, twice.filePath(u"2.trv"_s)));
    const TrvRun huge = trv({u"dups"_s, twice.filePath(u"1.trv"_s), twice.filePath(u"2.trv"_s)});
    EXPECT_TRUE(huge.out.endsWith("4 groups, 8 files, 9223372047149743108 bytes wasted\n")) << huge.out.toStdString();
}

TEST_F(DupsTest, KeptDigestsAreReusedAndStandInForAVolumeNotMounted)
{
    const Groups first = groups({u"--by"_s, u"content"_s});
    EXPECT_GT(countOf(catalogue, "SELECT count(*) FROM hashes"), 0) << "the digests taken are kept";
    EXPECT_EQ(trv({u"dump"_s, catalogue}).code, 0) << "and the catalogue is whole";
    EXPECT_EQ(groups({u"--by"_s, u"content"_s}), first);

    sql(catalogue, "UPDATE volumes SET uuid = 'not-mounted-anywhere', device_number = '', mount_point = '/nowhere'");
    std::vector<bool> verified;
    TrvRun r;
    const Groups offline = groups({u"--by"_s, u"content"_s}, &r, &verified);
    EXPECT_EQ(offline, first) << r.err.toStdString();
    EXPECT_EQ(verified, std::vector<bool>(first.size(), false));
}

TEST_F(DupsTest, HashingKilledGoesOnAndVerifyFindsDamage)
{
    for (int i = 0; i < 200; ++i)
        write(QString::asprintf("many/%d", i).toLatin1().constData(), bytes(200'000, i));
    ASSERT_EQ(trv({u"save"_s, u"-o"_s, catalogue, tree.path()}).code, 0);
    QProcess killed;
    killed.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), {u"hash"_s, catalogue});
    ASSERT_TRUE(killed.waitForStarted());
    QThread::msleep(150);
    killed.kill();
    killed.waitForFinished();
    EXPECT_EQ(trv({u"dump"_s, catalogue}).code, 0) << "killed at any point, the file is whole";
    const TrvRun resumed = trv({u"hash"_s, catalogue});
    ASSERT_EQ(resumed.code, 0) << resumed.err.toStdString();
    const long long kept = countOf(catalogue, "SELECT count(*) FROM hashes");
    EXPECT_EQ(kept, 200 + 12) << "every file, a hard link by each of its names";
    EXPECT_TRUE(trv({u"hash"_s, catalogue}).out.startsWith("0 files hashed")) << "nothing left to do";
    // A save over the file keeps the digests of the files it still lists, and only those.
    ASSERT_TRUE(QFile::remove(tree.filePath(u"many/0"_s)));
    ASSERT_EQ(trv({u"save"_s, u"-o"_s, catalogue, tree.path()}).code, 0);
    EXPECT_EQ(countOf(catalogue, "SELECT count(*) FROM hashes"), kept - 1);
    EXPECT_TRUE(trv({u"hash"_s, catalogue}).out.startsWith("0 files hashed"));

    // A byte changed with its time put back is damage; a file touched is an ordinary change.
    struct stat before {};
    ASSERT_EQ(::stat(path("b/copy.jpg").constData(), &before), 0);
    const int fd = ::open(path("b/copy.jpg").constData(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, "!", 1, 1234), 1);
    ::close(fd);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("b/copy.jpg").constData(), times, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, path("d/last.bin").constData(), nullptr, 0), 0);
    const TrvRun v = trv({u"verify"_s, catalogue});
    EXPECT_EQ(v.code, 1);
    EXPECT_EQ(v.out.count("damaged\t"), 1) << v.out.toStdString();
    EXPECT_TRUE(v.out.contains("damaged\t" + path("b/copy.jpg") + "\n")) << v.out.toStdString();
    EXPECT_TRUE(v.out.contains(", 1 changed since they were hashed")) << v.out.toStdString();
}
