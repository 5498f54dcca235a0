#include "catalogfile/exactcodec.h"

#include <cstdint>

namespace exactcodec {
namespace {

void putVarint(std::string &out, std::uint64_t v)
{
    for (; v >= 0x80; v >>= 7)
        out.push_back(char(0x80 | (v & 0x7F)));
    out.push_back(char(v));
}

bool getVarint(std::string_view &in, std::uint64_t &v)
{
    v = 0;
    for (int shift = 0; shift < 64 && !in.empty(); shift += 7) {
        const auto b = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        v |= std::uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

bool bytes(std::string_view &in, std::uint64_t n, std::string_view &out)
{
    if (n > in.size())
        return false;
    out = in.substr(0, n);
    in.remove_prefix(n);
    return true;
}

// How many leading bytes of exact are ASCII and give field's bytes when upper-cased.
std::size_t caseOnly(std::string_view exact, std::string_view field)
{
    std::size_t k = 0;
    for (; k < exact.size() && k < field.size(); ++k) {
        const char c = exact[k];
        if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z' ? char(c - 32) : c) != field[k])
            break;
    }
    return k;
}

} // namespace

// Each value: 0 for none; 2n+1, a mask of n bits, and the rest as a length and bytes; or
// 2(n+1) and n bytes kept whole.
void append(std::string &out, const std::optional<std::string_view> &exact, std::string_view field)
{
    if (!exact)
        return putVarint(out, 0);
    const std::size_t k = caseOnly(*exact, field);
    // The mask must cover the whole field, or the field would not be the exact one's.
    if (k != field.size() || field.empty()) {
        putVarint(out, 2 * (exact->size() + 1));
        out.append(*exact);
        return;
    }
    putVarint(out, 2 * k + 1);
    for (std::size_t i = 0; i < k; i += 8) {
        unsigned char mask = 0;
        for (std::size_t b = 0; b < 8 && i + b < k; ++b)
            mask |= ((*exact)[i + b] >= 'a' && (*exact)[i + b] <= 'z') << b;
        out.push_back(char(mask));
    }
    putVarint(out, exact->size() - k);
    out.append(exact->substr(k));
}

bool take(std::string_view &in, std::string_view field, bool &has, std::string &exact)
{
    std::uint64_t h = 0;
    std::string_view part;
    if (!getVarint(in, h))
        return false;
    has = h != 0;
    if (!has)
        return true;
    if (h % 2 == 0) {
        if (!bytes(in, h / 2 - 1, part))
            return false;
        exact.assign(part);
        return true;
    }
    const std::uint64_t k = h / 2;
    std::uint64_t rest = 0;
    if (k != field.size() || !bytes(in, (k + 7) / 8, part))
        return false;
    exact.assign(field);
    for (std::size_t i = 0; i < k; ++i)
        if ((static_cast<unsigned char>(part[i / 8]) >> (i % 8)) & 1) {
            if (exact[i] < 'A' || exact[i] > 'Z')
                return false;
            exact[i] = char(exact[i] + 32);
        }
    if (!getVarint(in, rest) || !bytes(in, rest, part))
        return false;
    exact.append(part);
    return true;
}

bool skip(std::string_view &in)
{
    std::uint64_t h = 0, rest = 0;
    std::string_view part;
    if (!getVarint(in, h))
        return false;
    if (h == 0)
        return true;
    if (h % 2 == 0)
        return bytes(in, h / 2 - 1, part);
    return bytes(in, (h / 2 + 7) / 8, part) && getVarint(in, rest) && bytes(in, rest, part);
}

} // namespace exactcodec
