#include "platform/shortnames.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::array<bool, 256> kShortNameChars = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[std::size_t(c)] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    for (const char c : std::string_view("!#$%&'()-@^_`{}~"))
        t[static_cast<unsigned char>(c)] = true;
    return t;
}();

bool isShortNameChar(unsigned char c)
{
    return kShortNameChars[c];
}

// The stem (at most six characters) and the extension (at most three), each padded with
// NULs: the bytes compare as the two texts would, and a walk's millions of names allocate
// nothing here.
struct Basis {
    std::array<char, 9> key{};
    [[nodiscard]] std::string_view stem() const { return {key.data(), ::strnlen(key.data(), 6)}; }
    [[nodiscard]] std::string_view extension() const { return {key.data() + 6, ::strnlen(key.data() + 6, 3)}; }
};

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
}

char shortNameChar(unsigned char c)
{
    return isShortNameChar(c) ? asciiUpper(char(c)) : '_';
}

// Blanks are dropped, and dots the name starts with; the stem is what comes before the last
// dot, without its dots, the extension what follows it.
Basis basisOf(std::string_view name)
{
    std::size_t start = 0;
    while (start < name.size() && (name[start] == ' ' || name[start] == '.'))
        ++start;
    const std::string_view rest = name.substr(start);
    const auto lastDot = rest.rfind('.');
    Basis b;
    std::size_t stemSize = 0;
    for (const char c : rest.substr(0, lastDot))
        if (c != '.' && c != ' ' && stemSize < 6)
            b.key[stemSize++] = shortNameChar(static_cast<unsigned char>(c));
    if (lastDot != std::string_view::npos) {
        std::size_t extensionSize = 0;
        for (const char c : rest.substr(lastDot + 1))
            if (c != ' ' && extensionSize < 3)
                b.key[6 + extensionSize++] = shortNameChar(static_cast<unsigned char>(c));
    }
    if (stemSize == 0)
        b.key[0] = '_';
    return b;
}

// An 8.3 name or an alias, padded with NULs: at most 15 bytes ("~", ten digits and ".EXT"
// at the longest), so that a directory's set of them allocates once.
struct ShortKey {
    std::array<char, 16> bytes{};
    [[nodiscard]] std::string_view view() const { return {bytes.data(), ::strnlen(bytes.data(), bytes.size())}; }
    [[nodiscard]] bool empty() const { return bytes[0] == 0; }
    bool operator==(const ShortKey &) const = default;
};

ShortKey alias(const Basis &b, int tail)
{
    char digits[12];
    const char *const digitsEnd = std::to_chars(digits, digits + sizeof digits, tail).ptr;
    const std::size_t suffixSize = std::size_t(digitsEnd - digits) + 1;
    const std::size_t room = suffixSize < 8 ? 8 - suffixSize : 0;
    const std::string_view stem = b.stem(), extension = b.extension();
    ShortKey k;
    std::size_t n = stem.copy(k.bytes.data(), std::min(stem.size(), room));
    k.bytes[n++] = '~';
    for (const char *d = digits; d != digitsEnd; ++d)
        k.bytes[n++] = *d;
    if (!extension.empty()) {
        k.bytes[n++] = '.';
        extension.copy(k.bytes.data() + n, extension.size());
    }
    return k;
}

// The names a directory's aliases must not repeat: open addressing in one array, at most
// half full, so that no probe runs long and nothing is allocated per name.
class ShortKeySet {
public:
    explicit ShortKeySet(std::size_t most) : m_slots(std::bit_ceil(2 * most + 2)) {}

    [[nodiscard]] bool contains(const ShortKey &k) const { return m_slots[slotOf(k)] == k; }
    void insert(const ShortKey &k) { m_slots[slotOf(k)] = k; }

private:
    // The slot that holds k, or the empty one where it would go.
    [[nodiscard]] std::size_t slotOf(const ShortKey &k) const
    {
        std::uint64_t a = 0, b = 0;
        std::memcpy(&a, k.bytes.data(), sizeof a);
        std::memcpy(&b, k.bytes.data() + sizeof a, sizeof b);
        std::uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = std::size_t(h) & mask;
        while (!m_slots[i].empty() && !(m_slots[i] == k))
            i = (i + 1) & mask;
        return i;
    }

    std::vector<ShortKey> m_slots;
};

// Non-ASCII characters count once: each becomes a single "_".
std::string asciiFolded(std::string_view name)
{
    std::string out;
    const std::string valid = text::sanitizeUtf8(name);
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto c = static_cast<unsigned char>(valid[i]);
        if (c < 0x80)
            out.push_back(char(c));
        else if ((c & 0xC0) != 0x80)
            out.push_back('_');
    }
    return out;
}

// Most names are ASCII and need no folded copy: this runs for every file of a walk.
Basis basisOfName(std::string_view name)
{
    return text::isAscii(name) ? basisOf(name) : basisOf(asciiFolded(name));
}

} // namespace

bool isValidShortName(std::string_view name)
{
    const auto dot = name.find('.');
    const std::string_view stem = name.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (stem.empty() || stem.size() > 8 || ext.size() > 3)
        return false;
    if (dot != std::string_view::npos && ext.empty())
        return false;
    auto allValid = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return isShortNameChar(static_cast<unsigned char>(c)); });
    };
    return allValid(stem) && allValid(ext);
}

std::vector<std::string> shortNames(const std::vector<std::string_view> &names)
{
    std::vector<std::string> result(names.size());
    struct Pending {
        Basis basis;
        std::size_t index;
    };
    std::vector<Pending> pending;
    pending.reserve(names.size());
    ShortKeySet taken(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (isValidShortName(names[i])) {
            ShortKey k; // ASCII, eight and three characters at most
            for (std::size_t c = 0; c < names[i].size(); ++c)
                k.bytes[c] = asciiUpper(names[i][c]);
            taken.insert(k);
        } else {
            pending.push_back({basisOfName(names[i]), i});
        }
    }
    if (pending.empty())
        return result;
    std::sort(pending.begin(), pending.end(), [&](const Pending &a, const Pending &b) {
        if (a.basis.key != b.basis.key)
            return a.basis.key < b.basis.key;
        return names[a.index] < names[b.index];
    });
    int tail = 0;
    for (std::size_t k = 0; k < pending.size(); ++k) {
        const Basis &b = pending[k].basis;
        const bool sameGroup = k > 0 && pending[k - 1].basis.key == b.key;
        tail = sameGroup ? tail + 1 : 1;
        ShortKey candidate = alias(b, tail);
        while (taken.contains(candidate))
            candidate = alias(b, ++tail);
        taken.insert(candidate);
        result[pending[k].index] = candidate.view();
    }
    return result;
}
