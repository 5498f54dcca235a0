#include "files/cataloguefile.h"

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "platform/atomicfile.h"
#include "platform/text.h"

#include <sqlite3.h>

#include <array>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace cataloguefile {
namespace {

// The usual values are kept as integers: dates and date keys in the record set's own packed
// form, names without their trailing blanks and a count of blanks; any other value is kept
// as text; a creation time equal to the modification time is left out (NULL). The view
// rebuilds the texts.
constexpr const char *kSchema = R"sql(
CREATE TABLE fields(position INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL,
                    size INTEGER NOT NULL, attributes INTEGER NOT NULL);
CREATE TABLE catalogue(records INTEGER NOT NULL, checksum INTEGER NOT NULL);
CREATE TABLE folders(id INTEGER PRIMARY KEY, path TEXT NOT NULL);
CREATE TABLE fractions(second INTEGER PRIMARY KEY, text TEXT NOT NULL);
CREATE TABLE files(name, name_blanks, short, short_blanks, folder, modified, created, accessed,
                   size, datekey, extension);
CREATE VIEW records AS SELECT
  f.name || printf('%*s', f.name_blanks, '') AS Field1,
  f.short || printf('%*s', f.short_blanks, '') AS Field2,
  d.path AS Field3,
  CASE typeof(f.modified) WHEN 'integer' THEN printf('%02d/%02d/%04d  %02d:%02d:%02d %s',
    (f.modified >> 43) & 127, (f.modified >> 36) & 127, (f.modified >> 22) & 16383,
    (f.modified >> 15) & 127, (f.modified >> 8) & 127, (f.modified >> 1) & 127,
    CASE f.modified & 1 WHEN 1 THEN 'PM' ELSE 'AM' END) ELSE f.modified END AS Field4,
  CASE typeof(ifnull(f.created, f.modified)) WHEN 'integer' THEN printf('%02d/%02d/%04d  %02d:%02d:%02d %s',
    (ifnull(f.created, f.modified) >> 43) & 127, (ifnull(f.created, f.modified) >> 36) & 127, (ifnull(f.created, f.modified) >> 22) & 16383,
    (ifnull(f.created, f.modified) >> 15) & 127, (ifnull(f.created, f.modified) >> 8) & 127, (ifnull(f.created, f.modified) >> 1) & 127,
    CASE ifnull(f.created, f.modified) & 1 WHEN 1 THEN 'PM' ELSE 'AM' END) ELSE ifnull(f.created, f.modified) END AS Field5,
  CASE typeof(f.accessed) WHEN 'integer' THEN printf('%02d/%02d/%04d',
    (f.accessed >> 21) & 127, (f.accessed >> 14) & 127, f.accessed & 16383) ELSE f.accessed END AS Field6,
  f.size AS Field7,
  CASE typeof(f.datekey) WHEN 'integer' THEN (((f.datekey >> 17) & 16777215) - 8388608) || r.text
    ELSE f.datekey END AS Field8,
  f.extension AS Field9
FROM files f JOIN folders d ON d.id = f.folder
  LEFT JOIN fractions r ON r.second = (CASE typeof(f.datekey) WHEN 'integer' THEN f.datekey & 131071 END)
ORDER BY f.rowid;
)sql";

constexpr int kFileColumns = 11;
constexpr int kSecondsPerDay = 86400;
constexpr std::uint64_t kSecondBits = 0x1FFFF; // a packed date key's second of the day
constexpr int kMaxBlanks = 65535;              // far beyond any defined size; bounds a damaged count
constexpr std::size_t kMaxValueBytes = 1 << 16;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Db {
public:
    ~Db() { sqlite3_close(m_db); }
    void open(const std::string &path, int flags)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK)
            fail();
        sqlite3_extended_result_codes(m_db, 1);
    }
    void exec(const char *sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }
    [[noreturn]] void fail() const { throw Failure(m_db ? sqlite3_errmsg(m_db) : "out of memory"); }
    [[nodiscard]] sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

class Stmt {
public:
    Stmt(Db &db, const char *sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            db.fail();
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;

    // True for a row, false at the end.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_db.fail();
        return false;
    }
    void run()
    {
        step();
        sqlite3_reset(m_stmt);
    }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
    [[nodiscard]] bool isNull(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_NULL; }
    void bind(int i, std::string_view v) { sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_STATIC); }
    [[nodiscard]] bool isInteger(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_INTEGER; }
    [[nodiscard]] bool isText(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_TEXT; }
    [[nodiscard]] qint64 integer(int i) const
    {
        if (!isInteger(i))
            throw Failure("a value has the wrong type");
        return sqlite3_column_int64(m_stmt, i);
    }
    [[nodiscard]] qint64 integerIn(int i, qint64 low, qint64 high) const
    {
        const qint64 v = integer(i);
        if (v < low || v > high)
            throw Failure("a value is out of range");
        return v;
    }
    [[nodiscard]] std::string_view text(int i) const
    {
        if (!isText(i))
            throw Failure("a value has the wrong type");
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
        const auto n = std::size_t(sqlite3_column_bytes(m_stmt, i));
        if (n > kMaxValueBytes)
            throw Failure("a value is too long");
        return {p ? p : "", n};
    }

