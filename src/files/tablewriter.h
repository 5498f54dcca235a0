#pragma once
// Fills an empty table of a database file by writing its B-tree pages straight into the file.
// SQLite's own insert spends several times as long on a row as laying out its bytes does,
// and the table that results is the same to any reader.

#include "files/sqlitedb.h"
#include "platform/offsetfile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sqlitedb {

class TableWriter {
public:
    // `path` is a database that no connection has open, `root` the root page of an empty
    // table with rowids in it. Throws Failure when the file is not like that.
    TableWriter(const std::string &path, std::uint32_t root);

    // Appends a row under a rowid above every earlier one. The table's INTEGER PRIMARY KEY
    // column, if it has one, is given as Null: its value is the rowid.
    void add(qint64 rowid, const Cell *values, int count);
    // Under the rowid after the last one, 1 for the first.
    void add(const Cell *values, int count) { add(m_rows ? m_lastRowid + 1 : 1, values, count); }
    // Writes the upper levels of the tree, its root and the file's new page count: until
    // then the file holds the empty table it held before.
    void finish();

private:
    struct Child {
        std::uint32_t page;
        qint64 lastRowid;
    };
    using Bytes = std::vector<unsigned char>;

    void buildPayload(const Cell *values, int count);
    void writeOverflow(std::size_t local, unsigned char *pointer);
    void closeLeaf(std::uint32_t page);
    void writeLevels();
    void writeInterior(std::uint32_t page, const Child *children, std::size_t count);
    [[nodiscard]] std::uint32_t newPage();
    void writePage(std::uint32_t page, const Bytes &bytes);
    void flushPending();
    void check(bool ok) const;

    OffsetFile m_file;
    std::uint32_t m_root = 0;
    std::uint32_t m_pageSize = 0;
    std::uint32_t m_usable = 0; // the page less the bytes reserved at its end
    std::uint32_t m_pages = 0;  // pages the file has so far
    std::uint32_t m_lockPage = 0;
    bool m_smallIntegers = false; // 0 and 1 kept in the header alone
    qint64 m_rows = 0;
    qint64 m_lastRowid = 0;
    Bytes m_leaf;
    int m_cells = 0;
    std::uint32_t m_content = 0; // where the leaf's cells begin
    std::vector<Child> m_children;
    Bytes m_payload;
    Bytes m_pending; // pages that follow each other, written together
    std::uint32_t m_pendingFirst = 0;
};

} // namespace sqlitedb
