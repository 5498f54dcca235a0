#include "files/tablewriter.h"

#include "files/btreeformat.h"

#include <algorithm>
#include <cstring>

namespace sqlitedb {
namespace {

using namespace btree;

constexpr std::size_t kPendingPages = 16;

// The record format's type code of a value and the bytes its body takes.
std::uint64_t serialType(const Cell &value, bool smallIntegers, std::size_t &bytes)
{
    if (value.kind == Cell::Text) {
        bytes = value.text.size();
        return 2 * std::uint64_t(bytes) + 13;
    }
    if (value.kind != Cell::Integer) {
        if (value.kind != Cell::Null)
            throw Failure("a value has the wrong type");
        bytes = 0;
        return 0;
    }
    const qint64 v = value.integer;
    if (smallIntegers && (v == 0 || v == 1)) {
        bytes = 0;
        return 8 + std::uint64_t(v);
    }
    const std::uint64_t u = v < 0 ? ~std::uint64_t(v) : std::uint64_t(v);
    static constexpr std::uint64_t kLimits[] = {0x7F, 0x7FFF, 0x7FFFFF, 0x7FFFFFFF, 0x7FFFFFFFFFFF};
    std::uint64_t type = 1;
    while (type < 6 && u > kLimits[type - 1])
        ++type;
    bytes = std::size_t(bodyBytes(type));
    return type;
}

} // namespace

TableWriter::TableWriter(const std::string &path, std::uint32_t root)
    : m_file(path, OffsetFile::ReadWrite), m_root(root)
{
    check(m_file.valid());
    unsigned char header[kHeaderBytes];
    check(m_file.read(0, header, sizeof header));
    const Geometry g = geometry(header);
    m_pageSize = g.pageSize;
    m_usable = g.usable;
    m_pages = g.pages;
    m_smallIntegers = g.smallIntegers;
    // The page count must be the recorded one, and pointer maps would need keeping too.
    if (m_pages == 0 || root < 2 || root > m_pages || g.autoVacuum)
        throw Failure("the database is not one that rows can be added to directly");
    unsigned char rootHeader[kLeafHeader];
    check(m_file.read(std::uint64_t(root - 1) * m_pageSize, rootHeader, sizeof rootHeader));
    if (rootHeader[0] != kLeafTable || get(rootHeader + 3, 2) != 0)
        throw Failure("the table to fill is not empty");
    // SQLite never uses the page that holds its lock bytes.
    const int pendingByte = sqlite3_test_control(SQLITE_TESTCTRL_PENDING_BYTE, 0);
    m_lockPage = std::uint32_t((pendingByte > 0 ? unsigned(pendingByte) : 0x40000000u) / m_pageSize + 1);
    m_leaf.assign(m_pageSize, 0);
    m_content = m_usable;
}

void TableWriter::add(qint64 rowid, const Cell *values, int count)
{
    if (m_rows && rowid <= m_lastRowid)
        throw Failure("rowids must rise");
    buildPayload(values, count);
    const std::size_t payload = m_payload.size();
    const std::size_t local = localBytes(m_usable, payload);
    const std::size_t cell =
        varintBytes(payload) + varintBytes(std::uint64_t(rowid)) + local + (local < payload ? 4 : 0);
    if (kLeafHeader + 2 * std::size_t(m_cells + 1) + cell > m_content)
        closeLeaf(newPage());
    m_content -= std::uint32_t(cell);
    unsigned char *p = m_leaf.data() + m_content;
    p = putVarint(p, payload);
    p = putVarint(p, std::uint64_t(rowid));
    std::memcpy(p, m_payload.data(), local);
    if (local < payload)
        writeOverflow(local, p + local);
    put(m_leaf.data() + kLeafHeader + 2 * std::size_t(m_cells), m_content, 2);
    ++m_cells;
    ++m_rows;
    m_lastRowid = rowid;
}

// The record: a header of its length and the values' types, then the values.
void TableWriter::buildPayload(const Cell *values, int count)
{
    std::uint64_t types[64];
    if (count < 0 || count > int(std::size(types)))
        throw Failure("a row has too many values");
    std::size_t typeBytes = 0, body = 0;
    for (int c = 0; c < count; ++c) {
        std::size_t bytes = 0;
        types[c] = serialType(values[c], m_smallIntegers, bytes);
        typeBytes += varintBytes(types[c]);
        body += bytes;
    }
    std::size_t header = typeBytes + 1;
    while (varintBytes(header) + typeBytes > header)
        header = varintBytes(header) + typeBytes;
    m_payload.resize(header + body);
    unsigned char *p = putVarint(m_payload.data(), header);
    for (int c = 0; c < count; ++c)
        p = putVarint(p, types[c]);
    for (int c = 0; c < count; ++c) {
        const Cell &v = values[c];
        if (v.kind == Cell::Text) {
            if (!v.text.empty())
                std::memcpy(p, v.text.data(), v.text.size());
            p += v.text.size();
        } else if (v.kind == Cell::Integer) {
            const auto bytes = std::size_t(bodyBytes(types[c]));
            put(p, std::uint64_t(v.integer), bytes);
            p += bytes;
        }
    }
}

void TableWriter::writeOverflow(std::size_t local, unsigned char *pointer)
{
    const std::size_t perPage = m_usable - 4;
    std::vector<std::uint32_t> pages((m_payload.size() - local + perPage - 1) / perPage);
    for (std::uint32_t &page : pages)
        page = newPage();
    put(pointer, pages[0], 4);
    Bytes bytes(m_pageSize);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::fill(bytes.begin(), bytes.end(), 0);
        put(bytes.data(), i + 1 < pages.size() ? pages[i + 1] : 0, 4);
        const std::size_t from = local + i * perPage;
        std::memcpy(bytes.data() + 4, m_payload.data() + from, std::min(perPage, m_payload.size() - from));
        writePage(pages[i], bytes);
    }
}

