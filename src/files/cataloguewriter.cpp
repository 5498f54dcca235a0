#include "files/cataloguewriter.h"

#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "files/cataloguefile.h"
#include "files/catalogueformat.h"
#include "files/sqlitestream.h"
#include "platform/atomicfile.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <deque>
#include <future>
#include <vector>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

// The folder texts back to back: summing a record's folder then reads one place, not
// three scattered ones.
class FolderTexts {
public:
    explicit FolderTexts(const SharedTextColumn &folders) : m_ends(folders.count())
    {
        for (std::uint32_t id = 0; id < folders.count(); ++id) {
            m_bytes += folders.value(id);
            m_ends[id] = m_bytes.size();
        }
    }
    [[nodiscard]] std::string_view operator[](std::uint32_t id) const
    {
        return {m_bytes.data() + begin(id), m_ends[id] - begin(id)};
    }
    void prefetch(std::uint32_t id) const { __builtin_prefetch(m_bytes.data() + begin(id)); }

private:
    [[nodiscard]] std::size_t begin(std::uint32_t id) const { return id ? m_ends[id - 1] : 0; }
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

// A block of records as rows of the files table.
class RowBlock {
public:
    // Read field by field: records in display order lie scattered through memory, and a
    // loop over one field lets the processor fetch many of them at once.
    void fill(const RecordSet &records, const FolderTexts &folders, int first, Checksum &sum,
              std::vector<bool> &secondsUsed)
    {
        m_first = first;
        m_size = std::min(kBlockRows, records.count() - first);
        m_spill.clear();
        for (int i = 0; i < m_size; ++i) {
            m_rows[std::size_t(i)] = records.bookmarkAt(first + i);
            records.prefetch(first + i, false);
        }
        for (int i = 0; i < m_size; ++i) {
            records.prefetch(first + i, fld::LongName, true);
            records.prefetch(first + i, fld::ShortName, true);
        }
        padded(records, Name, fld::LongName);
        padded(records, Short, fld::ShortName);
        const SharedTextColumn &folderIds = *records.sharedValues(fld::Path);
        for (int i = 0; i < m_size; ++i) {
            const std::uint32_t id = folderIds.id(m_rows[std::size_t(i)]);
            folders.prefetch(id);
            at(i, Folder).set(qint64(id) + 1);
        }
        packed(records, Modified, fld::Modified);
        packed(records, Created, fld::Created);
        packed(records, Accessed, fld::Accessed);
        for (int i = 0; i < m_size; ++i)
            at(i, Size).set(records.integerAt(first + i, fld::Size));
        packed(records, DateKey, fld::DateKey);
        const SharedTextColumn &extensions = *records.sharedValues(fld::Extension);
        for (int i = 0; i < m_size; ++i)
            at(i, Extension).set(extensions.value(extensions.id(m_rows[std::size_t(i)])));
        finish(folders, sum, secondsUsed);
    }
    [[nodiscard]] int size() const { return m_size; }
    [[nodiscard]] const Cell &cell(int row, int column) const
    {
        return m_cells[std::size_t(row) * kFileColumns + std::size_t(column)];
    }

private:
    Cell &at(int row, int column) { return m_cells[std::size_t(row) * kFileColumns + std::size_t(column)]; }

    // A text as its part before the trailing blanks and their count.
    void padded(const RecordSet &records, int column, int field)
    {
        for (int i = 0; i < m_size; ++i) {
            std::size_t blanks = 0;
            std::string_view trimmed = records.trimmedAt(m_first + i, field, m_scratch, blanks);
            if (trimmed.data() >= m_scratch.data() && trimmed.data() < m_scratch.data() + m_scratch.size())
                trimmed = m_spill.emplace_back(trimmed);
            at(i, column).set(trimmed);
            at(i, column + 1).set(qint64(blanks));
        }
    }

    // The record set's packed form as an integer, anything else as text.
    void packed(const RecordSet &records, int column, int field)
    {
        for (int i = 0; i < m_size; ++i) {
            std::uint64_t code = 0;
            if (records.packedAt(m_first + i, field, code)) {
                at(i, column).set(qint64(code));
            } else {
                records.utf8At(m_first + i, field, m_scratch);
                at(i, column).set(m_spill.emplace_back(m_scratch));
            }
        }
    }

    // Leaves out a creation time equal to the modification time, and sums the records in order.
    void finish(const FolderTexts &folders, Checksum &total, std::vector<bool> &secondsUsed)
    {
        Checksum sum = total; // a local the compiler keeps in a register
        for (int i = 0; i < m_size; ++i) {
            const Cell &modified = cell(i, Modified);
            if (modified.kind == Cell::Integer && cell(i, Created).kind == Cell::Integer &&
                modified.integer == cell(i, Created).integer)
                at(i, Created) = Cell{};
            if (cell(i, DateKey).kind == Cell::Integer)
                secondsUsed[std::uint64_t(cell(i, DateKey).integer) & kSecondBits] = true;
            sum.addRow(&cell(i, 0), folders[std::uint32_t(cell(i, Folder).integer - 1)]);
        }
        total = sum;
    }

