// Guards trv report: the PDF holds the catalogue's records, and a wrong command line or a file
// that is no catalogue writes none.
#include "cli/trvrun.h"
#include "support/pdftext.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Trv, ReportOfACatalogueFileIsAPdfOfItsRecords)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"a"_s));
    for (const char *name : {"one.txt", "two.txt", "three.txt"})
        touch(dir.filePath(u"a/"_s + QLatin1String(name)).toUtf8());
    const QString file = dir.filePath(u"c.trv"_s), pdf = dir.filePath(u"c.pdf"_s);
    ASSERT_EQ(trv({u"save"_s, u"-o"_s, file, dir.filePath(u"a"_s)}).code, 0);
    const TrvRun made = trv({u"report"_s, file, u"-o"_s, pdf});
    ASSERT_EQ(made.code, 0) << made.err.toStdString();
    const QString text = pdfPageText(pdf, 1).simplified();
    for (const char *expected : {"Tarvolo - Display Of c.trv", "Page 1 of 1", "THREE.TXT", "Total Number Of Files: 3"})
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n" << text.toStdString();
    EXPECT_EQ(trv({u"report"_s, file, pdf}).code, 2);
    EXPECT_EQ(trv({u"report"_s, pdf, u"-o"_s, pdf}).code, 2);
}
