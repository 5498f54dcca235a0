// Guards trv volumes: what trv save recorded of the folders' volume prints in both forms, a
// file of an earlier release has none, and a file that is no catalogue is refused.
#include "cli/trvrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Trv, VolumesPrintsWhatSaveRecordedOfEachFolder)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"a"_s));
    touch(QFile::encodeName(dir.filePath(u"a/one.txt"_s)));
    touch(QFile::encodeName(dir.filePath(u"a/two.txt"_s)));
    const QString file = dir.filePath(u"c.trv"_s);
    ASSERT_EQ(trv({u"save"_s, u"-o"_s, file, dir.filePath(u"a"_s)}).code, 0);

    const TrvRun text = trv({u"volumes"_s, file});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    const QList<QByteArray> values = text.out.chopped(1).split('\t');
    ASSERT_EQ(values.size(), 9) << text.out.toStdString();
    EXPECT_FALSE(values[2].isEmpty()) << "the file-system type";
    EXPECT_GT(values[3].toLongLong(), 0) << "its size";
    EXPECT_EQ(values[5], "2") << "its files";
    EXPECT_EQ(values[6].size(), 19) << "when: " << values[6].toStdString();
    EXPECT_EQ(values[7], "online") << "the folder's file system is mounted";
    EXPECT_TRUE(dir.path().toUtf8().startsWith(values[8])) << "the mount point holds the folder";

    const TrvRun json = trv({u"volumes"_s, u"--json"_s, file, file});
    ASSERT_EQ(json.code, 0);
    EXPECT_EQ(json.out.count('\n'), 2);
    EXPECT_TRUE(json.out.startsWith("{\"file\":\"" + file.toUtf8() + "\",")) << json.out.toStdString();
    EXPECT_TRUE(json.out.contains(",\"files\":2,")) << json.out.toStdString();

    const TrvRun old = trv({u"volumes"_s, QStringLiteral(TARVOLO_TEST_DATA "/first-version.trv")});
    EXPECT_EQ(old.code, 1);
    EXPECT_TRUE(old.out.isEmpty());
    const TrvRun refused = trv({u"volumes"_s, dir.filePath(u"a/one.txt"_s), file});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out.count('\n'), 1) << "the good file still prints";
}
