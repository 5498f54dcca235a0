#include "platform/shortnames.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

namespace {

bool isShortNameChar(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'()-@^_`{}~").find(char(c)) != std::string_view::npos;
}

// The stem (at most six characters) and the extension (at most three), each padded with
// NULs: the bytes compare as the two texts would, and a walk's millions of names allocate
// nothing here.
struct Basis {
    std::array<char, 9> key{};
    [[nodiscard]] std::string_view stem() const { return {key.data(), ::strnlen(key.data(), 6)}; }
    [[nodiscard]] std::string_view extension() const { return {key.data() + 6, ::strnlen(key.data() + 6, 3)}; }
};

Basis basisOf(std::string_view name)
{
    std::string cleaned;
    cleaned.reserve(name.size());
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ')
            continue;
        cleaned.push_back(c == '.' ? '.' : isShortNameChar(c) ? char(c >= 'a' && c <= 'z' ? c - 32 : c) : '_');
    }
    const std::string_view trimmedDots =
        std::string_view(cleaned).substr(std::min(cleaned.find_first_not_of('.'), cleaned.size()));
    const auto lastDot = trimmedDots.rfind('.');
    Basis b;
    const std::string_view stemPart = lastDot == std::string_view::npos ? trimmedDots : trimmedDots.substr(0, lastDot);
    std::size_t stemSize = 0;
    for (const char c : stemPart)
        if (c != '.' && stemSize < 6)
            b.key[stemSize++] = c;
    if (lastDot != std::string_view::npos)
        trimmedDots.substr(lastDot + 1, 3).copy(b.key.data() + 6, 3);
    if (stemSize == 0)
        b.key[0] = '_';
    return b;
}

std::string alias(const Basis &b, int tail)
{
    // Built by appending: GCC 12 misreads "~" + std::string as an overlapping copy.
    const std::string digits = std::to_string(tail);
    const std::size_t suffixSize = digits.size() + 1;
    const std::size_t room = suffixSize < 8 ? 8 - suffixSize : 0;
    const std::string_view stem = b.stem(), extension = b.extension();
    std::string s(stem.substr(0, std::min(stem.size(), room)));
    s.push_back('~');
    s.append(digits);
    if (!extension.empty()) {
        s.push_back('.');
        s.append(extension);
    }
    return s;
}

bool isAscii(std::string_view name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

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
    return isAscii(name) ? basisOf(name) : basisOf(asciiFolded(name));
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
    std::unordered_set<std::string> taken;
    taken.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (isValidShortName(names[i]))
            taken.insert(text::toUpper(names[i]));
        else
            pending.push_back({basisOfName(names[i]), i});
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
        std::string candidate = alias(b, tail);
        while (taken.count(candidate))
            candidate = alias(b, ++tail);
        taken.insert(candidate);
        result[pending[k].index] = std::move(candidate);
    }
    return result;
}
