#include "library/matcher.h"

#include <QString>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <fnmatch.h>
#include <pcre2.h>

namespace library {
namespace {

bool isAscii(std::string_view s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The longest run of characters a shell pattern matches only as themselves.
std::string longestPlainRun(std::string_view glob)
{
    std::string best, run;
    for (std::size_t i = 0; i < glob.size(); ++i) {
        const char c = glob[i];
        if (c == '\\' && i + 1 < glob.size()) {
            run.push_back(glob[++i]);
            continue;
        }
        if (c != '*' && c != '?' && c != '[') {
            run.push_back(c);
            continue;
        }
        if (run.size() > best.size())
            best = run;
        run.clear();
        if (c == '[') { // a set: a ']' first in it is one of its characters
            std::size_t j = i + 1;
            j += j < glob.size() && (glob[j] == '!' || glob[j] == '^');
            j += j < glob.size() && glob[j] == ']';
            j = glob.find(']', j);
            if (j == std::string_view::npos)
                return {}; // fnmatch takes the '[' as itself: stay safe and require nothing
            i = j;
        }
    }
    return run.size() > best.size() ? run : best;
}

} // namespace

// A compiled expression, and the space its matches use.
struct Matcher::Regex {
    pcre2_code *code = nullptr;
    pcre2_match_data *match = nullptr;
    std::string error;
    ~Regex()
    {
        pcre2_match_data_free(match);
        pcre2_code_free(code);
    }
};

Matcher::Matcher(const std::string &pattern, bool regex, bool exactCase)
    : m_kind(regex                                               ? PatternKind::Regex
             : pattern.find_first_of("*?[") != std::string::npos ? PatternKind::Glob
                                                                 : PatternKind::Substring),
      m_exactCase(exactCase)
{
    if (m_kind != PatternKind::Regex) {
        m_folded = fold(pattern);
        m_required = m_kind == PatternKind::Substring ? m_folded : longestPlainRun(m_folded);
        return;
    }
    // Folding the case of an expression would change it ("\\D" is not "\\d"): the match ignores case instead.
    const std::string folded = foldText(pattern, false);
    m_regex = std::make_shared<Regex>();
    int code = 0;
    PCRE2_SIZE offset = 0;
    m_regex->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(folded.data()), folded.size(),
                                  PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF | (exactCase ? 0 : PCRE2_CASELESS),
                                  &code, &offset, nullptr);
    if (!m_regex->code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(code, message, sizeof message);
        m_regex->error = reinterpret_cast<const char *>(message) + (" at offset " + std::to_string(offset));
        return;
    }
    pcre2_jit_compile(m_regex->code, PCRE2_JIT_COMPLETE); // without it (no JIT here) the match is interpreted
    m_regex->match = pcre2_match_data_create_from_pattern(m_regex->code, nullptr);
}

bool Matcher::valid(std::string &error) const
{
    if (m_kind != PatternKind::Regex || m_regex->code)
        return true;
    error = m_regex->error;
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
        return m_regex->code && pcre2_match(m_regex->code, reinterpret_cast<PCRE2_SPTR>(folded.data()), folded.size(),
                                            0, 0, m_regex->match, nullptr) >= 0;
    }
    return false;
}

} // namespace library
