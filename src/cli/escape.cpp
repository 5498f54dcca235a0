#include "escape.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace trv {
namespace {

// Bytes that start an escape, or may start an escaped Unicode line break (C2 85, E2 80 A8/A9).
constexpr std::array<bool, 256> kMayEscape = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[std::size_t(c)] = true;
    t[0x7F] = t[std::size_t('\\')] = t[0xC2] = t[0xE2] = true;
    return t;
}();

// The escape of the character at the start of s, and the bytes it stands for; none for a
// byte that needs no escape.
std::pair<std::string_view, std::size_t> escapeAt(std::string_view s, char (&hex)[5])
{
    const auto c = static_cast<unsigned char>(s[0]);
    switch (c) {
    case '\t':
        return {"\\t", 1};
    case '\n':
        return {"\\n", 1};
    case '\r':
        return {"\\r", 1};
    case '\\':
        return {"\\\\", 1};
    case 0xC2:
        if (s.substr(0, 2) == "\xC2\x85")
            return {"\\u{85}", 2};
        return {{}, 0};
    case 0xE2:
        if (s.substr(0, 3) == "\xE2\x80\xA8")
            return {"\\u{2028}", 3};
        if (s.substr(0, 3) == "\xE2\x80\xA9")
            return {"\\u{2029}", 3};
        return {{}, 0};
    default:
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        return {std::string_view(hex, 4), 1};
    }
}

// Whether eight bytes hold one that may start an escape; most values hold none, and testing
// them a byte at a time took a tenth of a scan.
bool mayEscape(const char *p)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    std::uint64_t w = 0;
    std::memcpy(&w, p, sizeof w);
    const auto hasZero = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
    return ((w - 0x20 * kOnes) & ~w & kHighs) != 0 || hasZero(w ^ (0x7F * kOnes)) || hasZero(w ^ ('\\' * kOnes)) ||
           hasZero(w ^ (0xC2 * kOnes)) || hasZero(w ^ (0xE2 * kOnes));
}

} // namespace

void appendEscaped(std::string &out, std::string_view value)
{
    char hex[5];
    std::size_t run = 0; // start of the bytes not yet appended
    for (std::size_t i = 0; i < value.size();) {
        if (i + 8 <= value.size() && !mayEscape(value.data() + i)) {
            i += 8;
            continue;
        }
        if (!kMayEscape[static_cast<unsigned char>(value[i])]) {
            ++i;
            continue;
        }
        const auto [escape, length] = escapeAt(value.substr(i), hex);
        if (length == 0) {
            ++i;
            continue;
        }
        out.append(value.substr(run, i - run));
        out.append(escape);
        i += length;
        run = i;
    }
    out.append(value.substr(run));
}

} // namespace trv