void TableWriter::closeLeaf(std::uint32_t page)
{
    m_leaf[0] = kLeafTable;
    put(m_leaf.data() + 1, 0, 2);
    put(m_leaf.data() + 3, std::uint64_t(m_cells), 2);
    put(m_leaf.data() + 5, m_content == 65536 ? 0 : m_content, 2);
    m_leaf[7] = 0;
    // What an earlier leaf left between the pointers and the cells.
    const std::size_t pointersEnd = kLeafHeader + 2 * std::size_t(m_cells);
    std::fill(m_leaf.begin() + std::ptrdiff_t(pointersEnd), m_leaf.begin() + m_content, 0);
    writePage(page, m_leaf);
    if (page != m_root)
        m_children.push_back({page, m_lastRowid});
    m_cells = 0;
    m_content = m_usable;
}

void TableWriter::finish()
{
    if (m_children.empty()) {
        if (m_cells)
            closeLeaf(m_root);
    } else {
        if (m_cells)
            closeLeaf(newPage());
        writeLevels();
    }
    flushPending();
    unsigned char header[kHeaderBytes];
    check(m_file.read(0, header, sizeof header));
    put(header + kPageCountAt, m_pages, 4);
    std::memcpy(header + kValidForAt, header + kChangeCounterAt, 4);
    check(m_file.write(0, header, sizeof header));
}

// Interior pages over the leaves, level by level, until one page holds them all: the root.
void TableWriter::writeLevels()
{
    const std::size_t capacity = (m_usable - kInteriorHeader) / (2 + 4 + kMaxVarint);
    for (;;) {
        std::size_t bytes = kInteriorHeader;
        for (std::size_t i = 0; i + 1 < m_children.size(); ++i)
            bytes += 2 + 4 + varintBytes(std::uint64_t(m_children[i].lastRowid));
        if (bytes <= m_usable) {
            writeInterior(m_root, m_children.data(), m_children.size());
            return;
        }
        // Shared out evenly, so that no page is left with a single child.
        const std::size_t pages = (m_children.size() + capacity - 1) / capacity;
        std::vector<Child> parents;
        for (std::size_t p = 0, from = 0; p < pages; ++p) {
            const std::size_t to = m_children.size() * (p + 1) / pages;
            const std::uint32_t page = newPage();
            writeInterior(page, m_children.data() + from, to - from);
            parents.push_back({page, m_children[to - 1].lastRowid});
            from = to;
        }
        m_children = std::move(parents);
    }
}

void TableWriter::writeInterior(std::uint32_t page, const Child *children, std::size_t count)
{
    Bytes bytes(m_pageSize, 0);
    bytes[0] = kInteriorTable;
    put(bytes.data() + 3, count - 1, 2);
    put(bytes.data() + 8, children[count - 1].page, 4);
    std::size_t content = m_usable;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        content -= 4 + varintBytes(std::uint64_t(children[i].lastRowid));
        put(bytes.data() + content, children[i].page, 4);
        putVarint(bytes.data() + content + 4, std::uint64_t(children[i].lastRowid));
        put(bytes.data() + kInteriorHeader + 2 * i, content, 2);
    }
    put(bytes.data() + 5, content == 65536 ? 0 : content, 2);
    writePage(page, bytes);
}

std::uint32_t TableWriter::newPage()
{
    if (++m_pages == m_lockPage)
        ++m_pages;
    if (m_pages == 0 || m_pages > 0xFFFFFFFEu)
        throw Failure("the database would be too large");
    return m_pages;
}

void TableWriter::writePage(std::uint32_t page, const Bytes &bytes)
{
    const std::size_t held = m_pending.size() / m_pageSize;
    if (held && (page != m_pendingFirst + held || held == kPendingPages))
        flushPending();
    if (m_pending.empty())
        m_pendingFirst = page;
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

void TableWriter::flushPending()
{
    if (m_pending.empty())
        return;
    check(m_file.write(std::uint64_t(m_pendingFirst - 1) * m_pageSize, m_pending.data(), m_pending.size()));
    m_pending.clear();
}

void TableWriter::check(bool ok) const
{
    if (!ok)
        throw Failure(m_file.error());
}

} // namespace sqlitedb
