#include "catalogfile/cataloguereader.h"

#include "catalogfile/catalogueformat.h"
#include "catalogfile/exactcodec.h"
#include "catalogfile/formatversion.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "platform/text.h"

#include "catalogue/recordvalues.h"

#include <array>
#include <climits>
#include <optional>
#include <vector>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

bool hasTables(Db &db, const char *names, int count)
{
    Stmt st(
        db,
        (std::string("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN (") + names + ")").c_str());
    return st.step() && st.integer(0) == count;
}

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
    if (!hasTables(db, "'fields', 'catalogue', 'folders', 'fractions', 'files'", 5))
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

// One table of exact values, read a blob at a time in the order of the values.
class ExactChunks {
public:
    ExactChunks(Db &db, const char *select, Checksum &sum) : m_st(db, select), m_sum(sum) {}
    // The exact value of the `index`th (from 1) value, whose field is `field`; false for none.
    // Damage is only noted, so that the records' own checks speak first.
    bool take(qint64 index, std::string_view field, std::string &exact)
    {
        if (m_damaged)
            return false;
        if (m_rest.empty()) {
            if (!m_st.step() || m_st.integer(0) != index)
                return m_damaged = true, false;
            m_rest = m_st.blob(1);
            m_sum.add(std::uint64_t(index));
            m_sum.add(m_rest);
        }
        bool has = false;
        m_damaged = !exactcodec::take(m_rest, field, has, exact);
        return has && !m_damaged;
    }
    [[nodiscard]] bool whole() { return !m_damaged && m_rest.empty() && !m_st.step(); }

private:
    Stmt m_st;
    Checksum &m_sum;
    std::string_view m_rest; // of the current blob
    bool m_damaged = false;
};

// The names and folders as the file system gave them, in a file that keeps them.
class ExactValues {
public:
    explicit ExactValues(Db &db) : m_kept(hasTables(db, "'exact_names', 'exact_folders', 'exact_sum'", 3))
    {
        if (!m_kept)
            return;
        m_folders.emplace(db, "SELECT first, paths FROM exact_folders ORDER BY first", m_sum);
        m_names.emplace(db, "SELECT first, names FROM exact_names ORDER BY first", m_sum);
    }
    // The exact path of folder `id` (from 1), or nullptr; folders come in order.
    const std::string *folder(qint64 id, std::string_view field)
    {
        if (!m_kept || !m_folders->take(id, field, m_value))
            return nullptr;
        if (values::pathValue(m_value) != field)
            return m_damaged = true, nullptr;
        return &m_value;
    }
    // The exact name of row `row` (from 1), which must give the field's value (its text and
    // blanks), or nullptr; rows come in order.
    const std::string *name(qint64 row, std::string_view field, std::size_t blanks)
    {
        if (!m_kept || !m_names->take(row, field, m_value))
            return nullptr;
        values::assignLongNameValue(m_value, m_derived);
        if (m_derived.size() != field.size() + blanks || m_derived.compare(0, field.size(), field) != 0 ||
            m_derived.find_first_not_of(' ', field.size()) != std::string::npos)
            return m_damaged = true, nullptr;
        return &m_value;
    }
    // Every exact value belongs to a record or a folder, and the sum is right.
    void check(Db &db)
    {
        if (!m_kept)
            return;
        Stmt total(db, "SELECT checksum FROM exact_sum");
        if (m_damaged || !m_folders->whole() || !m_names->whole() || !total.step() || total.integer(0) != m_sum.value())
            throw Failure("its exact names are damaged");
    }

private:
    bool m_kept, m_damaged = false;
    Checksum m_sum;
    std::optional<ExactChunks> m_folders, m_names;
    std::string m_value, m_derived;
};

// Registers every folder with the record set; the result maps a folder number of the file
// to the record set's own number.
std::vector<std::uint32_t> readFolders(Db &db, SharedTextColumn &folders, ExactValues &exact)
{
    std::vector<std::uint32_t> ids;
    Stmt st(db, "SELECT id, path FROM folders ORDER BY id");
    while (st.step()) {
        const qint64 id = st.integer(0);
        if (id != qint64(ids.size()) + 1)
            throw Failure("its folder table is damaged");
        const std::string *path = exact.folder(id, st.text(1));
        ids.push_back(path ? folders.idOfExact(*path, st.text(1)) : folders.idOf(st.text(1)));
    }
    return ids;
}

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

    void record(const Cell *row, const std::string *exactName)
    {
        m_out.addNew();
        if (exactName)
            m_out.setExact(fld::LongName, *exactName, {});
        else
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

private:
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
};

