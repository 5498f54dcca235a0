#pragma once
// Records as rows of a catalogue file's files table, and the fractions of a second their
// date keys use: what a save writes, and what an update writes over rows it keeps.

#include "catalogfile/catalogueformat.h"
#include "catalogue/columns.h"
#include "catalogue/recordset.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace cataloguefile {

// The records in the set's current order as rows of the files table, summed on the way.
class FileRows {
public:
    explicit FileRows(const RecordSet &records);

    // The row of the record at pos, valid until the next call; its folder is the number of
    // the record set's folder, from 1.
    const std::array<Cell, kFileColumns> &row(int pos);
    // The folder of the row last given.
    [[nodiscard]] std::string_view folder() const { return m_folders.value(m_folder); }
    [[nodiscard]] qint64 checksum() const { return m_sum.value(); }
    [[nodiscard]] bool secondUsed(int second) const { return m_secondsUsed[std::size_t(second)]; }

private:
    void padded(int pos, int column, int field);
    void packed(int pos, int column, int field);

    // Records in display order lie scattered through memory: fetched this far ahead.
    static constexpr int kAhead = 8;
    const RecordSet &m_records;
    const SharedTextColumn &m_folders, &m_extensions;
    std::uint32_t m_folder = 0;
    std::array<Cell, kFileColumns> m_row;
    std::array<std::string, kFileColumns> m_scratch; // one per column: every value is bound at once
    std::vector<bool> m_secondsUsed = std::vector<bool>(kSecondsPerDay);
    Checksum m_sum;
};

// Adds the fractions the rows given used that the table lacks. Only for the view: the
// record set rebuilds the texts itself.
void writeFractions(sqlitedb::Db &db, const FileRows &files);

} // namespace cataloguefile
