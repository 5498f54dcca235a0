// Guards trv dump: a saved scan prints as the scan printed, and a file that is no catalogue is
// refused.
#include "cli/trvrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
