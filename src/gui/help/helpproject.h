#pragma once
// The help project file (TRV.hlp): the help's title, its contents tree and its index
// keywords, each pointing at a page of the help folder and an anchor on it. The format is
// described in the comment lines at the top of help/TRV.hlp.

#include <QList>
#include <QString>
#include <QStringList>

struct HelpTarget {
    QString page;   // file name inside the help folder, e.g. "window.html"
    QString anchor; // may be empty: the top of the page

    QString text() const { return anchor.isEmpty() ? page : page + u'#' + anchor; }
    friend bool operator==(const HelpTarget &, const HelpTarget &) = default;
};

struct HelpTopic {
    int level = 0; // 0 for a top-level entry of the contents tree
    QString title;
    HelpTarget target;
};

struct HelpKeyword {
    QString keyword;
    HelpTarget target;
};

struct HelpProject {
    QString title;
    QList<HelpTopic> contents;
    QList<HelpKeyword> index;

    // Every page named in the contents or the index, once, in contents order first.
    QStringList pages() const;
    // The title of the first topic on the page, or the page's file name.
    QString pageTitle(const QString &page) const;
};

struct HelpParseResult {
    HelpProject project;
    QString error; // empty when the text was read without fault, else "line N: ..."
    bool ok() const { return error.isEmpty(); }
};

[[nodiscard]] HelpParseResult parseHelpProject(const QString &text);
[[nodiscard]] HelpParseResult readHelpProject(const QString &filePath);

// The first directory of searchPath that holds bareName, as an absolute file path;
// empty when none does.
[[nodiscard]] QString findHelpFile(const QString &bareName, const QStringList &searchPath);
