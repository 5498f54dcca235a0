#include "files/btreeformat.h"

#include <algorithm>
#include <cstring>

namespace sqlitedb::btree {

Geometry geometry(const unsigned char *header)
{
    Geometry g;
    const auto size = std::uint32_t(get(header + kPageSizeAt, 2));
    g.pageSize = size == 1 ? 65536 : size;
    g.usable = g.pageSize - header[kReservedAt];
    if (std::memcmp(header, "SQLite format 3", 16) != 0 || g.pageSize < 512 || (g.pageSize & (g.pageSize - 1)) ||
        g.usable < 480)
        throw Failure("it is not a database");
    if (get(header + kChangeCounterAt, 4) == get(header + kValidForAt, 4))
        g.pages = std::uint32_t(get(header + kPageCountAt, 4));
    g.smallIntegers = get(header + kSchemaFormatAt, 4) >= 4;
    g.autoVacuum = get(header + kVacuumRootAt, 4) != 0;
    return g;
}

unsigned char *putLongVarint(unsigned char *p, std::uint64_t v)
{
    const std::size_t n = varintBytes(v);
    if (n == kMaxVarint) {
        p[8] = static_cast<unsigned char>(v);
        v >>= 8;
    }
    for (std::size_t i = std::min(n, kMaxVarint - 1); i-- > 0; v >>= 7)
        p[i] = static_cast<unsigned char>((v & 0x7F) | (i + 1 < n ? 0x80 : 0));
    return p + n;
}

const unsigned char *getLongVarint(const unsigned char *p, const unsigned char *end, std::uint64_t &v)
{
    v = 0;
    for (std::size_t i = 0; i < kMaxVarint; ++i) {
        if (p + i >= end)
            return nullptr;
        if (i == kMaxVarint - 1) {
            v = v << 8 | p[i];
            return p + kMaxVarint;
        }
        v = v << 7 | (p[i] & 0x7F);
        if (!(p[i] & 0x80))
            return p + i + 1;
    }
    return nullptr;
}

std::size_t localBytes(std::uint32_t usable, std::uint64_t payload)
{
    const std::size_t most = usable - 35;
    if (payload <= most)
        return std::size_t(payload);
    const std::size_t least = (usable - 12) * 32 / 255 - 23;
    const std::size_t k = least + std::size_t((payload - least) % (usable - 4));
    return k <= most ? k : least;
}

} // namespace sqlitedb::btree
