#include "files/cataloguewriter.h"

#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "files/blockring.h"
#include "files/cataloguefile.h"
#include "files/catalogueformat.h"
#include "files/tablewriter.h"
#include "platform/atomicfile.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <deque>
#include <exception>
#include <thread>
#include <vector>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

// Every folder value, numbered in the column's own order.
FolderTexts folderTexts(const SharedTextColumn &folders)
{
    FolderTexts texts;
    for (std::uint32_t id = 0; id < folders.count(); ++id)
        texts.add(folders.value(id));
    return texts;
}

// A block of records as rows of the files table.
class RowBlock {
public:
    // Read field by field: records in display order lie scattered through memory, and a
    // loop over one field lets the processor fetch many of them at once.
    void fill(const RecordSet &records, const FolderTexts &folders, int first)
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

    int m_first = 0;
    int m_size = 0;
    std::vector<Cell> m_cells = std::vector<Cell>(std::size_t(kBlockRows) * kFileColumns);
    std::vector<RecordSet::Bookmark> m_rows = std::vector<RecordSet::Bookmark>(kBlockRows);
    std::deque<std::string> m_spill; // texts the record set does not keep as they are
    std::string m_scratch;
};

// The records in the set's current order as rows of the files table, summed on the way. A
// second thread gathers the blocks ahead while this one sums and writes them.
class FileRows {
public:
    FileRows(const RecordSet &records, const atomicfile::Writeback &writeback)
        : m_records(records), m_folders(folderTexts(*records.sharedValues(fld::Path))), m_writeback(writeback),
          m_gatherer([this] { gatherAll(); })
    {
    }
    ~FileRows()
    {
        m_ring.close();
        m_gatherer.join();
    }
    FileRows(const FileRows &) = delete;
    FileRows &operator=(const FileRows &) = delete;

    // Moves to the next row (the first, on the first call); false at the end.
    bool next()
    {
        if (m_current && ++m_row < m_current->size())
            return true;
        m_current = m_ring.next();
        if (!m_current)
            return false;
        m_current->finish(m_folders, m_sum, m_secondsUsed);
        m_row = 0;
        return true;
    }
    [[nodiscard]] const Cell *row() const { return &m_current->cell(m_row, 0); }

    // Valid once next() has returned false.
    [[nodiscard]] qint64 checksum() const { return m_sum.value(); }
    [[nodiscard]] bool secondUsed(int second) const { return m_secondsUsed[std::size_t(second)]; }

private:
    void gatherAll()
    {
        try {
            for (int first = 0, block = 1; first < m_records.count(); first += kBlockRows, ++block) {
                RowBlock *slot = m_ring.fillable();
                if (!slot)
                    return;
                slot->fill(m_records, m_folders, first);
                m_ring.filled();
                // This thread has time to spare between blocks.
                if (block % kWritebackBlocks == 0)
                    m_writeback.start();
            }
            m_ring.end();
        } catch (...) {
            m_ring.close(std::current_exception());
        }
    }

    // About 2.5 MB of the file a time.
    static constexpr int kWritebackBlocks = 16;
    const RecordSet &m_records;
    const FolderTexts m_folders;
    const atomicfile::Writeback &m_writeback;
    BlockRing<RowBlock, 4> m_ring;
    RowBlock *m_current = nullptr;
    int m_row = 0;
    std::vector<bool> m_secondsUsed = std::vector<bool>(kSecondsPerDay);
    Checksum m_sum;
    std::thread m_gatherer; // last, so that it starts once everything else is there
};

using NumberedTexts = std::vector<std::pair<qint64, std::string_view>>;

// A table whose INTEGER PRIMARY KEY is the number.
void writeNumberedTexts(const std::string &path, std::uint32_t root, const NumberedTexts &rows)
{
    sqlitedb::TableWriter table(path, root);
    std::array<Cell, 2> row;
    for (const auto &[number, text] : rows) {
        row[1].set(text);
        table.add(number, row.data(), int(row.size()));
    }
    table.finish();
}

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

struct Roots {
    std::uint32_t catalogue = 0, folders = 0, fractions = 0, files = 0;
};

std::uint32_t rootPage(Db &db, std::string_view table)
{
    Stmt st(db, "SELECT rootpage FROM sqlite_schema WHERE type = 'table' AND name = ?");
    st.bind(1, table);
    if (!st.step())
        throw sqlitedb::Failure("a table was not made");
    return std::uint32_t(st.integerIn(0, 2, UINT32_MAX));
}

// The tables and the field layout, through SQLite; the other tables are left empty, to be
// filled page by page.
Roots createTables(const RecordSet &records, const std::string &path)
{
    Db db;
    db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // The file is private until it is renamed into place: no journal is needed, and it
    // is synced as a whole afterwards.
    db.exec("PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "PRAGMA locking_mode = EXCLUSIVE;");
    db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId) +
             "; PRAGMA user_version = " + std::to_string(kVersion) + "; BEGIN")
                .c_str());
    db.exec(kSchema);
    writeFields(db, records);
    db.exec("COMMIT");
    return {rootPage(db, "catalogue"), rootPage(db, "folders"), rootPage(db, "fractions"), rootPage(db, "files")};
}

// Every folder value the records may name, numbered from 1 in the column's own order.
void writeFolders(const std::string &path, std::uint32_t root, const SharedTextColumn &folders)
{
    NumberedTexts rows;
    for (std::uint32_t id = 0; id < folders.count(); ++id)
        rows.emplace_back(qint64(id) + 1, folders.value(id));
    writeNumberedTexts(path, root, rows);
}

void writeFiles(const std::string &path, std::uint32_t root, FileRows &files)
{
    sqlitedb::TableWriter table(path, root);
    while (files.next())
        table.add(files.row(), kFileColumns);
    table.finish();
}

// Only for the view: the record set rebuilds the texts itself.
void writeFractions(const std::string &path, std::uint32_t root, const FileRows &files)
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
        rows.emplace_back(second, fraction);
        text += fraction.size() + 1;
    }
    writeNumberedTexts(path, root, rows);
}

void writeTotal(const std::string &path, std::uint32_t root, int records, qint64 checksum)
{
    sqlitedb::TableWriter table(path, root);
    std::array<Cell, 2> row;
    row[0].set(records);
    row[1].set(checksum);
    table.add(row.data(), int(row.size()));
    table.finish();
}

} // namespace

void writeCatalogue(const RecordSet &records, const std::string &path)
{
    const atomicfile::Writeback writeback(path);
    FileRows files(records, writeback); // the first block is gathered while the file is set up
    const Roots roots = createTables(records, path);
    writeFolders(path, roots.folders, *records.sharedValues(fld::Path));
    writeFiles(path, roots.files, files);
    writeFractions(path, roots.fractions, files);
    writeTotal(path, roots.catalogue, records.count(), files.checksum());
}

} // namespace cataloguefile