private:
    Db &m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// Covers every value as the record set holds it, so damage that SQLite cannot see (a
// changed byte inside a name) is still found.
class Checksum {
public:
    void add(std::uint64_t v)
    {
        m_h = (m_h ^ v) * 0x9E3779B97F4A7C15ull;
        m_h ^= m_h >> 29;
    }
    void add(std::string_view s)
    {
        add(s.size());
        std::size_t i = 0;
        for (; i + 8 <= s.size(); i += 8) {
            std::uint64_t w;
            std::memcpy(&w, s.data() + i, 8);
            add(w);
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, s.data() + i, s.size() - i);
        add(tail);
    }
    [[nodiscard]] qint64 value() const { return qint64(m_h); }

private:
    std::uint64_t m_h = 0x243F6A8885A308D3ull;
};

bool sameLayout(const FieldDef &a, const FieldDef &b)
{
    return a.name == b.name && a.adoType == b.adoType && a.definedSize == b.definedSize && a.attributes == b.attributes;
}

bool hasCatalogueLayout(const RecordSet &records)
{
    RecordSet expected;
    CreateRecordSet(expected);
    if (records.fieldCount() != expected.fieldCount())
        return false;
    for (int f = 0; f < expected.fieldCount(); ++f)
        if (!sameLayout(records.field(f), expected.field(f)))
            return false;
    return true;
}

void bindBlankPadded(Stmt &st, int column, std::string_view value)
{
    const std::string_view trimmed = text::trimRight(value);
    st.bind(column, trimmed);
    st.bind(column + 1, qint64(value.size() - trimmed.size()));
}

// Marks a packed value in the checksum, so that it never matches a text.
constexpr std::uint64_t kPackedTag = 0x5041434bull;

// The record set's packed form as an integer, anything else as text. False for a text.
bool bindPacked(Stmt &st, int column, const RecordSet &records, int pos, int field, std::uint64_t &code,
                std::string &scratch, Checksum &sum)
{
    if (records.packedAt(pos, field, code)) {
        st.bind(column, qint64(code));
        sum.add(kPackedTag);
        sum.add(code);
        return true;
    }
    records.utf8At(pos, field, scratch);
    st.bind(column, scratch);
    sum.add(scratch);
    return false;
}

void writeRecords(Db &db, const RecordSet &records)
{
    db.exec(kSchema);
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
    Stmt files(db, "INSERT INTO files VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Stmt folders(db, "INSERT INTO folders VALUES (?, ?)");
    std::unordered_map<std::string, qint64> folderIds;
    std::string lastFolder;
    qint64 lastFolderId = 0;
    std::vector<bool> secondsUsed(kSecondsPerDay);
    Checksum sum;
    // Bound without a copy, so each column keeps its own buffer until the row is written.
    std::string name, shortName, folder, extension, modified, created, accessed, dateKey;
    for (int pos = 0; pos < records.count(); ++pos) {
        records.utf8At(pos, fld::LongName, name);
        records.utf8At(pos, fld::ShortName, shortName);
        records.utf8At(pos, fld::Path, folder);
        records.utf8At(pos, fld::Extension, extension);
        const qint64 size = records.integerAt(pos, fld::Size);
        if (pos == 0 || folder != lastFolder) {
            auto [it, added] = folderIds.try_emplace(folder, qint64(folderIds.size()) + 1);
            if (added) {
                folders.bind(1, it->second);
                folders.bind(2, folder);
                folders.run();
            }
            lastFolder = folder;
            lastFolderId = it->second;
        }
        bindBlankPadded(files, 1, name);
        bindBlankPadded(files, 3, shortName);
        files.bind(5, lastFolderId);
        sum.add(name);
        sum.add(shortName);
        sum.add(folder);
        std::uint64_t modifiedCode = 0, createdCode = 0, code = 0;
        const bool modifiedPacked = bindPacked(files, 6, records, pos, fld::Modified, modifiedCode, modified, sum);
        if (bindPacked(files, 7, records, pos, fld::Created, createdCode, created, sum) && modifiedPacked &&
            createdCode == modifiedCode)
            files.bindNull(7);
        bindPacked(files, 8, records, pos, fld::Accessed, code, accessed, sum);
        files.bind(9, size);
        sum.add(std::uint64_t(size));
        if (bindPacked(files, 10, records, pos, fld::DateKey, code, dateKey, sum))
            secondsUsed[code & kSecondBits] = true;
        files.bind(11, extension);
        sum.add(extension);
        files.run();
    }
    // Only for the view: the record set rebuilds the texts itself.
    Stmt fractions(db, "INSERT INTO fractions VALUES (?, ?)");
    for (int second = 0; second < kSecondsPerDay; ++second) {
        if (secondsUsed[std::size_t(second)]) {
            const std::string fraction = values::fractionText(second);
            fractions.bind(1, second);
            fractions.bind(2, fraction);
            fractions.run();
        }
    }
    Stmt total(db, "INSERT INTO catalogue VALUES (?, ?)");
    total.bind(1, records.count());
    total.bind(2, sum.value());
    total.run();
}

void writeFile(const RecordSet &records, const std::string &path)
{
    Db db;
    db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // The file is private until it is renamed into place: no journal is needed, and it
    // is synced as a whole afterwards.
    db.exec("PRAGMA page_size = 65536; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "PRAGMA locking_mode = EXCLUSIVE; PRAGMA cache_size = -32768;");
    db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId) +
             "; PRAGMA user_version = " + std::to_string(kVersion) + "; BEGIN")
                .c_str());
    writeRecords(db, records);
    db.exec("COMMIT");
}

