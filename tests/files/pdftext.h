#pragma once
// Reads a report back the way a reader of the printout would: the text of one PDF page,
// as poppler's pdftotext lays it out.

#include <QProcess>
#include <QString>
#include <gtest/gtest.h>

[[nodiscard]] inline QString pdfPageText(const QString &pdf, int page)
{
    QProcess p;
    const QString n = QString::number(page);
    p.start(QStringLiteral("pdftotext"), {"-layout", "-f", n, "-l", n, pdf, "-"});
    EXPECT_TRUE(p.waitForFinished(60000)) << "pdftotext";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

[[nodiscard]] inline int pdfPageCount(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(p.waitForFinished(60000)) << "pdfinfo";
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}
