#include "help/helpsearch.h"

#include <QRegularExpression>
#include <QTextDocument>

#include <algorithm>

void HelpSearchIndex::addPage(const QString &page, const QString &plainText)
{
    m_pages.append({page, plainText});
}

QList<HelpHit> HelpSearchIndex::search(const QString &query) const
{
    const QStringList words = queryWords(query);
    QList<HelpHit> hits;
    if (words.isEmpty())
        return hits;
    for (const Page &page : m_pages) {
        int total = 0;
        bool all = true;
        for (const QString &word : words) {
            const int n = countHits(page.text, word);
            all = all && n > 0;
            total += n;
        }
        if (all)
            hits.append({page.name, total});
    }
    // Stable, so equal hits keep the pages' own order.
    std::stable_sort(hits.begin(), hits.end(), [](const HelpHit &a, const HelpHit &b) { return a.hits > b.hits; });
    return hits;
}

QStringList HelpSearchIndex::queryWords(const QString &query)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words;
    for (const QString &word : query.split(blanks, Qt::SkipEmptyParts)) {
        if (!words.contains(word, Qt::CaseInsensitive))
            words.append(word);
    }
    return words;
}

int HelpSearchIndex::countHits(const QString &text, const QString &word)
{
    if (word.isEmpty())
        return 0;
    int n = 0;
    for (qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(word, at + word.size(), Qt::CaseInsensitive)) {
        // A word that itself starts with punctuation ("&Open") matches wherever it stands.
        if (at == 0 || !text[at - 1].isLetterOrNumber() || !word[0].isLetterOrNumber())
            ++n;
    }
    return n;
}

QString helpPlainText(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}
