#include "files/tablereader.h"

#include "files/btreeformat.h"

#include <cstring>

namespace sqlitedb {
namespace {

using namespace btree;

// SQLite's own limit on a tree's depth.
constexpr std::size_t kMaxDepth = 20;

[[noreturn]] void damaged()
{
    throw Failure("its records are damaged");
}

// A pointer that is not null, or the end of the reading.
const unsigned char *checked(const unsigned char *p)
{
    if (!p)
        damaged();
    return p;
}

// A big-endian two's complement integer of `bytes` bytes.
qint64 signedValue(const unsigned char *p, std::size_t bytes)
{
    const std::uint64_t v = get(p, bytes);
    const unsigned shift = unsigned(64 - 8 * bytes);
    return bytes == 0 ? 0 : qint64(v << shift) >> shift;
}

} // namespace

TableReader::TableReader(const std::string &path, std::uint32_t root, int columns)
    : m_file(path, OffsetFile::ReadOnly), m_root(root), m_columns(std::size_t(columns)), m_cells(m_columns)
{
    if (!m_file.valid())
        throw Failure(m_file.error());
    unsigned char header[kHeaderBytes];
    if (!m_file.read(0, header, sizeof header))
        throw Failure("it is not a database");
    const Geometry g = geometry(header);
    m_pageSize = g.pageSize;
    m_usable = g.usable;
    m_pages = g.pages;
    if (m_pages == 0) // not recorded: the file's length says
        m_pages = std::uint32_t(std::min<std::uint64_t>(m_file.size() / m_pageSize, UINT32_MAX));
    m_seen.assign(std::size_t(m_pages) + 1, false);
}

void TableReader::read(Sink &sink)
{
    visit(m_root, 0, sink);
}

void TableReader::visit(std::uint32_t page, std::size_t depth, Sink &sink)
{
    const unsigned char *p = load(page, depth);
    if (p[0] == kLeafTable) {
        readLeaf(p, sink);
        return;
    }
    if (p[0] != kInteriorTable)
        damaged();
    const auto cells = std::size_t(get(p + 3, 2));
    if (kInteriorHeader + 2 * cells > m_usable)
        damaged();
    for (std::size_t i = 0; i < cells; ++i) {
        const auto at = std::size_t(get(p + kInteriorHeader + 2 * i, 2));
        if (at < kInteriorHeader + 2 * cells || at + 4 > m_usable)
            damaged();
        visit(std::uint32_t(get(p + at, 4)), depth + 1, sink);
        p = m_levels[depth].data(); // still this level's page, whatever the children did
    }
    visit(std::uint32_t(get(p + 8, 4)), depth + 1, sink);
}

// Reads a page into its level's buffer, once per reading.
const unsigned char *TableReader::load(std::uint32_t page, std::size_t depth)
{
    if (depth >= kMaxDepth || page < 2 || page > m_pages || m_seen[page])
        damaged();
    m_seen[page] = true;
    if (m_levels.size() <= depth)
        m_levels.resize(depth + 1, Bytes(m_pageSize));
    Bytes &bytes = m_levels[depth];
    if (!m_file.read(std::uint64_t(page - 1) * m_pageSize, bytes.data(), m_pageSize))
        damaged();
    return bytes.data();
}

void TableReader::readLeaf(const unsigned char *page, Sink &sink)
{
    const unsigned char *end = page + m_usable;
    const auto cells = std::size_t(get(page + 3, 2));
    if (kLeafHeader + 2 * cells > m_usable)
        damaged();
    for (std::size_t i = 0; i < cells; ++i) {
        const auto at = std::size_t(get(page + kLeafHeader + 2 * i, 2));
        if (at < kLeafHeader + 2 * cells || at >= m_usable)
            damaged();
        std::uint64_t size = 0, rowid = 0;
        const unsigned char *p = checked(getVarint(page + at, end, size));
        p = checked(getVarint(p, end, rowid));
        if (m_rows && qint64(rowid) <= m_lastRowid)
            damaged();
        const std::size_t local = localBytes(m_usable, size);
        if (local > std::size_t(end - p))
            damaged();
        const unsigned char *payload = local < size ? payloadOf(p, local, size, end) : p;
        decode(payload, std::size_t(size));
        sink.take(m_cells.data());
        ++m_rows;
        m_lastRowid = qint64(rowid);
    }
}

// The whole payload of a row that goes on through a chain of overflow pages.
const unsigned char *TableReader::payloadOf(const unsigned char *local, std::size_t localSize, std::uint64_t size,
                                            const unsigned char *end)
{
    // No row of ours comes near it; a damaged size must not make us read gigabytes.
    if (size > m_columns * (kMaxValueBytes + kMaxVarint) + kMaxVarint || localSize + 4 > std::size_t(end - local))
        damaged();
    m_overflow.resize(std::size_t(size));
    std::memcpy(m_overflow.data(), local, localSize);
    auto next = std::uint32_t(get(local + localSize, 4));
    Bytes bytes(m_pageSize);
    for (std::size_t done = localSize; done < size;) {
        if (next < 2 || next > m_pages || m_seen[next])
            damaged();
        m_seen[next] = true;
        if (!m_file.read(std::uint64_t(next - 1) * m_pageSize, bytes.data(), m_pageSize))
            damaged();
        const std::size_t part = std::min<std::size_t>(m_usable - 4, std::size_t(size) - done);
        std::memcpy(m_overflow.data() + done, bytes.data() + 4, part);
        done += part;
        next = std::uint32_t(get(bytes.data(), 4));
    }
    return m_overflow.data();
}

// A record: a header of its length and the values' types, then the values.
void TableReader::decode(const unsigned char *payload, std::size_t size)
{
    const unsigned char *end = payload + size;
    std::uint64_t headerSize = 0;
    const unsigned char *type = checked(getVarint(payload, end, headerSize));
    if (headerSize > size)
        damaged();
    const unsigned char *headerEnd = payload + headerSize;
    const unsigned char *body = headerEnd;
    for (Cell &cell : m_cells) {
        std::uint64_t serial = 0;
        type = checked(getVarint(type, headerEnd, serial));
        const std::uint64_t bytes = bodyBytes(serial);
        if (serial == 10 || serial == 11 || bytes > std::uint64_t(end - body))
            damaged();
        cell = Cell{};
        if (serial >= 1 && serial <= 6)
            cell.set(signedValue(body, std::size_t(bytes)));
        else if (serial == 8 || serial == 9)
            cell.set(qint64(serial - 8));
        else if (serial >= 13 && serial % 2 == 1)
            cell.set(std::string_view(reinterpret_cast<const char *>(body), std::size_t(bytes)));
        else if (serial != 0)
            cell.kind = Cell::Other;
        if (cell.kind == Cell::Text && bytes > kMaxValueBytes)
            throw Failure("a value is too long");
        body += bytes;
    }
    // Values beyond the table's columns, or bytes beyond the values.
    if (type != headerEnd || body != end)
        damaged();
}

} // namespace sqlitedb
