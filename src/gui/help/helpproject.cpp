#include "help/helpproject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

enum class Section { None, Contents, Index };

struct Line {
    int number;
    QString text;
};

QString lineError(int number, const QString &what)
{
    return QStringLiteral("line %1: %2").arg(number).arg(what);
}

// "page.html#anchor": a plain file name of the help folder, never a path out of it.
bool parseTarget(const QString &text, HelpTarget &target)
{
    const qsizetype hash = text.indexOf(u'#');
    target.page = (hash < 0 ? text : text.left(hash)).trimmed();
    target.anchor = hash < 0 ? QString() : text.mid(hash + 1).trimmed();
    const QString &page = target.page;
    return !page.isEmpty() && !page.startsWith(u'.') && !page.contains(u'/') && !page.contains(u'\\') &&
           !target.anchor.contains(u' ');
}

// "left | target", for both the contents and the index.
bool splitEntry(const QString &text, QString &left, HelpTarget &target)
{
    const qsizetype bar = text.lastIndexOf(u'|');
    if (bar < 0)
        return false;
    left = text.left(bar).trimmed();
    return !left.isEmpty() && parseTarget(text.mid(bar + 1), target);
}

class Parser {
public:
    QString parse(const QString &text);
    HelpProject project;

private:
    QString line(const Line &l);
    QString contentsLine(const Line &l);
    QString indexLine(const Line &l);

    Section m_section = Section::None;
};

QString Parser::parse(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString l = lines[i];
        while (!l.isEmpty() && l.back().isSpace())
            l.chop(1);
        if (l.trimmed().isEmpty() || l.trimmed().startsWith(u'#'))
            continue;
        if (QString error = line({i + 1, l}); !error.isEmpty())
            return error;
    }
    if (project.contents.isEmpty())
        return QStringLiteral("the contents are empty");
    if (project.title.isEmpty())
        project.title = QStringLiteral("Help");
    return {};
}

QString Parser::line(const Line &l)
{
    const QString bare = l.text.trimmed();
    if (bare.startsWith(u'[') && bare.endsWith(u']')) {
        const QString name = bare.mid(1, bare.size() - 2).trimmed().toLower();
        if (name == u"contents")
            m_section = Section::Contents;
        else if (name == u"index")
            m_section = Section::Index;
        else
            return lineError(l.number, QStringLiteral("unknown section %1").arg(bare));
        return {};
    }
    switch (m_section) {
    case Section::Contents:
        return contentsLine(l);
    case Section::Index:
        return indexLine(l);
    case Section::None:
        break;
    }
    if (bare.startsWith(QStringLiteral("title:"), Qt::CaseInsensitive)) {
        project.title = bare.mid(6).trimmed();
        return {};
    }
    return lineError(l.number, QStringLiteral("expected \"Title:\" or a section"));
}

QString Parser::contentsLine(const Line &l)
{
    qsizetype indent = 0;
    while (l.text[indent] == u' ')
        ++indent;
    if (l.text[indent] == u'\t')
        return lineError(l.number, QStringLiteral("indent with spaces, not tabs"));
    if (indent % 2 != 0)
        return lineError(l.number, QStringLiteral("indent by two spaces a level"));
    const int level = int(indent / 2);
    const int deepest = project.contents.isEmpty() ? 0 : project.contents.back().level + 1;
    if (level > deepest)
        return lineError(l.number, QStringLiteral("a topic is indented more than one level"));
    HelpTopic topic;
    topic.level = level;
    if (!splitEntry(l.text, topic.title, topic.target))
        return lineError(l.number, QStringLiteral("expected \"Title | page.html#anchor\""));
    project.contents.append(topic);
    return {};
}

QString Parser::indexLine(const Line &l)
{
    HelpKeyword keyword;
    if (!splitEntry(l.text, keyword.keyword, keyword.target))
        return lineError(l.number, QStringLiteral("expected \"keyword | page.html#anchor\""));
    project.index.append(keyword);
    return {};
}

} // namespace

QStringList HelpProject::pages() const
{
    QStringList result;
    QSet<QString> seen;
    auto add = [&](const HelpTarget &target) {
        if (!seen.contains(target.page)) {
            seen.insert(target.page);
            result.append(target.page);
        }
    };
    for (const HelpTopic &topic : contents)
        add(topic.target);
    for (const HelpKeyword &keyword : index)
        add(keyword.target);
    return result;
}

QString HelpProject::pageTitle(const QString &page) const
{
    for (const HelpTopic &topic : contents) {
        if (topic.target.page == page)
            return topic.title;
    }
    return page;
}

HelpParseResult parseHelpProject(const QString &text)
{
    Parser parser;
    HelpParseResult result;
    result.error = parser.parse(text);
    result.project = std::move(parser.project);
    return result;
}

HelpParseResult readHelpProject(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        HelpParseResult result;
        result.error = QStringLiteral("the file cannot be read");
        return result;
    }
    return parseHelpProject(QString::fromUtf8(file.readAll()));
}

QString findHelpFile(const QString &bareName, const QStringList &searchPath)
{
    if (bareName.isEmpty())
        return {};
    if (QFileInfo(bareName).isAbsolute())
        return QFileInfo(bareName).isFile() ? bareName : QString();
    for (const QString &dir : searchPath) {
        const QFileInfo candidate(QDir(dir), bareName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}
