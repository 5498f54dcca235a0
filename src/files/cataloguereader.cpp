#include "files/cataloguereader.h"

#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "files/blockring.h"
#include "files/cataloguefile.h"
#include "files/catalogueformat.h"
#include "files/tablereader.h"
#include "platform/text.h"

#include <array>
#include <climits>
#include <optional>
#include <thread>
#include <vector>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

void checkIdentity(Db &db)
{
    Stmt app(db, "PRAGMA application_id");
    if (!app.step() || app.integer(0) != kApplicationId)
        throw Failure("it is not a Tarvolo catalogue file");
    Stmt version(db, "PRAGMA user_version");
    if (!version.step())
        throw Failure("it is not a Tarvolo catalogue file");
    const qint64 v = version.integer(0);
    if (v > kVersion)
        throw Failure("it was made by a newer version of Tarvolo");
    if (v < 1)
        throw Failure("it is not a Tarvolo catalogue file");
    Stmt encoding(db, "PRAGMA encoding");
    if (!encoding.step() || encoding.text(0) != "UTF-8")
        throw Failure("it is not a Tarvolo catalogue file");
    // A view or trigger under one of our names would run the file's own code.
    Stmt tables(db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN "
                    "('fields', 'catalogue', 'folders', 'fractions', 'files')");
    if (!tables.step() || tables.integer(0) != 5)
        throw Failure("its tables are missing or changed");
}

void checkLayout(Db &db, const RecordSet &expected)
{
    Stmt st(db, "SELECT position, name, type, size, attributes FROM fields ORDER BY position");
    int f = 0;
    while (st.step()) {
        if (f >= expected.fieldCount() || st.integer(0) != f)
            throw Failure("its field layout is not the catalogue's");
        FieldDef d;
        d.name = text::toQString(st.text(1));
        d.adoType = int(st.integerIn(2, INT_MIN, INT_MAX));
        d.definedSize = int(st.integerIn(3, INT_MIN, INT_MAX));
        d.attributes = int(st.integerIn(4, INT_MIN, INT_MAX));
        if (!sameLayout(d, expected.field(f)))
            throw Failure("its field layout is not the catalogue's");
        ++f;
    }
    if (f != expected.fieldCount())
        throw Failure("its field layout is not the catalogue's");
}

// Registers every folder with the record set; the result maps a folder number of the file
// to the record set's own number. The texts are kept in the file's numbering, less one.
std::vector<std::uint32_t> readFolders(Db &db, SharedTextColumn &folders, FolderTexts &texts)
{
    std::vector<std::uint32_t> ids;
    Stmt st(db, "SELECT id, path FROM folders ORDER BY id");
    while (st.step()) {
        if (st.integer(0) != qint64(ids.size()) + 1)
            throw Failure("its folder table is damaged");
        ids.push_back(folders.idOf(st.text(1)));
        texts.add(st.text(1));
    }
    return ids;
}

// The files table's first page, once its columns are known to be the ones read.
std::uint32_t filesRoot(Db &db)
{
    static constexpr const char *kColumns[kFileColumns] = {"name",   "name_blanks", "short",    "short_blanks",
                                                           "folder", "modified",    "created",  "accessed",
                                                           "size",   "datekey",     "extension"};
    Stmt columns(db, "SELECT name FROM pragma_table_info('files')");
    int c = 0;
    while (columns.step())
        if (c >= kFileColumns || columns.text(0) != kColumns[c++])
            throw Failure("its tables are missing or changed");
    if (c != kFileColumns)
        throw Failure("its tables are missing or changed");
    Stmt root(db, "SELECT rootpage FROM sqlite_schema WHERE type = 'table' AND name = 'files' AND sql NOT LIKE "
                  "'%WITHOUT ROWID%'");
    if (!root.step())
        throw Failure("its tables are missing or changed");
    return std::uint32_t(root.integerIn(0, 2, UINT32_MAX));
}

// Rows of the files table as read, so that reading can go on while they are taken into the
// record set.
class ReadBlock {
public:
    void clear()
    {
        m_rows = 0;
        m_texts.clear();
    }
    [[nodiscard]] bool full() const { return m_rows == kBlockRows; }
    [[nodiscard]] int rows() const { return m_rows; }
    void add(const Cell *values)
    {
        Slot *out = &m_slots[std::size_t(m_rows++) * kFileColumns];
        for (int c = 0; c < kFileColumns; ++c) {
            const Cell &cell = values[c];
            out[c] = {cell.integer, std::uint32_t(cell.text.size()), cell.kind};
            if (cell.kind == Cell::Text) {
                out[c].integer = qint64(m_texts.size());
                m_texts += cell.text;
            }
        }
    }
    // A row's cells, whose texts stay valid until the block is cleared.
    void row(int row, std::array<Cell, kFileColumns> &out) const
    {
        const Slot *in = &m_slots[std::size_t(row) * kFileColumns];
        for (std::size_t c = 0; c < kFileColumns; ++c) {
            out[c].kind = in[c].kind;
            out[c].integer = in[c].integer;
            out[c].text = in[c].kind == Cell::Text ? std::string_view(m_texts.data() + in[c].integer, in[c].size)
                                                   : std::string_view();
        }
    }

private:
    // Small, because a block is written on one core and read on the other.
    struct Slot {
        qint64 integer; // the value, or where the text starts
        std::uint32_t size;
        Cell::Kind kind;
    };
    int m_rows = 0;
    std::vector<Slot> m_slots = std::vector<Slot>(std::size_t(kBlockRows) * kFileColumns);
    std::string m_texts;
};

