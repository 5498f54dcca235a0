// Guards the UTF-8 helpers every name passes through: invalid bytes never reach a stored value
// unreplaced, case mapping never changes a text's length, and the comparison, the sort keys and
// the fitted widths agree with one another.
#include "platform/text.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

std::string replaced(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += kFFFD;
    return s;
}

int sign(int c)
{
    return (c > 0) - (c < 0);
}

struct Invalid {
    const char *what;
    std::string bytes;
    std::string sanitized; // one U+FFFD per byte that is not part of a valid sequence
};

const std::vector<Invalid> kInvalid = {
    {"overlong slash in two bytes", "\xC0\xAF", replaced(2)},
    {"overlong NUL", "a\xC0\x80z", "a" + replaced(2) + "z"},
    {"overlong in three bytes", "\xE0\x80\xAF", replaced(3)},
    {"overlong in four bytes", "\xF0\x80\x80\xAF", replaced(4)},
    {"high surrogate", "\xED\xA0\x80", replaced(3)},
    {"low surrogate", "x\xED\xBF\xBF", "x" + replaced(3)},
    {"truncated at the end", "ab\xC3", "ab" + replaced(1)},
    {"truncated three-byte form", "\xE2\x82", replaced(2)},
    {"truncated four-byte form before a valid one", "\xF0\x9F\x98\xC3\xA9", replaced(3) + "\xC3\xA9"},
    {"lone continuation byte", "\x80", replaced(1)},
    {"0xF5 lead", "\xF5\x80\x80\x80", replaced(4)},
    {"0xFE and 0xFF", "\xFE\xFF", replaced(2)},
    {"above U+10FFFF", "\xF4\x90\x80\x80", replaced(4)},
};

TEST(Text, EveryKindOfInvalidUtf8IsReplacedBytewiseAndTheValidEdgesStay)
{
    for (const Invalid &c : kInvalid) {
        EXPECT_FALSE(text::isValidUtf8(c.bytes)) << c.what;
        const std::string clean = text::sanitizeUtf8(c.bytes);
        EXPECT_EQ(clean, c.sanitized) << c.what;
        EXPECT_TRUE(text::isValidUtf8(clean)) << c.what;
        EXPECT_EQ(text::codePointCount(c.bytes), text::codePointCount(clean)) << c.what;
        EXPECT_EQ(text::toUpper(c.bytes), text::toUpper(clean)) << c.what;
        EXPECT_EQ(text::compareFolded(c.bytes, clean), 0) << c.what;
    }
    for (const std::string s : {"\x7F", "\xC2\x80", "\xED\x9F\xBF" /* U+D7FF */, "\xEE\x80\x80" /* U+E000 */,
                                "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF" /* U+10FFFF */}) {
        EXPECT_TRUE(text::isValidUtf8(s)) << s;
        EXPECT_EQ(text::sanitizeUtf8(s), s);
        EXPECT_EQ(text::codePointCount(s), 1u) << s;
    }
}

TEST(Text, SimpleCaseMappingKeepsTheLength)
{
    const std::pair<std::string, std::string> cases[] = {
        {"straße", "STRAßE"}, // sharp s has no one-letter capital
        {"ı", "I"},           // dotless i
        {"İ", "İ"},           // capital I with dot stays
        {"i", "I"},           // and dotted
        {"σς", "ΣΣ"},         // both sigmas
        {"ǆǅ", "ǄǄ"},         // dz digraph, small and title
        {"ﬁ", "ﬁ"},           // ligature
        {"ɐ", "Ɐ"},           // turned a: two bytes become three
        {"𐐨", "𐐀"},           // Deseret, beyond the BMP
        {"😀abc", "😀ABC"},     // no case
    };
    for (const auto &[in, upper] : cases) {
        EXPECT_EQ(text::toUpper(in), upper) << in;
        EXPECT_EQ(text::codePointCount(text::toUpper(in)), text::codePointCount(in)) << in;
        EXPECT_EQ(text::compareFolded(in, upper), 0) << in;
    }
}

struct Ordered {
    std::string a, b;
    int expected;
};

