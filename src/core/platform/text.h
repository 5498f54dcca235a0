#pragma once
// UTF-8 text helpers shared by the value forms, the engine's ordering and the walk.
// Lengths count code points; case mapping is simple (one code point to one), so it never
// changes a text's length.

#include <QString>
#include <string>
#include <string_view>

namespace text {

// Bytes that are not valid UTF-8 become U+FFFD; the result is valid UTF-8.
[[nodiscard]] std::string sanitizeUtf8(std::string_view bytes);
[[nodiscard]] bool isValidUtf8(std::string_view bytes);

[[nodiscard]] std::string toUpper(std::string_view utf8);
[[nodiscard]] char32_t foldCase(char32_t cp);
// The form text comparisons work on: every code point folded, bytes otherwise kept.
void appendFolded(std::string &out, std::string_view utf8);

[[nodiscard]] bool isAscii(std::string_view bytes);
[[nodiscard]] std::size_t codePointCount(std::string_view utf8);
// Cut to at most n code points, then pad with blanks to exactly n.
[[nodiscard]] std::string fitWidth(std::string_view utf8, std::size_t n);
// The same in place, without a copy for the usual short ASCII text.
void fitInPlace(std::string &utf8, std::size_t n);
[[nodiscard]] std::string_view trimRight(std::string_view s);
// s cut to at most n code points, without trailing blanks: two valid UTF-8 texts fit to
// the same n-wide value exactly when these are equal.
[[nodiscard]] std::string_view fittedCore(std::string_view s, std::size_t n);

// Case-insensitive, otherwise by code point: <0, 0, >0.
[[nodiscard]] int compareFolded(std::string_view a, std::string_view b);
// The same with a followed by that many blanks, without making the padded copy.
[[nodiscard]] int compareFoldedPadded(std::string_view a, std::size_t blanks, std::string_view b);

[[nodiscard]] inline QString toQString(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
[[nodiscard]] inline std::string fromQString(const QString &s)
{
    return s.toUtf8().toStdString();
}

} // namespace text