qint64 integerIn(const Cell &v, qint64 low, qint64 high)
{
    sqlitedb::checkType(v.kind == Cell::Integer);
    return sqlitedb::checkedRange(v.integer, low, high);
}

std::string_view textOf(const Cell &v)
{
    sqlitedb::checkType(v.kind == Cell::Text);
    return v.text;
}

// Takes the files table's rows, checked, into the record set.
class RecordBuilder {
public:
    RecordBuilder(RecordSet &out, std::vector<std::uint32_t> folderIds) : m_out(out), m_folderIds(std::move(folderIds))
    {
    }

    void take(const ReadBlock &block)
    {
        for (int row = 0; row < block.rows(); ++row) {
            block.row(row, m_row);
            record(m_row.data());
        }
    }

private:
    void record(const Cell *row)
    {
        m_out.addNew();
        padded(row, Name, fld::LongName);
        padded(row, Short, fld::ShortName);
        const std::uint32_t folder =
            m_folderIds[std::size_t(integerIn(row[Folder], 1, qint64(m_folderIds.size())) - 1)];
        if (!m_out.setSharedId(fld::Path, folder))
            throw Failure("its folder table is damaged");
        packed(row[Modified], fld::Modified);
        if (row[Created].kind == Cell::Null && row[Modified].kind != Cell::Integer)
            throw Failure("its dates are damaged");
        packed(row[Created].kind == Cell::Null ? row[Modified] : row[Created], fld::Created);
        packed(row[Accessed], fld::Accessed);
        m_out.setField(fld::Size, integerIn(row[Size], LLONG_MIN, LLONG_MAX));
        packed(row[DateKey], fld::DateKey);
        m_out.setField(fld::Extension, textOf(row[Extension]));
    }

    void padded(const Cell *row, int column, int field)
    {
        m_out.setPadded(field, textOf(row[column]), std::size_t(integerIn(row[column + 1], 0, kMaxBlanks)));
    }

    // The record set's packed form, or a text.
    void packed(const Cell &value, int field)
    {
        if (value.kind != Cell::Integer)
            m_out.setField(field, textOf(value));
        else if (!m_out.setPacked(field, std::uint64_t(value.integer)))
            throw Failure("its dates are damaged");
    }

    RecordSet &m_out;
    const std::vector<std::uint32_t> m_folderIds; // the file's folder numbers less one to the record set's
    std::array<Cell, kFileColumns> m_row;
};

// Reads and sums the files table on this thread; the records are built on a second one.
class RecordReader final : public sqlitedb::TableReader::Sink {
public:
    RecordReader(Db &db, const std::string &path, RecordSet &out) : m_db(db), m_path(path), m_out(out) {}
    ~RecordReader()
    {
        m_ring.close();
        if (m_building.joinable())
            m_building.join();
    }
    RecordReader(const RecordReader &) = delete;
    RecordReader &operator=(const RecordReader &) = delete;

    void read()
    {
        Stmt total(m_db, "SELECT records, checksum FROM catalogue");
        if (!total.step())
            throw Failure("its record count is missing");
        m_expected = total.integerIn(0, 0, INT_MAX - 1);
        const qint64 expectedSum = total.integer(1);
        m_builder.emplace(m_out, readFolders(m_db, *m_out.sharedValues(fld::Path), m_folders));
        const std::uint32_t root = filesRoot(m_db);
        m_building = std::thread([this] { buildAll(); });
        nextBlock();
        sqlitedb::TableReader(m_path, root, kFileColumns).read(*this);
        if (m_block->rows() > 0)
            m_ring.filled();
        m_ring.end();
        m_building.join();
        m_ring.rethrow();
        if (m_rows != m_expected)
            throw Failure("it holds fewer records than it says");
        if (m_sum.value() != expectedSum)
            throw Failure("its records are damaged");
    }

    void take(const Cell *values) override
    {
        if (++m_rows > m_expected)
            throw Failure("it holds more records than it says");
        // Checked here as well as when built: a damaged count of blanks must not be summed.
        const auto folder = std::size_t(integerIn(values[Folder], 1, qint64(m_folders.count())));
        (void)integerIn(values[NameBlanks], 0, kMaxBlanks);
        (void)integerIn(values[ShortBlanks], 0, kMaxBlanks);
        m_sum.addRow(values, m_folders[folder - 1]);
        m_block->add(values);
        if (m_block->full()) {
            m_ring.filled();
            nextBlock();
        }
    }

private:
    void nextBlock()
    {
        m_block = m_ring.fillable();
        if (!m_block)
            throw Failure("the reading was stopped");
        m_block->clear();
    }

    void buildAll()
    {
        try {
            while (const ReadBlock *block = m_ring.next())
                m_builder->take(*block);
        } catch (...) {
            m_ring.close(std::current_exception());
        }
    }

    Db &m_db;
    const std::string &m_path;
    RecordSet &m_out;
    std::optional<RecordBuilder> m_builder;
    FolderTexts m_folders; // the file's own numbering, less one
    Checksum m_sum;
    qint64 m_expected = 0;
    qint64 m_rows = 0;
    BlockRing<ReadBlock, 4> m_ring;
    ReadBlock *m_block = nullptr;
    std::thread m_building;
};

} // namespace

void readCatalogue(const std::string &path, RecordSet &out)
{
    Db db;
    db.open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    checkIdentity(db);
    checkLayout(db, out);
    RecordReader(db, path, out).read();
}

} // namespace cataloguefile