const std::vector<Ordered> kOrder = {
    {"", "", 0},
    {"abc", "ABC", 0},
    {"a", "B", -1}, // by letter, not by the code of the case given
    {"ab", "abc", -1},
    {"abc", "ab", 1},
    {"_", "a", 1}, // after folding to capitals
    {"é", "z", 1},
    {"straße", "STRASSE", 1},
    {"ς", "Σ", 0},
    {"ı", "I", 0},
    {"\xEF\xBF\xBD", "\xF0\x9F\x98\x80", -1}, // by code point, not by UTF-16 unit
    {"\xEF\xBD\x9E", "\xF0\x90\x90\xA8", -1},
    {"𐐨", "𐐀a", -1},
    {"\xFF", kFFFD, 0},
};

std::string folded(std::string_view s)
{
    std::string out;
    text::appendFolded(out, s);
    return out;
}

TEST(Text, ComparisonIsCaseInsensitiveThenByCodePointAndAgreesWithSortKeys)
{
    for (const Ordered &c : kOrder) {
        EXPECT_EQ(sign(text::compareFolded(c.a, c.b)), c.expected) << c.a << " : " << c.b;
        EXPECT_EQ(sign(text::compareFolded(c.b, c.a)), -c.expected) << c.a << " : " << c.b;
        // The sort compares folded bytes; a find by halving relies on the two agreeing.
        EXPECT_EQ(sign(folded(c.a).compare(folded(c.b))), c.expected) << c.a << " : " << c.b;
    }
}

TEST(Text, PaddedComparisonEqualsComparingThePaddedText)
{
    const std::string bs[] = {"", "ab", "AB", "ab ", "ab  ", "ab   ", "ab\t", "ab x", "ab  x", "ab é", "abc", "a"};
    for (const std::string &b : bs)
        for (std::size_t blanks = 0; blanks < 4; ++blanks)
            EXPECT_EQ(sign(text::compareFoldedPadded("ab", blanks, b)),
                      sign(text::compareFolded("ab" + std::string(blanks, ' '), b)))
                << '"' << b << "\" after " << blanks << " blanks";
}

TEST(Text, FittingCountsCodePoints)
{
    const std::string smile = "\xF0\x9F\x98\x80";
    struct Fit {
        std::string in;
        std::size_t n;
        std::string out;
    };
    const Fit cases[] = {
        {"abc", 5, "abc  "},
        {"abcdef", 3, "abc"},
        {"", 2, "  "},
        {std::string("é").append(smile) + "x", 2, std::string("é").append(smile)},
        {smile + smile, 3, smile + smile + " "},
        {std::string("\xFF") + "ab", 2, kFFFD + "a"},
    };
    for (const Fit &c : cases) {
        EXPECT_EQ(text::fitWidth(c.in, c.n), c.out) << c.in;
        std::string inPlace = c.in;
        text::fitInPlace(inPlace, c.n);
        EXPECT_EQ(inPlace, c.out) << c.in;
        EXPECT_EQ(text::codePointCount(c.out), c.n) << c.in;
    }
}

TEST(Text, FittedCoresAreEqualExactlyWhenTheFittedValuesAre)
{
    const std::string names[] = {"abc", "abcd", "abc ", "ab", "ab c", "été", "étés", "😀😁", "😀 ", "€ab"};
    for (std::size_t n = 1; n <= 4; ++n)
        for (const std::string &a : names)
            for (const std::string &b : names)
                EXPECT_EQ(text::fittedCore(a, n) == text::fittedCore(b, n),
                          text::fitWidth(a, n) == text::fitWidth(b, n))
                    << a << " : " << b << " at " << n;
}

TEST(Text, AsciiTestLooksAtEveryByte)
{
    EXPECT_TRUE(text::isAscii(""));
    EXPECT_TRUE(text::isAscii("abcdefghijklmnopq"));
    for (std::size_t at = 0; at < 17; ++at) {
        std::string s(17, 'a');
        s[at] = '\x80';
        EXPECT_FALSE(text::isAscii(s)) << at;
    }
}

} // namespace
