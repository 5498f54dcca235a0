#pragma once
// Reads a report back the way a reader of the printout would: the text of one PDF page,
// as poppler's pdftotext lays it out.

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <gtest/gtest.h>

#include <vector>

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

struct PdfWord {
    QString text;
    QRectF box; // in points from the page's top left
};

// The words of one page with their boxes, in reading order.
[[nodiscard]] inline std::vector<PdfWord> pdfPageWords(const QString &pdf, int page)
{
    QProcess p;
    const QString n = QString::number(page);
    p.start(QStringLiteral("pdftotext"), {"-bbox", "-f", n, "-l", n, pdf, "-"});
    EXPECT_TRUE(p.waitForFinished(60000)) << "pdftotext";
    static const QRegularExpression word(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    std::vector<PdfWord> words;
    const QString xhtml = QString::fromUtf8(p.readAllStandardOutput());
    for (const QRegularExpressionMatch &m : word.globalMatch(xhtml)) {
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        words.push_back({m.captured(5), QRectF(from, QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}
