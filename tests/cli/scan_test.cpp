// Guards trv scan: the line format (nine tab-separated values, escapes), folders made absolute
// and normal, the errors for folders that cannot be read, output printed while the walk runs,
// and a saved scan, of folders one inside another, dumped as the scan printed it.
#include "catalogue/recordvalues.h"
#include "cli/trvrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Trv, PrintsNineValuesPerRecordWithEveryLineBreakingCharacterEscaped)
{
    QTemporaryDir dir;
    const QByteArray at = QFile::encodeName(dir.path()) + '/';
    const std::vector<std::pair<QByteArray, QByteArray>> names{
        {"plain.txt", "PLAIN.TXT                \tPLAIN.TXT     \t"},
        {"tab\there", "TAB\\tHERE"},
        {"new\nline", "NEW\\nLINE"},
        {"bell\x07\x1b\x7f", "BELL\\x07\\x1B\\x7F"},
        {"nel\xc2\x85 ls\xe2\x80\xa8 ps\xe2\x80\xa9", "NEL\\u{85} LS\\u{2028} PS\\u{2029}"},
        {"caf\xc3\xa9 \xe2\x82\xac", "CAF\xc3\x89 \xe2\x82\xac"},
    };
    for (const auto &[name, shown] : names)
        touch(at + name);
    const TrvRun r = trv({u"scan"_s, dir.path()});
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
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"x/sub"_s));
    touch(QFile::encodeName(dir.path()) + "/x/sub/f");
    const std::string expected = values::pathValue(QFile::encodeName(dir.path()).toStdString() + "/x/sub");
    for (const char *arg : {"x", "./x", "x/sub/../../x", "x//", "./x/./"}) {
        const TrvRun r = trv({u"scan"_s, QString::fromUtf8(arg)}, dir.path());
        ASSERT_EQ(r.code, 0) << arg << r.err.toStdString();
        const QList<QByteArray> values = r.out.split('\t');
        ASSERT_EQ(values.size(), 9) << arg;
        EXPECT_EQ(values[2].toStdString(), expected) << arg;
    }
}

TEST(Trv, ScanOfAFolderThatCannotBeReadOrOfNoneIsAnError)
{
    const TrvRun missing = trv({u"scan"_s, u"/no/such/folder"_s});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains("cannot read directory '/no/such/folder'")) << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(trv({u"scan"_s}).code, 2);
}

TEST(Trv, ScanPrintsWhileItWalksInTheOrderOfTheWholeCatalogue)
{
    // More records than one printed batch, across folders of several depths.
    QTemporaryDir dir;
    for (const char *folder : {"b", "a", "a/deep", "a/deep/er", "C"}) {
        QDir().mkpath(dir.filePath(QString::fromLatin1(folder)));
        for (int i = 0; i < 1100; ++i)
            touch(QFile::encodeName(dir.filePath(u"%1/f%2.txt"_s.arg(QLatin1String(folder)).arg(i))));
    }
    touch(QFile::encodeName(dir.filePath(u"a/tab\there"_s)));
    QTemporaryDir elsewhere;
    const QString file = elsewhere.filePath(u"c.trv"_s), a = dir.filePath(u"a"_s);
    const TrvRun saved = trv({u"save"_s, u"-o"_s, file, dir.path(), a});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    const TrvRun scan = trv({u"scan"_s, dir.path(), a});
    ASSERT_EQ(scan.code, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.out.count('\n'), 5501 + 3301) << "a folder inside another is listed with each";
    EXPECT_EQ(scan.out, trv({u"dump"_s, file}).out);

    // Asked-for output that cannot be written is no success; while the walk runs, it ends it.
    QByteArray err;
    EXPECT_EQ(trvOnFullDisk({u"scan"_s, dir.path()}, &err), 1);
    EXPECT_TRUE(err.contains("cannot write the records"));
    EXPECT_EQ(trvOnFullDisk({u"--help"_s}), 1);
}