// Returns the file's folder numbers, less one, to the record set's.
std::vector<std::uint32_t> readFiles(Db &db, RecordSet &out)
{
    Stmt total(db, "SELECT records, checksum FROM catalogue");
    if (!total.step())
        throw Failure("its record count is missing");
    const qint64 expected = total.integerIn(0, 0, INT_MAX - 1), expectedSum = total.integer(1);
    SharedTextColumn &folders = *out.sharedValues(fld::Path);
    ExactValues exact(db);
    std::vector<std::uint32_t> ids = readFolders(db, folders, exact);
    const auto folderCount = qint64(ids.size());
    RecordBuilder builder(out, ids);
    Stmt st(db, "SELECT name, name_blanks, short, short_blanks, folder, modified, created, accessed, size, datekey, "
                "extension FROM files ORDER BY rowid");
    std::array<Cell, kFileColumns> row;
    Checksum sum;
    qint64 rows = 0;
    while (st.step()) {
        if (++rows > expected)
            throw Failure("it holds more records than it says");
        for (int c = 0; c < kFileColumns; ++c)
            row[std::size_t(c)] = st.cell(c);
        // Checked before they are summed: a damaged count of blanks must not be expanded.
        const auto folder = std::size_t(integerIn(row[Folder], 1, folderCount));
        (void)integerIn(row[NameBlanks], 0, kMaxBlanks);
        (void)integerIn(row[ShortBlanks], 0, kMaxBlanks);
        sum.addRow(row.data(), folders.value(ids[folder - 1]));
        const std::string *name = exact.name(rows, row[Name].text, std::size_t(row[NameBlanks].integer));
        builder.record(row.data(), name ? &*name : nullptr);
    }
    if (rows != expected)
        throw Failure("it holds fewer records than it says");
    if (sum.value() != expectedSum)
        throw Failure("its records are damaged");
    exact.check(db);
    return ids;
}

// The volumes of a file that records them, their folders in the record set's numbering.
void readVolumes(Db &db, const std::vector<std::uint32_t> &ids, std::size_t folders, Volumes &out)
{
    if (!hasTables(db, "'volumes', 'folder_volumes'", 2))
        return; // an older file
    Stmt st(db, "SELECT id, mount_point, label, uuid, fs_type, device, device_number, drive_type, total_bytes, "
                "free_bytes, walk_began, walk_ended, files FROM volumes ORDER BY id");
    while (st.step()) {
        if (st.integer(0) != qint64(out.list.size()) + 1)
            throw Failure("its volume table is damaged");
        Volume &v = out.list.emplace_back();
        int c = 1;
        for (std::string *text :
             {&v.mountPoint, &v.label, &v.uuid, &v.fsType, &v.device, &v.deviceNumber, &v.driveType})
            *text = st.text(c++);
        for (qint64 *n : {&v.totalBytes, &v.freeBytes, &v.walkBegan, &v.walkEnded, &v.files})
            *n = st.integer(c++);
    }
    out.folderVolume.assign(folders, -1);
    Stmt tie(db, "SELECT folder, volume FROM folder_volumes");
    while (tie.step()) {
        const auto folder = std::size_t(tie.integerIn(0, 1, qint64(ids.size())));
        out.folderVolume[ids[folder - 1]] = int(tie.integerIn(1, 1, qint64(out.list.size())) - 1);
    }
}

// Long enough for a save by another program to finish rather than be read half-written.
constexpr int kBusyMillis = 2000;

} // namespace

void readCatalogue(const std::string &path, RecordSet &out, Volumes *volumes)
{
    Db db;
    db.open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(db.handle(), kBusyMillis);
    // One read transaction: every check and every record come from the same state of the file.
    try {
        db.exec("PRAGMA mmap_size = 1073741824; PRAGMA cache_size = -16384; BEGIN; SELECT count(*) FROM sqlite_schema");
    } catch (const Failure &) {
        if (sqlite3_extended_errcode(db.handle()) == SQLITE_READONLY_ROLLBACK)
            throw Failure("a change to it was cut short, and must be rolled back by a program that may write it");
        throw;
    }
    checkIdentity(db);
    checkLayout(db, out);
    const std::vector<std::uint32_t> ids = readFiles(db, out);
    if (volumes)
        readVolumes(db, ids, out.sharedValues(fld::Path)->count(), *volumes);
    db.exec("COMMIT");
}

} // namespace cataloguefile
