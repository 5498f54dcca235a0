// Guards the trv command line: the line format (nine tab-separated values, escapes) and the
// errors for folders that cannot be read; the drive lines and their roots.
#include "catalogue/recordvalues.h"
#include "files/pdftext.h"
#include "platform/text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct TrvRun {
    int code;
    QByteArray out, err;
};

TrvRun trv(const QStringList &args, const QString &workingDirectory = {})
{
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

void touch(const QByteArray &path)
{
    QFile f(QFile::decodeName(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
}

} // namespace

TEST(Trv, PrintsNineValuesPerRecordWithEveryLineBreakingCharacterEscaped)
{
    QTemporaryDir dir;
    const QByteArray at = QFile::encodeName(dir.path()) + '/';
    const std::vector<std::pair<QByteArray, QByteArray>> names{
        {"plain.txt", "PLAIN.TXT                \tPLAIN.TXT     \t"},
        {"tab\there", "TAB\\tHERE"},
        {"back\\slash", "BACK\\\\SLASH"},
        {"new\nline", "NEW\\nLINE"},
        {"carriage\rreturn", "CARRIAGE\\rRETURN"},
        {"bell\x07\x1b\x7f", "BELL\\x07\\x1B\\x7F"},
        {"nel\xc2\x85 ls\xe2\x80\xa8 ps\xe2\x80\xa9", "NEL\\u{85} LS\\u{2028} PS\\u{2029}"},
        {"caf\xc3\xa9 \xe2\x82\xac", "CAF\xc3\x89 \xe2\x82\xac"},
    };
    for (const auto &[name, shown] : names)
        touch(at + name);
    const TrvRun r = trv({QStringLiteral("scan"), dir.path()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QList<QByteArray> lines = r.out.split('\n');
    ASSERT_TRUE(lines.takeLast().isEmpty());
    ASSERT_EQ(lines.size(), qsizetype(names.size()));
    for (const QByteArray &line : lines) {
        const QList<QByteArray> values = line.split('\t');
        ASSERT_EQ(values.size(), 9) << line.toStdString();
        EXPECT_EQ(values[6], "5");
        for (const QByteArray &value : values)
            for (const char c : value)
                EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << line.toStdString();
    }
    for (const auto &[name, shown] : names)
        EXPECT_TRUE(r.out.contains(shown)) << shown.toStdString();
}

TEST(Trv, RelativeAndUnnormalFoldersAreMadeAbsoluteAndNormal)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("x/sub")));
    touch(QFile::encodeName(dir.path()) + "/x/sub/f");
    const std::string expected = values::pathValue(QFile::encodeName(dir.path()).toStdString() + "/x/sub");
    for (const char *arg : {"x", "./x", "x/sub/../../x", "x//", "./x/./"}) {
        const TrvRun r = trv({QStringLiteral("scan"), QString::fromUtf8(arg)}, dir.path());
        ASSERT_EQ(r.code, 0) << arg << r.err.toStdString();
        const QList<QByteArray> values = r.out.split('\t');
        ASSERT_EQ(values.size(), 9) << arg;
        EXPECT_EQ(values[2].toStdString(), expected) << arg;
    }
}

TEST(Trv, MissingOrWrongArgumentsAreErrors)
{
    const TrvRun missing = trv({QStringLiteral("scan"), QStringLiteral("/no/such/folder")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains("cannot read directory '/no/such/folder'")) << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(trv({QStringLiteral("scan")}).code, 2);
    EXPECT_EQ(trv({QStringLiteral("frobnicate")}).code, 2);
}

TEST(Trv, DrivesPrintsEachLineWithItsRootInByteOrder)
{
    const TrvRun r = trv({QStringLiteral("drives")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QList<QByteArray> texts{":  Is A Removable Drive", ":  Is A Hard/Non-Removable Drive",
                                  ":  Is A Remote/Network Drive", ":  Is A CD-ROM Drive", ":  Is A RAM Drive"};
    QList<QByteArray> lines = r.out.split('\n');
    ASSERT_TRUE(lines.takeLast().isEmpty());
    EXPECT_LE(lines.size(), 26);
    QByteArray previous;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> values = line.split('\t');
        ASSERT_EQ(values.size(), 2) << line.toStdString();
        const auto text =
            std::find_if(texts.begin(), texts.end(), [&](const QByteArray &t) { return values[0].endsWith(t); });
        ASSERT_NE(text, texts.end()) << line.toStdString();
        // The line shows a name that is not UTF-8 with replacement characters; the root keeps its bytes.
        const QByteArray mountPoint = values[0].chopped(text->size());
        const QByteArray root = QByteArray::fromStdString(text::sanitizeUtf8(values[1].toStdString()));
        EXPECT_EQ(root, mountPoint == "/" ? mountPoint : mountPoint + '/');
        EXPECT_LT(previous, mountPoint);
        previous = mountPoint;
    }
    EXPECT_EQ(trv({QStringLiteral("drives"), QStringLiteral("extra")}).code, 2);
}

TEST(Trv, DumpOfASavedScanPrintsTheScanAndRefusesOtherFiles)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("a/sub")));
    touch(QFile::encodeName(dir.filePath(QStringLiteral("a/one.txt"))));
    touch(QFile::encodeName(dir.filePath(QStringLiteral("a/sub/tab\there"))));
    touch(QFile::encodeName(dir.filePath(QStringLiteral("b.txt"))));
    const QString a = dir.filePath(QStringLiteral("a")), sub = dir.filePath(QStringLiteral("a/sub"));
    const QString file = dir.filePath(QStringLiteral("c.trv"));
    const TrvRun saved = trv({QStringLiteral("save"), QStringLiteral("-o"), file, a, sub});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    const TrvRun scan = trv({QStringLiteral("scan"), a, sub});
    const TrvRun dump = trv({QStringLiteral("dump"), file});
    ASSERT_EQ(dump.code, 0) << dump.err.toStdString();
    EXPECT_EQ(dump.out, scan.out);
    EXPECT_EQ(scan.out.count('\n'), 3);

    const QString foreign = dir.filePath(QStringLiteral("b.txt"));
    const TrvRun refused = trv({QStringLiteral("dump"), foreign});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains("cannot open the catalogue file '" + foreign.toUtf8() + "'"))
        << refused.err.toStdString();
    EXPECT_EQ(trv({QStringLiteral("save"), file}).code, 2);
    EXPECT_EQ(trv({QStringLiteral("save"), QStringLiteral("-o"), file, QStringLiteral("/no/such")}).code, 2);
}