    int m_first = 0;
    int m_size = 0;
    std::vector<Cell> m_cells = std::vector<Cell>(std::size_t(kBlockRows) * kFileColumns);
    std::vector<RecordSet::Bookmark> m_rows = std::vector<RecordSet::Bookmark>(kBlockRows);
    std::deque<std::string> m_spill; // texts the record set does not keep as they are
    std::string m_scratch;
};

// The records in the set's current order as rows of the files table, summed on the way.
// The next block is gathered on a second thread while SQLite writes the current one.
class FileRows final : public sqlitedb::RowSource {
public:
    FileRows(const RecordSet &records, const atomicfile::Writeback &writeback)
        : m_records(records), m_folders(*records.sharedValues(fld::Path)), m_writeback(writeback)
    {
        startFill(0);
    }

    bool next() override
    {
        if (m_current && ++m_row < m_current->size())
            return true;
        if (!m_filling.valid())
            return false;
        m_filling.get();
        m_current = &m_blocks[m_filled];
        m_row = 0;
        startFill(m_next);
        return m_current->size() > 0;
    }
    void column(sqlite3_context *ctx, int column) override { m_current->cell(m_row, column).result(ctx); }

    // Valid once next() has returned false.
    [[nodiscard]] qint64 checksum() const { return m_sum.value(); }
    [[nodiscard]] bool secondUsed(int second) const { return m_secondsUsed[std::size_t(second)]; }

private:
    void startFill(int first)
    {
        if (first >= m_records.count())
            return;
        m_filled = m_current == &m_blocks[0] ? 1 : 0;
        m_next = first + kBlockRows;
        m_filling = std::async(std::launch::async, [this, first, block = &m_blocks[m_filled]] {
            block->fill(m_records, m_folders, first, m_sum, m_secondsUsed);
            // This thread has time to spare: SQLite is the slower side.
            if ((first / kBlockRows) % kWritebackBlocks == kWritebackBlocks - 1)
                m_writeback.start();
        });
    }

    // About 2.5 MB of the file a time.
    static constexpr int kWritebackBlocks = 16;
    const RecordSet &m_records;
    const FolderTexts m_folders;
    const atomicfile::Writeback &m_writeback;
    std::array<RowBlock, 2> m_blocks;
    const RowBlock *m_current = nullptr;
    int m_row = 0;
    std::size_t m_filled = 0; // the block being filled
    int m_next = 0;           // the first record of the block after it
    std::vector<bool> m_secondsUsed = std::vector<bool>(kSecondsPerDay);
    Checksum m_sum;
    std::future<void> m_filling; // last, so it is waited for before the blocks go
};

// Rows of a number and a text, for the small tables.
class NumberedTexts final : public sqlitedb::RowSource {
public:
    void add(qint64 number, std::string_view text) { m_rows.emplace_back(number, text); }
    bool next() override { return ++m_row < m_rows.size(); }
    void column(sqlite3_context *ctx, int column) override
    {
        const auto &[number, text] = m_rows[m_row];
        Cell cell;
        if (column == 0)
            cell.set(number);
        else
            cell.set(text);
        cell.result(ctx);
    }

private:
    std::vector<std::pair<qint64, std::string_view>> m_rows;
    std::size_t m_row = std::size_t(-1);
};

void writeFields(Db &db, const RecordSet &records)
{
    Stmt st(db, "INSERT INTO fields VALUES (?, ?, ?, ?, ?)");
    for (int f = 0; f < records.fieldCount(); ++f) {
        const FieldDef &d = records.field(f);
        const std::string name = text::fromQString(d.name);
        st.bind(1, f);
        st.bind(2, name);
        st.bind(3, d.adoType);
        st.bind(4, d.definedSize);
        st.bind(5, d.attributes);
        st.run();
    }
}

// Every folder value the records may name, numbered from 1 in the column's own order.
void writeFolders(Db &db, const SharedTextColumn &folders)
{
    NumberedTexts rows;
    for (std::uint32_t id = 0; id < folders.count(); ++id)
        rows.add(qint64(id) + 1, folders.value(id));
    sqlitedb::insertAll(db, "folders", 2, rows);
}

// Only for the view: the record set rebuilds the texts itself.
void writeFractions(Db &db, const FileRows &files)
{
    std::vector<int> seconds;
    std::string texts;
    for (int second = 0; second < kSecondsPerDay; ++second) {
        if (files.secondUsed(second)) {
            seconds.push_back(second);
            values::appendFractionText(second, texts);
            texts += '\0';
        }
    }
    NumberedTexts rows;
    const char *text = texts.data();
    for (const int second : seconds) {
        const std::string_view fraction(text);
        rows.add(second, fraction);
        text += fraction.size() + 1;
    }
    sqlitedb::insertAll(db, "fractions", 2, rows);
}

} // namespace

void writeCatalogue(const RecordSet &records, const std::string &path)
{
    const atomicfile::Writeback writeback(path);
    FileRows files(records, writeback); // the first block is gathered while the file is set up
    Db db;
    db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // The file is private until it is renamed into place: no journal is needed, and it
    // is synced as a whole afterwards. A small cache sends pages to the file as they fill,
    // where the disk can start on them.
    db.exec("PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "PRAGMA locking_mode = EXCLUSIVE; PRAGMA cache_size = -8192;");
    db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId) +
             "; PRAGMA user_version = " + std::to_string(kVersion) + "; BEGIN")
                .c_str());
    db.exec(kSchema);
    writeFields(db, records);
    writeFolders(db, *records.sharedValues(fld::Path));
    sqlitedb::insertAll(db, "files", kFileColumns, files);
    writeFractions(db, files);
    Stmt total(db, "INSERT INTO catalogue VALUES (?, ?)");
    total.bind(1, records.count());
    total.bind(2, files.checksum());
    total.run();
    db.exec("COMMIT");
}

} // namespace cataloguefile
