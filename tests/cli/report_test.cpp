// Guards trv report: the PDF holds the catalogue's records, and a wrong command line or a file
// that is no catalogue writes none.
#include "cli/trvrun.h"
#include "support/pdftext.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
