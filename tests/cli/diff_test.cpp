// Guards trv diff on hand-made pairs of catalogues: files added, removed, grown and touched,
// a rename as a removal and an addition, names that are not UTF-8 or hold a line break kept
// apart and escaped, a path held twice, the summary and exit statuses, JSON, and damaged or
// older files.
#include "cli/trvrun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

class DiffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        write("a/keep", "1");
        write("a/grow", "22");
        write("a/touch", "333");
        write("a/old name", "4444");
        write("b/gone", "55555");
        write("b/bad\xff", "6");
        write("b/line\nbreak", "7");
        save("old.trv");
    }
    void TearDown() override { (void)std::system(("rm -rf '" + tree.path().toStdString() + "'").c_str()); }
    QByteArray path(const QByteArray &relative) const { return QFile::encodeName(tree.path()) + '/' + relative; }
    void write(const QByteArray &relative, const QByteArray &content)
    {
        const QByteArray p = path(relative);
        QDir().mkpath(QFile::decodeName(p.left(p.lastIndexOf('/'))));
        std::ofstream(p.constData(), std::ios::binary) << content.toStdString();
    }
    void save(const char *name)
    {
        ASSERT_EQ(trv({u"save"_s, u"-o"_s, library.filePath(QLatin1String(name)), tree.path()}).code, 0);
    }
    TrvRun diff(const char *oldName, const char *newName, bool json = false)
    {
        QStringList args{u"diff"_s, library.filePath(QLatin1String(oldName)), library.filePath(QLatin1String(newName))};
        if (json)
            args.insert(1, u"--json"_s);
        return trv(args);
    }
    // The change and the path below the tree of each line but the summary.
    QList<QByteArray> changes(const TrvRun &r) const
    {
        QList<QByteArray> out;
        const QByteArray prefix = QFile::encodeName(tree.path()) + '/';
        for (const QByteArray &line : r.out.split('\n')) {
            const QList<QByteArray> values = line.split('\t');
            if (values.size() >= 2)
                out.append(values[0] + ' ' + values[1].mid(prefix.size()));
        }
        return out;
    }
    QTemporaryDir tree, library;
};

} // namespace

TEST_F(DiffTest, AddedRemovedAndChangedRecordsByPath)
{
    const TrvRun same = diff("old.trv", "old.trv");
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "0 added, 0 removed, 0 changed; 0 bytes added, 0 bytes removed\n");

    write("a/grow", "2222222");
    struct timespec later[2] = {{0, UTIME_OMIT}, {2'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("a/touch").constData(), later, 0), 0);
    ASSERT_EQ(::rename(path("a/old name").constData(), path("a/new name").constData()), 0);
    ASSERT_EQ(::unlink(path("b/gone").constData()), 0);
    write("b/new", "88");
    save("new.trv");
    const TrvRun r = diff("old.trv", "new.trv");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(changes(r), (QList<QByteArray>{"changed a/grow", "added a/new name", "removed a/old name",
                                             "changed a/touch", "removed b/gone", "added b/new"}))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("2 added, 2 removed, 2 changed; 6 bytes added, 9 bytes removed\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("changed\t" + path("a/grow") + "\t2\t")) << "the old size, then the new";

    const QList<QByteArray> lines = diff("old.trv", "new.trv", true).out.split('\n');
    const QJsonObject grow = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(grow.value(u"change"_s).toString(), u"changed"_s);
    EXPECT_EQ(grow.value(u"old_size"_s).toInt(), 2);
    EXPECT_EQ(grow.value(u"size"_s).toInt(), 7);
    EXPECT_EQ(QJsonDocument::fromJson(lines[6]).object().value(u"changed"_s).toInt(), 2);
}

TEST_F(DiffTest, HostileNamesAreKeptApartAndEscaped)
{
    ASSERT_EQ(::unlink(path("b/bad\xff").constData()), 0);
    ASSERT_EQ(::unlink(path("b/line\nbreak").constData()), 0);
    write("b/bad\xfe", "6");
    write("b/line break", "7");
    save("new.trv");
    const TrvRun r = diff("old.trv", "new.trv");
    EXPECT_EQ(r.code, 1);
    // In the order of the paths' bytes.
    EXPECT_EQ(changes(r), (QList<QByteArray>{"added b/bad\xfe", "removed b/bad\xff", "removed b/line\\nbreak",
                                             "added b/line break"}))
        << r.out.toStdString();
    const TrvRun json = diff("old.trv", "new.trv", true);
    EXPECT_TRUE(json.out.contains("\"path\":\"" + QFile::encodeName(tree.path()) + "/b/bad\\\\xFE\",\"escaped\":true"))
        << json.out.toStdString();
}

TEST_F(DiffTest, APathHeldTwiceIsMatchedOnceOnEachSide)
{
    // A folder given twice is walked twice, so the file holds each path twice.
    ASSERT_EQ(trv({u"save"_s, u"-o"_s, library.filePath(u"twice.trv"_s), tree.path(), tree.path()}).code, 0);
    const TrvRun same = diff("twice.trv", "twice.trv");
    EXPECT_EQ(same.code, 0) << same.out.toStdString();
    const TrvRun r = diff("twice.trv", "old.trv");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(changes(r).count("removed a/keep"), 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("0 added, 7 removed, 0 changed; 0 bytes added, 17 bytes removed\n"))
        << r.out.toStdString();
}

TEST_F(DiffTest, ADamagedFileIsAnErrorAndAnOlderOneIsRead)
{
    QFile damaged(library.filePath(u"damaged.trv"_s));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("SQLite format 3");
    damaged.close();
    const TrvRun r = diff("old.trv", "damaged.trv");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("damaged.trv")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    const QString first = QStringLiteral(TARVOLO_TEST_DATA "/first-version.trv");
    EXPECT_EQ(trv({u"diff"_s, first, first}).code, 0);
    // Its sizes add up past 64 bits.
    const TrvRun against = trv({u"diff"_s, first, library.filePath(u"old.trv"_s)});
    EXPECT_TRUE(
        against.out.endsWith("7 added, 5 removed, 0 changed; 17 bytes added, 9223372047149743107 bytes removed\n"))
        << against.out.toStdString();
}
