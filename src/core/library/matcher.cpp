#include "library/matcher.h"

#include <fnmatch.h>

namespace library {
namespace {

bool isAscii(std::string_view s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

Matcher::Matcher(const std::string &pattern, bool regex, bool exactCase)
    : m_kind(regex                                               ? PatternKind::Regex
             : pattern.find_first_of("*?[") != std::string::npos ? PatternKind::Glob
                                                                 : PatternKind::Substring),
      m_exactCase(exactCase)
{
    if (m_kind != PatternKind::Regex) {
        m_folded = fold(pattern);
        return;
    }
    // Folding the case of an expression would change it ("\\D" is not "\\d"): the match ignores case instead.
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!exactCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    m_regex = QRegularExpression(QString::fromStdString(foldText(pattern, false)), options);
}

bool Matcher::valid(std::string &error) const
{
    if (m_kind != PatternKind::Regex || m_regex.isValid())
        return true;
    error = m_regex.errorString().toStdString();
    return false;
}

std::string Matcher::fold(std::string_view utf8) const
{
    return foldText(utf8, !m_exactCase);
}

std::string foldText(std::string_view utf8, bool caseFold)
{
    std::string out(utf8);
    // Most names are ASCII: no accents, and case folding is a table.
    if (isAscii(utf8)) {
        if (caseFold)
            for (char &c : out)
                c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        return out;
    }
    const QString decomposed =
        QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).normalized(QString::NormalizationForm_D);
    QString kept;
    kept.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            kept.append(c);
    return (caseFold ? kept.toCaseFolded() : kept).toStdString();
}

bool Matcher::matches(std::string_view utf8) const
{
    return matchesFolded(fold(utf8));
}

bool Matcher::matchesFolded(std::string_view folded) const
{
    switch (m_kind) {
    case PatternKind::Substring:
        return folded.find(m_folded) != std::string_view::npos;
    case PatternKind::Glob:
        return ::fnmatch(m_folded.c_str(), std::string(folded).c_str(), 0) == 0;
    case PatternKind::Regex:
        return m_regex.match(QString::fromUtf8(folded.data(), qsizetype(folded.size()))).hasMatch();
    }
    return false;
}

} // namespace library
