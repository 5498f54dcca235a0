#include "platform/text.h"

#include <QChar>
#include <cstdint>
#include <cstring>

namespace text {
namespace {

// The length of the sequence a lead byte opens, with its payload bits and the least code
// point the length may carry (shorter forms are overlong); 0 for a byte no sequence opens with.
std::size_t sequenceLength(unsigned char b0, char32_t &cp, char32_t &min)
{
    if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        min = 0x80;
        return 2;
    }
    if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        min = 0x800;
        return 3;
    }
    if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        min = 0x10000;
        return 4;
    }
    return 0;
}

// Decodes one code point at s[i]; returns its byte length, 0 when the bytes are invalid.
std::size_t decode(std::string_view s, std::size_t i, char32_t &cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    char32_t min = 0;
    const std::size_t len = sequenceLength(b0, cp, min);
    if (len == 0 || i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void encode(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// As decode, but an invalid byte is one U+FFFD of one byte.
std::size_t decodeOrReplace(std::string_view s, std::size_t i, char32_t &cp)
{
    const std::size_t len = decode(s, i, cp);
    if (len == 0)
        cp = kReplacement;
    return len == 0 ? 1 : len;
}

template <typename F> void forEachCodePoint(std::string_view s, F &&f)
{
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        i += decodeOrReplace(s, i, cp);
        f(cp);
    }
}

} // namespace

bool isValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        const std::size_t len = decode(s, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string sanitizeUtf8(std::string_view s)
{
    if (isValidUtf8(s))
        return std::string(s);
    std::string out;
    out.reserve(s.size() + 8);
    forEachCodePoint(s, [&](char32_t cp) { encode(out, cp); });
    return out;
}

char32_t foldCase(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    return QChar::toUpper(cp);
}

std::string toUpper(std::string_view s)
{
    std::string out;
    appendFolded(out, s);
    return out;
}

void appendFolded(std::string &out, std::string_view s)
{
    out.reserve(out.size() + s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out.push_back((b >= 'a' && b <= 'z') ? char(b - 32) : char(b));
            ++i;
            continue;
        }
        char32_t cp;
        i += decodeOrReplace(s, i, cp);
        encode(out, foldCase(cp));
    }
}

std::size_t codePointCount(std::string_view s)
{
    std::size_t n = 0;
    forEachCodePoint(s, [&](char32_t) { ++n; });
    return n;
}

bool isAscii(std::string_view s)
{
    // Eight bytes at a time: every name of a walk passes here more than once.
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w = 0;
        std::memcpy(&w, s.data() + i, sizeof w);
        if (w & kHighs)
            return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    return true;
}

std::string fitWidth(std::string_view s, std::size_t n)
{
    if (isAscii(s)) {
        std::string out(s.substr(0, n));
        out.resize(n, ' ');
        return out;
    }
    std::string out;
    out.reserve(n + 8);
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size() && count < n; ++count) {
        char32_t cp;
        const std::size_t len = decode(s, i, cp);
        if (len == 0) {
            encode(out, kReplacement);
            ++i;
        } else {
            out.append(s.substr(i, len));
            i += len;
        }
    }
    out.append(n - count, ' ');
    return out;
}

void fitInPlace(std::string &s, std::size_t n)
{
    if (s.size() <= n && isAscii(s))
        s.resize(n, ' ');
    else
        s = fitWidth(s, n);
}

std::string_view trimRight(std::string_view s)
{
    std::size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ')
        --end;
    return s.substr(0, end);
}

std::string_view fittedCore(std::string_view s, std::size_t n)
{
    if (s.size() > n) {
        std::size_t points = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && points++ == n) {
                s = s.substr(0, i);
                break;
            }
        }
    }
    return trimRight(s);
}

namespace {

// Compares code points until one text ends or they differ; i and j are left where it stopped.
int compareFoldedPrefix(std::string_view a, std::string_view b, std::size_t &i, std::size_t &j)
{
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            const char32_t fa = foldCase(ca), fb = foldCase(cb);
            if (fa != fb)
                return fa < fb ? -1 : 1;
            ++i, ++j;
            continue;
        }
        char32_t pa, pb;
        const std::size_t la = decodeOrReplace(a, i, pa), lb = decodeOrReplace(b, j, pb);
        pa = foldCase(pa), pb = foldCase(pb);
        if (pa != pb)
            return pa < pb ? -1 : 1;
        i += la, j += lb;
    }
    return 0;
}

} // namespace

int compareFolded(std::string_view a, std::string_view b)
{
    return compareFoldedPadded(a, 0, b);
}

int compareFoldedPadded(std::string_view a, std::size_t blanks, std::string_view b)
{
    std::size_t i = 0, j = 0;
    if (const int c = compareFoldedPrefix(a, b, i, j))
        return c;
    if (i < a.size())
        return 1;
    // The blanks that pad a sort below every character but the blank and the controls.
    for (; blanks > 0; --blanks, ++j) {
        if (j >= b.size())
            return 1;
        const auto cb = static_cast<unsigned char>(b[j]);
        if (cb != ' ')
            return cb < ' ' ? 1 : -1;
    }
    return j < b.size() ? -1 : 0;
}

} // namespace text