// ---- reading ----

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

std::vector<std::string> readFolders(Db &db)
{
    std::vector<std::string> paths;
    Stmt st(db, "SELECT id, path FROM folders ORDER BY id");
    while (st.step()) {
        if (st.integer(0) != qint64(paths.size()) + 1)
            throw Failure("its folder table is damaged");
        paths.emplace_back(st.text(1));
    }
    return paths;
}

class RecordReader {
public:
    RecordReader(Db &db, RecordSet &out) : m_db(db), m_out(out) {}

    void read()
    {
        Stmt total(m_db, "SELECT records, checksum FROM catalogue");
        if (!total.step())
            throw Failure("its record count is missing");
        const qint64 expected = total.integerIn(0, 0, INT_MAX - 1);
        const qint64 expectedSum = total.integer(1);
        m_folders = readFolders(m_db);
        Stmt st(m_db, "SELECT name, name_blanks, short, short_blanks, folder, modified, created, accessed, "
                      "size, datekey, extension FROM files ORDER BY rowid");
        qint64 rows = 0;
        while (st.step()) {
            if (++rows > expected)
                throw Failure("it holds more records than it says");
            readRecord(st);
        }
        if (rows != expected)
            throw Failure("it holds fewer records than it says");
        if (m_sum.value() != expectedSum)
            throw Failure("its records are damaged");
    }

private:
    void readRecord(const Stmt &st)
    {
        m_out.addNew();
        padded(st, 0, m_value);
        put(fld::LongName);
        padded(st, 2, m_value);
        put(fld::ShortName);
        const qint64 folder = st.integerIn(4, 1, qint64(m_folders.size()));
        m_value = m_folders[std::size_t(folder - 1)];
        put(fld::Path);
        const std::uint64_t modified = packed(st, 5, fld::Modified);
        if (st.isNull(6)) {
            if (!modified || !m_out.setPacked(fld::Created, modified - 1))
                throw Failure("its dates are damaged");
            m_sum.add(kPackedTag);
            m_sum.add(modified - 1);
        } else {
            packed(st, 6, fld::Created);
        }
        packed(st, 7, fld::Accessed);
        const qint64 size = st.integer(8);
        m_out.setField(fld::Size, size);
        m_sum.add(std::uint64_t(size));
        packed(st, 9, fld::DateKey);
        m_value = st.text(10);
        put(fld::Extension);
    }

    void put(int field)
    {
        m_out.setField(field, std::string_view(m_value));
        m_sum.add(m_value);
    }

    static void padded(const Stmt &st, int column, std::string &out)
    {
        out = st.text(column);
        out.append(std::size_t(st.integerIn(column + 1, 0, kMaxBlanks)), ' ');
    }

    // The packed form plus one, 0 for a text.
    std::uint64_t packed(const Stmt &st, int column, int field)
    {
        if (!st.isInteger(column)) {
            m_value = st.text(column);
            put(field);
            return 0;
        }
        const auto code = std::uint64_t(st.integer(column));
        if (!m_out.setPacked(field, code))
            throw Failure("its dates are damaged");
        m_sum.add(kPackedTag);
        m_sum.add(code);
        return code + 1;
    }

    Db &m_db;
    RecordSet &m_out;
    std::vector<std::string> m_folders;
    Checksum m_sum;
    std::string m_value;
};

} // namespace

bool save(const RecordSet &records, const std::string &path, std::string &error)
{
    if (!hasCatalogueLayout(records)) {
        error = "the records do not have the catalogue's layout";
        return false;
    }
    const std::string temporary = atomicfile::createBeside(path, error);
    if (temporary.empty())
        return false;
    try {
        writeFile(records, temporary);
    } catch (const std::exception &e) {
        error = e.what();
        atomicfile::remove(temporary);
        return false;
    }
    if (!atomicfile::sync(temporary, error) || !atomicfile::replace(temporary, path, error)) {
        atomicfile::remove(temporary);
        return false;
    }
    return true;
}

std::unique_ptr<RecordSet> open(const std::string &path, std::string &error)
{
    auto records = std::make_unique<RecordSet>();
    CreateRecordSet(*records);
    try {
        Db db;
        db.open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        checkIdentity(db);
        checkLayout(db, *records);
        RecordReader(db, *records).read();
    } catch (const std::bad_alloc &) {
        error = "there is not enough memory to open it";
        return nullptr;
    } catch (const std::exception &e) {
        error = e.what();
        return nullptr;
    }
    records->squeeze();
    records->moveFirst();
    return records;
}

} // namespace cataloguefile
