// Guards trv find and trv export on a library of two catalogues and a damaged file: what each
// kind of pattern and filter finds, accents and case aside (NFC and NFD alike), the damaged
// file named and skipped, the exit statuses, volumes online and offline, and JSON and CSV
// that Python's json and csv modules read back to the exact bytes of every name; a disk
// catalogued and then unmounted is offline and still searched.
#include "cli/trvrun.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sys/mount.h>

using namespace Qt::StringLiterals;

namespace {

class FindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        make("one/R\xc3\xa9sum\xc3\xa9.txt", 10);     // NFC
        make("one/Re\xcc\x81sume\xcc\x81.doc", 2000); // NFD
        make("one/sub/IMG_0001.JPG", 5);
        make("two/img_0001.jpg", 5);
        make("two/bad\xff.txt", 1);
        make("two/line\nbreak.txt", 1);
        save("one");
        save("two");
        QFile damaged(library.filePath(u"zz-damaged.trv"_s));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("SQLite format 3");
    }
    // By its bytes: a name that is not UTF-8 must not go through QString.
    void make(const QByteArray &relative, int bytes)
    {
        const QByteArray path = QFile::encodeName(tree.path()) + '/' + relative;
        QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        std::ofstream(path.constData()) << std::string(std::size_t(bytes), 'x');
    }
    void save(const char *folder)
    {
        const QString name = QString::fromLatin1(folder);
        ASSERT_EQ(trv({u"save"_s, u"-o"_s, library.filePath(name + u".trv"_s), tree.filePath(name)}).code, 0);
    }
    // The names of the hits, and the exit status.
    std::pair<std::multiset<QByteArray>, int> find(QStringList args)
    {
        args.prepend(u"find"_s);
        args.append(library.path());
        const TrvRun r = trv(args);
        if (!args.contains(u"--limit"_s)) {
            EXPECT_TRUE(r.err.contains("zz-damaged.trv")) << "the damaged file is named: " << r.err.toStdString();
        }
        std::multiset<QByteArray> names;
        for (const QByteArray &line : r.out.split('\n'))
            if (!line.isEmpty())
                names.insert(line.split('\t').at(2).split('/').last());
        return {names, r.code};
    }
    // QTemporaryDir cannot remove a name that is not UTF-8.
    void TearDown() override { (void)std::system(("rm -rf '" + tree.path().toStdString() + "'").c_str()); }
    QTemporaryDir tree, library;
};

using Names = std::multiset<QByteArray>;

} // namespace

TEST_F(FindTest, PatternsFiltersCaseAndAccents)
{
    const QByteArray nfc = "R\xc3\xa9sum\xc3\xa9.txt", nfd = "Re\xcc\x81sume\xcc\x81.doc";
    EXPECT_EQ(find({u"resume"_s}), std::pair(Names{nfc, nfd}, 0)) << "accents and case aside";
    EXPECT_EQ(find({u"--case"_s, QString::fromUtf8("R\xc3\xa9sum")}).first, (Names{nfc, nfd}));
    EXPECT_EQ(find({u"--case"_s, u"rESUM"_s}).first, Names{});
    EXPECT_EQ(find({u"img_0001.jpg"_s}).first, (Names{"IMG_0001.JPG", "img_0001.jpg"}));
    EXPECT_EQ(find({u"*.doc"_s}).first, Names{nfd}) << "a shell pattern matches the whole name";
    EXPECT_EQ(find({u"res"_s}).first, (Names{nfc, nfd}));
    EXPECT_EQ(find({u"--regex"_s, u"^r.sum\\w\\.t"_s}).first, Names{nfc});
    EXPECT_EQ(find({u"--path"_s, u"sub/img"_s}).first, Names{"IMG_0001.JPG"});
    EXPECT_EQ(find({u"--size"_s, u"+1k"_s, u"e"_s}).first, Names{nfd});
    EXPECT_EQ(find({u"--size"_s, u"2..10"_s, u"*"_s}).first, (Names{nfc, "IMG_0001.JPG", "img_0001.jpg"}));
    EXPECT_EQ(find({u"--ext"_s, u"TXT"_s, u"--size"_s, u"-1"_s, u"*"_s}).first,
              (Names{"bad\xff.txt", "line\\nbreak.txt"}));
    EXPECT_EQ(find({u"--modified"_s, u"..1999-12-31"_s, u"*"_s}).first, Names{});
    EXPECT_EQ(find({u"--limit"_s, u"1"_s, u"img"_s}).first.size(), 1u);
    EXPECT_EQ(find({u"nothing like it"_s}), std::pair(Names{}, 2)) << "none found, a file skipped";
    EXPECT_EQ(trv({u"find"_s, u"nothing"_s, library.filePath(u"one.trv"_s)}).code, 1);
    EXPECT_EQ(trv({u"find"_s, u"--regex"_s, u"("_s, library.path()}).code, 2);
}

