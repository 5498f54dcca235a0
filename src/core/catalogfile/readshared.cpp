#include "catalogfile/readshared.h"

#include "catalogfile/formatversion.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <climits>

namespace cataloguefile {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

namespace {

// Long enough for a save by another program to finish rather than be read half-written.
constexpr int kBusyMillis = 2000;

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

} // namespace

bool hasTables(Db &db, const char *names, int count)
{
    Stmt st(
        db,
        (std::string("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN (") + names + ")").c_str());
    return st.step() && st.integer(0) == count;
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

void beginRead(Db &db, const std::string &path, const RecordSet &expected, bool write)
{
    db.open(path, (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX);
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
    checkLayout(db, expected);
}

bool givesLongName(const std::string &exact, std::string_view field, std::size_t blanks, std::string &derived)
{
    values::assignLongNameValue(exact, derived);
    return derived.size() == field.size() + blanks && derived.compare(0, field.size(), field) == 0 &&
           derived.find_first_not_of(' ', field.size()) == std::string::npos;
}

bool readVolumeList(Db &db, Volumes &out)
{
    if (!hasTables(db, "'volumes', 'folder_volumes'", 2))
        return false; // an older file
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
    return true;
}

void RecordBuilder::record(const Cell *row, const std::string *exactName)
{
    m_out.addNew();
    if (exactName)
        m_out.setExact(fld::LongName, *exactName, {});
    else
        padded(row, Name, fld::LongName);
    padded(row, Short, fld::ShortName);
    const std::uint32_t folder = m_folderIds[std::size_t(integerIn(row[Folder], 1, qint64(m_folderIds.size())) - 1)];
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

void RecordBuilder::padded(const Cell *row, int column, int field)
{
    m_out.setPadded(field, textOf(row[column]), std::size_t(integerIn(row[column + 1], 0, kMaxBlanks)));
}

// The record set's packed form, or a text.
void RecordBuilder::packed(const Cell &value, int field)
{
    if (value.kind != Cell::Integer)
        m_out.setField(field, textOf(value));
    else if (!m_out.setPacked(field, std::uint64_t(value.integer)))
        throw Failure("its dates are damaged");
}

} // namespace cataloguefile
