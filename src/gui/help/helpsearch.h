#pragma once
// Full-text search over the help pages: a page is found when every word of the query
// begins a word somewhere in its text, whatever the case; pages with more hits come first.

#include <QList>
#include <QString>
#include <QStringList>

struct HelpHit {
    QString page;
    int hits = 0;
};

class HelpSearchIndex {
public:
    void addPage(const QString &page, const QString &plainText);
    void clear() { m_pages.clear(); }
    [[nodiscard]] QList<HelpHit> search(const QString &query) const;

    // The distinct words of a query, in the order typed.
    [[nodiscard]] static QStringList queryWords(const QString &query);
    // How often word begins a word of text, ignoring case.
    [[nodiscard]] static int countHits(const QString &text, const QString &word);

private:
    struct Page {
        QString name;
        QString text;
    };
    QList<Page> m_pages;
};

// The text a reader sees on an HTML page, without tags or entities.
[[nodiscard]] QString helpPlainText(const QString &html);
