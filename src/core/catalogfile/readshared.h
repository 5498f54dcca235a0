#pragma once
// What reading a whole catalogue file and reading some of its rows share: the checks of the
// file's identity and layout, one read transaction, and the building of records from rows.
// Each throws sqlitedb::Failure with the reason.

#include "catalogfile/catalogueformat.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cataloguefile {

// Opens the file (read-only unless `write`) and begins the one read transaction every check
// and every record come from; then checks that it is a catalogue file of this version or
// older with the layout of `expected`.
void beginRead(sqlitedb::Db &db, const std::string &path, const RecordSet &expected, bool write = false);

// Whether the file has all `count` of the tables named (a quoted, comma-separated list).
[[nodiscard]] bool hasTables(sqlitedb::Db &db, const char *names, int count);

[[nodiscard]] qint64 integerIn(const Cell &v, qint64 low, qint64 high);
[[nodiscard]] std::string_view textOf(const Cell &v);

// Whether an exact name gives the long-name field's value: its text, then `blanks` blanks.
[[nodiscard]] bool givesLongName(const std::string &exact, std::string_view field, std::size_t blanks,
                                 std::string &derived);

// The volumes the file records, without their folders; false for an older file.
bool readVolumeList(sqlitedb::Db &db, Volumes &out);

// Takes the files table's rows, checked, into the record set.
class RecordBuilder {
public:
    // folderIds maps the file's folder numbers, less one, to the record set's.
    RecordBuilder(RecordSet &out, const std::vector<std::uint32_t> &folderIds) : m_out(out), m_folderIds(folderIds) {}
    void record(const Cell *row, const std::string *exactName);

private:
    void padded(const Cell *row, int column, int field);
    void packed(const Cell &value, int field);

    RecordSet &m_out;
    const std::vector<std::uint32_t> &m_folderIds;
};

} // namespace cataloguefile