TEST_F(FindTest, VolumesAreOnlineOrOfflineAsTheirFileSystemsAreMounted)
{
    // A volume whose UUID no file system mounted now has.
    sql(library.filePath(u"two.trv"_s), "UPDATE volumes SET uuid = 'not-mounted-anywhere', label = 'Drawer'");
    const TrvRun r = trv({u"find"_s, u"img_0001"_s, library.path()});
    ASSERT_EQ(r.code, 0);
    const QList<QByteArray> lines = r.out.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("\tonline\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Drawer\toffline\t")) << lines[1].toStdString();
    const TrvRun volumes = trv({u"volumes"_s, library.path()});
    EXPECT_TRUE(volumes.out.contains("\toffline\t")) << volumes.out.toStdString();
    EXPECT_TRUE(volumes.out.contains("\tonline\t")) << volumes.out.toStdString();
}

TEST_F(FindTest, ExportAndFindGiveJsonAndCsvThatReadBackToTheExactNames)
{
    // Every name, its escaped form undone, must be a name of the tree, and all of them there.
    const char *const check = R"py(
import csv, json, os, sys
def exact(r):
    v = r["folder"] + r["name"]
    if r["escaped"] in (True, "true"):
        v = v.encode("utf-8").decode("unicode_escape").encode("latin-1")
    else:
        v = v.encode("utf-8")
    return v
rows = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8")] if sys.argv[2] == "json" \
    else list(csv.DictReader(open(sys.argv[1], encoding="utf-8", newline="")))
found = sorted(exact(r) for r in rows)
tree = sorted(os.path.join(d, f) + b"" for d, _, fs in os.walk(os.fsencode(sys.argv[3])) for f in fs)
print(found == tree, len(rows))
)py";
    for (const char *form : {"json", "csv"}) {
        const TrvRun r = trv({u"export"_s, u"--"_s + QLatin1String(form), library.filePath(u"one.trv"_s),
                              library.filePath(u"two.trv"_s)});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString out = library.filePath(u"out."_s + QLatin1String(form));
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(r.out);
        f.close();
        QProcess python;
        python.start(u"python3"_s, {u"-c"_s, QString::fromLatin1(check), out, QLatin1String(form), tree.path()});
        ASSERT_TRUE(python.waitForFinished(30000));
        EXPECT_EQ(python.readAllStandardOutput().trimmed(), "True 6")
            << form << python.readAllStandardError().toStdString();
    }
}

TEST_F(FindTest, TheIndexBesideTheCataloguesChangesNoAnswer)
{
    const QList<QStringList> queries{{u"img"_s},
                                     {u"--case"_s, u"IMG"_s},
                                     {u"*.jpg"_s},
                                     {u"--regex"_s, u"^r.sum"_s},
                                     {u"--ext"_s, u"txt"_s, u"e"_s},
                                     {u"--json"_s, u"resume"_s},
                                     {u"no such name"_s}};
    const QString index = library.filePath(u".one.trv.index"_s);
    auto answers = [&](bool withoutIndex) {
        QList<TrvRun> out;
        for (QStringList q : queries) {
            if (withoutIndex)
                QFile::remove(index), QFile::remove(library.filePath(u".two.trv.index"_s));
            q.prepend(u"find"_s);
            q.append(library.path());
            out.append(trv(q));
        }
        return out;
    };
    const QList<TrvRun> whole = answers(true), indexed = answers(false);
    ASSERT_TRUE(QFile::exists(index)) << "a search leaves an index";
    for (qsizetype i = 0; i < queries.size(); ++i) {
        EXPECT_EQ(indexed[i].out, whole[i].out) << queries[i].join(' ').toStdString();
        EXPECT_EQ(indexed[i].code, whole[i].code) << queries[i].join(' ').toStdString();
    }

    // A damaged index is passed over and made again.
    QFile damaged(index);
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    damaged.seek(60);
    damaged.write("\xff\xff\xff\xff\xff\xff\xff\xff");
    damaged.close();
    EXPECT_EQ(trv({u"find"_s, u"img"_s, library.path()}).out, whole[0].out);

    // A catalogue saved again, with a file more, is searched as it is now.
    make("one/sub/img_0002.jpg", 3);
    save("one");
    EXPECT_EQ(find({u"img_000"_s}).first, (Names{"IMG_0001.JPG", "img_0001.jpg", "img_0002.jpg"}));
}

TEST(FindOnDisksTest, ADiskUnpluggedIsOfflineAndItsFilesAreStillFound)
{
    QTemporaryDir root, library;
    std::vector<std::string> mounted;
    for (const char *disk : {"stick", "backup"}) {
        const std::string at = root.filePath(QLatin1String(disk)).toStdString();
        QDir().mkpath(QString::fromStdString(at));
        if (::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") != 0)
            GTEST_SKIP() << "this machine refuses to mount a tmpfs";
        mounted.push_back(at);
        touch(QByteArray::fromStdString(at + "/only-on-" + disk + ".txt"));
        ASSERT_EQ(
            trv({u"save"_s, u"-o"_s, library.filePath(QLatin1String(disk) + u".trv"_s), QString::fromStdString(at)})
                .code,
            0);
    }
    ASSERT_EQ(::umount(mounted[1].c_str()), 0);
    const TrvRun r = trv({u"find"_s, u"only-on"_s, library.path()});
    ::umount(mounted[0].c_str());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QList<QByteArray> lines = r.out.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    // The library lists backup.trv before stick.trv.
    EXPECT_TRUE(lines[0].contains("\toffline\t") && lines[0].contains("/backup/only-on-backup.txt\t"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("\tonline\t") && lines[1].contains("/stick/only-on-stick.txt\t"))
        << lines[1].toStdString();
}
