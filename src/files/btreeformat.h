#pragma once
// What the table writer and reader share of SQLite's file format: the database header, the
// pages of a table's B-tree, varints and records.

#include "files/sqlitedb.h"

#include <cstddef>
#include <cstdint>

namespace sqlitedb::btree {

// Offsets into the file's first 100 bytes.
constexpr std::size_t kHeaderBytes = 100;
constexpr std::size_t kPageSizeAt = 16, kReservedAt = 20, kChangeCounterAt = 24, kPageCountAt = 28;
constexpr std::size_t kSchemaFormatAt = 44, kVacuumRootAt = 52, kValidForAt = 92;

constexpr unsigned char kLeafTable = 0x0D, kInteriorTable = 0x05;
constexpr std::size_t kLeafHeader = 8, kInteriorHeader = 12;
constexpr std::size_t kMaxVarint = 9;

// What the header says about the pages.
struct Geometry {
    std::uint32_t pageSize = 0;
    std::uint32_t usable = 0;   // the page less the bytes reserved at its end
    std::uint32_t pages = 0;    // 0 when the header's count is out of date
    bool smallIntegers = false; // 0 and 1 kept in a record's header alone
    bool autoVacuum = false;
};
// Throws Failure when the bytes are not a database header.
[[nodiscard]] Geometry geometry(const unsigned char *header);

[[nodiscard]] inline std::uint64_t get(const unsigned char *p, std::size_t bytes)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

inline void put(unsigned char *p, std::uint64_t v, std::size_t bytes)
{
    for (std::size_t i = bytes; i-- > 0; v >>= 8)
        p[i] = static_cast<unsigned char>(v);
}

// Varints are big-endian, seven bits a byte with the top bit saying more follow; a ninth
// byte has eight. Most are one byte, which these take without a loop: they run for every
// value of every row.
[[nodiscard]] inline std::size_t varintBytes(std::uint64_t v)
{
    std::size_t n = 1;
    for (; n < kMaxVarint && v > 0x7F; v >>= 7)
        ++n;
    return n;
}

unsigned char *putLongVarint(unsigned char *p, std::uint64_t v);
inline unsigned char *putVarint(unsigned char *p, std::uint64_t v)
{
    if (v > 0x7F)
        return putLongVarint(p, v);
    *p = static_cast<unsigned char>(v);
    return p + 1;
}

const unsigned char *getLongVarint(const unsigned char *p, const unsigned char *end, std::uint64_t &v);
// The varint at p, which must end before `end`; nullptr when it does not.
inline const unsigned char *getVarint(const unsigned char *p, const unsigned char *end, std::uint64_t &v)
{
    if (p < end && *p < 0x80) {
        v = *p;
        return p + 1;
    }
    return getLongVarint(p, end, v);
}

// How much of a row's payload its leaf cell holds; the rest is on overflow pages.
[[nodiscard]] std::size_t localBytes(std::uint32_t usable, std::uint64_t payload);
// The bytes a value of a record's serial type takes in the record's body.
[[nodiscard]] inline std::uint64_t bodyBytes(std::uint64_t serialType)
{
    constexpr std::uint8_t kFixed[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    return serialType < 12 ? kFixed[serialType] : (serialType - 12) / 2;
}

} // namespace sqlitedb::btree