TEST(Trv, ScanPrintsWhileItWalksInTheOrderOfTheWholeCatalogue)
{
    // More records than one printed batch, across folders of several depths.
    QTemporaryDir dir;
    for (const char *folder : {"b", "a", "a/deep", "a/deep/er", "C"}) {
        QDir().mkpath(dir.filePath(QString::fromLatin1(folder)));
        for (int i = 0; i < 1100; ++i)
            touch(QFile::encodeName(dir.filePath(QStringLiteral("%1/f%2.txt").arg(QLatin1String(folder)).arg(i))));
    }
    QTemporaryDir elsewhere;
    const QString file = elsewhere.filePath(QStringLiteral("c.trv"));
    const TrvRun saved = trv({QStringLiteral("save"), QStringLiteral("-o"), file, dir.path()});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    const TrvRun scan = trv({QStringLiteral("scan"), dir.path()});
    ASSERT_EQ(scan.code, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.out.count('\n'), 5500);
    EXPECT_EQ(scan.out, trv({QStringLiteral("dump"), file}).out);

    QProcess full; // output that fails while the walk runs ends it, and is no success
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), {QStringLiteral("scan"), dir.path()});
    full.waitForFinished(60000);
    EXPECT_EQ(full.exitCode(), 1);
    EXPECT_TRUE(full.readAllStandardError().contains("cannot write the records"));
}

TEST(Trv, HelpAndVersionGoToStandardOutput)
{
    const TrvRun help = trv({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("usage: trv scan DIR...")) << help.out.toStdString();
    EXPECT_TRUE(help.err.isEmpty());
    const TrvRun version = trv({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "trv " TARVOLO_VERSION "\n");
    EXPECT_EQ(trv({QStringLiteral("--version"), QStringLiteral("scan")}).code, 2);

    QProcess full; // asked-for output that cannot be written is no success
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(QString::fromLocal8Bit(qgetenv("TRV_EXE")), {QStringLiteral("--help")});
    full.waitForFinished(60000);
    EXPECT_EQ(full.exitCode(), 1);
}

TEST(Trv, ReportOfACatalogueFileIsAPdfOfItsRecords)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("a")));
    for (const char *name : {"one.txt", "two.txt", "three.txt"})
        touch(dir.filePath(QStringLiteral("a/") + QLatin1String(name)).toUtf8());
    const QString file = dir.filePath(QStringLiteral("c.trv")), pdf = dir.filePath(QStringLiteral("c.pdf"));
    ASSERT_EQ(trv({QStringLiteral("save"), QStringLiteral("-o"), file, dir.filePath(QStringLiteral("a"))}).code, 0);
    const TrvRun made = trv({QStringLiteral("report"), file, QStringLiteral("-o"), pdf});
    ASSERT_EQ(made.code, 0) << made.err.toStdString();
    const QString text = pdfPageText(pdf, 1).simplified();
    for (const char *expected : {"Tarvolo - Display Of c.trv", "Page 1 of 1", "THREE.TXT", "Total Number Of Files: 3"})
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n" << text.toStdString();
    EXPECT_EQ(trv({QStringLiteral("report"), file, pdf}).code, 2);
    EXPECT_EQ(trv({QStringLiteral("report"), pdf, QStringLiteral("-o"), pdf}).code, 2);
}

TEST(Trv, SaveRefusesWhatIsNoRegularFileAndWritesThroughALink)
{
    QTemporaryDir dir;
    touch(QFile::encodeName(dir.filePath(QStringLiteral("one.txt"))));
    const QString fifo = dir.filePath(QStringLiteral("fifo")), link = dir.filePath(QStringLiteral("link.trv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const TrvRun refused = trv({QStringLiteral("save"), QStringLiteral("-o"), fifo, dir.path()});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("not a regular file")) << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    ASSERT_TRUE(QFile::link(QStringLiteral("real.trv"), link));
    touch(QFile::encodeName(dir.filePath(QStringLiteral("real.trv"))));
    const TrvRun saved = trv({QStringLiteral("save"), QStringLiteral("-o"), link, dir.path()});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(trv({QStringLiteral("dump"), dir.filePath(QStringLiteral("real.trv"))}).code, 0);
}
