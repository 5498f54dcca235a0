#include "catalogfile/filerows.h"

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"

namespace cataloguefile {

FileRows::FileRows(const RecordSet &records)
    : m_records(records), m_folders(*records.sharedValues(fld::Path)),
      m_extensions(*records.sharedValues(fld::Extension))
{
}

const std::array<Cell, kFileColumns> &FileRows::row(int pos)
{
    if (pos + kAhead < m_records.count())
        m_records.prefetch(pos + kAhead, false);
    const RecordSet::Bookmark bookmark = m_records.bookmarkAt(pos);
    padded(pos, Name, fld::LongName);
    padded(pos, Short, fld::ShortName);
    m_folder = m_folders.id(bookmark);
    m_row[Folder].set(qint64(m_folder) + 1);
    packed(pos, Modified, fld::Modified);
    packed(pos, Created, fld::Created);
    packed(pos, Accessed, fld::Accessed);
    m_row[Size].set(m_records.integerAt(pos, fld::Size));
    packed(pos, DateKey, fld::DateKey);
    m_row[Extension].set(m_extensions.value(m_extensions.id(bookmark)));
    // Left out because it equals the modification time.
    if (m_row[Modified].kind == Cell::Integer && m_row[Created].kind == Cell::Integer &&
        m_row[Modified].integer == m_row[Created].integer)
        m_row[Created] = Cell{};
    if (m_row[DateKey].kind == Cell::Integer)
        m_secondsUsed[std::uint64_t(m_row[DateKey].integer) & kSecondBits] = true;
    m_sum.addRow(m_row.data(), m_folders.value(m_folder));
    return m_row;
}

// A text as its part before the trailing blanks and their count.
void FileRows::padded(int pos, int column, int field)
{
    std::size_t blanks = 0;
    m_row[std::size_t(column)].set(m_records.trimmedAt(pos, field, m_scratch[std::size_t(column)], blanks));
    m_row[std::size_t(column) + 1].set(qint64(blanks));
}

// The record set's packed form as an integer, anything else as text.
void FileRows::packed(int pos, int column, int field)
{
    std::uint64_t code = 0;
    if (m_records.packedAt(pos, field, code)) {
        m_row[std::size_t(column)].set(qint64(code));
    } else {
        m_records.utf8At(pos, field, m_scratch[std::size_t(column)]);
        m_row[std::size_t(column)].set(m_scratch[std::size_t(column)]);
    }
}

void writeFractions(sqlitedb::Db &db, const FileRows &files)
{
    sqlitedb::Stmt st(db, "INSERT OR IGNORE INTO fractions VALUES (?, ?)");
    std::string fraction;
    for (int second = 0; second < kSecondsPerDay; ++second) {
        if (!files.secondUsed(second))
            continue;
        fraction.clear();
        values::appendFractionText(second, fraction);
        st.bind(1, second);
        st.bind(2, fraction);
        st.run();
    }
}

} // namespace cataloguefile
