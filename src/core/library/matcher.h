#pragma once
// What `find` asks of a name or path: a text it contains, a shell pattern it matches whole,
// or a regular expression; letters alike but for case or accents match unless case is asked
// for, and a name matches alike in its composed (NFC) and decomposed (NFD) forms.

#include <memory>
#include <string>
#include <string_view>

namespace library {

// NFD with the marks dropped, and case-folded where asked.
[[nodiscard]] std::string foldText(std::string_view utf8, bool caseFold);

enum class PatternKind { Substring, Glob, Regex };

class Matcher {
public:
    // Substring unless the pattern holds * ? or [ (then Glob) or regex is asked for.
    Matcher(const std::string &pattern, bool regex, bool exactCase);
    // False, with the reason, for a regular expression that does not compile.
    [[nodiscard]] bool valid(std::string &error) const;
    [[nodiscard]] PatternKind kind() const { return m_kind; }
    // The text as it is compared: NFD, marks dropped, and case-folded unless case counts.
    [[nodiscard]] std::string fold(std::string_view utf8) const;
    [[nodiscard]] bool matches(std::string_view utf8) const;
    // For a text already folded.
    [[nodiscard]] bool matchesFolded(std::string_view folded) const;
    // Folded text that every match holds (the longest run of a shell pattern's plain
    // characters); empty where none is known, as for a regular expression.
    [[nodiscard]] std::string_view requiredText() const { return m_required; }

private:
    struct Regex;
    PatternKind m_kind;
    bool m_exactCase;
    std::string m_folded; // the pattern, folded as the texts are
    std::string m_required;
    std::shared_ptr<Regex> m_regex;
};

} // namespace library
