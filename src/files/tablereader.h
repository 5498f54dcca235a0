#pragma once
// Reads the rows of a table straight from a database file's B-tree pages, in rowid order:
// SQLite spends longer taking a row apart and handing out its values than the rest of an
// open does with it. Every page, cell and record is checked against the file format as it
// is read, so a damaged file is refused, never followed out of bounds or round in circles.

#include "files/sqlitedb.h"
#include "platform/offsetfile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sqlitedb {

class TableReader {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        // One row's values, valid during the call. May throw to stop the reading.
        virtual void take(const Cell *values) = 0;
    };

    // `root` is the root page of a table with rowids whose rows have `columns` values.
    // Throws Failure when the file cannot be read or is not a database.
    TableReader(const std::string &path, std::uint32_t root, int columns);
    // Every row, in rowid order; throws Failure at the first damage found.
    void read(Sink &sink);

private:
    using Bytes = std::vector<unsigned char>;

    void visit(std::uint32_t page, std::size_t depth, Sink &sink);
    void readLeaf(const unsigned char *page, Sink &sink);
    [[nodiscard]] const unsigned char *payloadOf(const unsigned char *local, std::size_t localSize, std::uint64_t size,
                                                 const unsigned char *end);
    void decode(const unsigned char *payload, std::size_t size);
    [[nodiscard]] const unsigned char *load(std::uint32_t page, std::size_t depth);

    OffsetFile m_file;
    std::uint32_t m_root = 0;
    std::size_t m_columns = 0;
    std::uint32_t m_pageSize = 0;
    std::uint32_t m_usable = 0;
    std::uint32_t m_pages = 0;
    std::vector<bool> m_seen;    // pages already read: a page in two places is damage
    std::vector<Bytes> m_levels; // a page per level of the tree, from the root down
    Bytes m_overflow;            // a row whose payload goes on past its leaf
    std::vector<Cell> m_cells;
    qint64 m_rows = 0;
    qint64 m_lastRowid = 0;
};

} // namespace sqlitedb
