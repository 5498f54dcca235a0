// Guards trv save: what is no regular file is refused and left alone, and a link is written
// through.
#include "cli/trvrun.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
