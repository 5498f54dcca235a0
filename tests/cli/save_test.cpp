// Guards trv save and trv dump at their edges: what is no regular file is refused and left
// alone, a link is written through, a folder that cannot be read saves nothing, and a file
// that is no catalogue is not dumped.
#include "cli/trvrun.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

TEST(Trv, SaveAndDumpRefuseWhatIsNoCatalogueAndSaveWritesThroughALink)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(u"fifo"_s), link = dir.filePath(u"link.trv"_s),
                  foreign = dir.filePath(u"real.trv"_s);
    touch(QFile::encodeName(foreign));
    const TrvRun notDumped = trv({u"dump"_s, foreign});
    EXPECT_EQ(notDumped.code, 2);
    EXPECT_TRUE(notDumped.out.isEmpty());
    EXPECT_TRUE(notDumped.err.contains("cannot open the catalogue file '" + foreign.toUtf8() + "'"))
        << notDumped.err.toStdString();

    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const TrvRun refused = trv({u"save"_s, u"-o"_s, fifo, dir.path()});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("not a regular file")) << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_EQ(trv({u"save"_s, u"-o"_s, foreign, u"/no/such"_s}).code, 2);

    // Over a file that was no catalogue.
    ASSERT_TRUE(QFile::link(u"real.trv"_s, link));
    const TrvRun saved = trv({u"save"_s, u"-o"_s, link, dir.path()});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(trv({u"dump"_s, foreign}).code, 0);
}
