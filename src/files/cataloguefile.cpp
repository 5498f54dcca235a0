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

// The usual values are kept as integers (dates as their digits, the date key as day and
// second, names without their trailing blanks and a count of blanks); any value that does
// not come back identical from its integer is kept as text. The view rebuilds the texts.
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
    f.modified / 10000000000000, f.modified / 100000000000 % 100, f.modified / 10000000 % 10000,
    f.modified / 100000 % 100, f.modified / 1000 % 100, f.modified / 10 % 100,
    CASE f.modified % 10 WHEN 1 THEN 'PM' ELSE 'AM' END) ELSE f.modified END AS Field4,
  CASE typeof(f.created) WHEN 'integer' THEN printf('%02d/%02d/%04d  %02d:%02d:%02d %s',
    f.created / 10000000000000, f.created / 100000000000 % 100, f.created / 10000000 % 10000,
    f.created / 100000 % 100, f.created / 1000 % 100, f.created / 10 % 100,
    CASE f.created % 10 WHEN 1 THEN 'PM' ELSE 'AM' END) ELSE f.created END AS Field5,
  CASE typeof(f.accessed) WHEN 'integer' THEN printf('%02d/%02d/%04d',
    f.accessed / 1000000, f.accessed / 10000 % 100, f.accessed % 10000) ELSE f.accessed END AS Field6,
  f.size AS Field7,
  CASE typeof(f.datekey) WHEN 'integer' THEN (f.datekey / 86400) || r.text ELSE f.datekey END AS Field8,
  f.extension AS Field9
FROM files f JOIN folders d ON d.id = f.folder LEFT JOIN fractions r ON r.second = f.datekey % 86400
ORDER BY f.rowid;
)sql";

constexpr int kFileColumns = 11;
constexpr int kSecondsPerDay = 86400;
constexpr int kMaxDay = 1 << 24;  // days whose single-precision text is exact
constexpr int kMaxBlanks = 65535; // far beyond any defined size; bounds a damaged count
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

// "MM/DD/YYYY  HH:MM:SS AM" as the number MMDDYYYYHHMMSS and a last digit 1 for PM.
constexpr std::string_view kDateTimeShape = "99/99/9999  99:99:99 XM";
constexpr std::string_view kDateShape = "99/99/9999";

bool encodeDigits(std::string_view v, std::string_view shape, qint64 &code)
{
    if (v.size() != shape.size())
        return false;
    code = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (shape[i] == '9') {
            if (v[i] < '0' || v[i] > '9')
                return false;
            code = code * 10 + (v[i] - '0');
        } else if (shape[i] == 'X') {
            if (v[i] != 'A' && v[i] != 'P')
                return false;
            code = code * 10 + (v[i] == 'P' ? 1 : 0);
        } else if (v[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

void decodeDigits(qint64 code, std::string_view shape, std::string &out)
{
    out.assign(shape);
    for (std::size_t i = shape.size(); i-- > 0;) {
        if (shape[i] == '9') {
            out[i] = char('0' + code % 10);
            code /= 10;
        } else if (shape[i] == 'X') {
            out[i] = code % 10 ? 'P' : 'A';
            code /= 10;
        }
    }
}

// The date key's two texts, made once per day and per second.
class KeyTexts {
public:
    const std::string &day(int d)
    {
        auto it = m_days.find(d);
        if (it == m_days.end())
            it = m_days.emplace(d, values::dayText(d)).first;
        return it->second;
    }
    const std::string &fraction(int second)
    {
        std::string &t = m_fractions[std::size_t(second)];
        if (t.empty())
            t = values::fractionText(second);
        return t;
    }
    [[nodiscard]] bool used(int second) const { return !m_fractions[std::size_t(second)].empty(); }

private:
    std::unordered_map<int, std::string> m_days;
    std::vector<std::string> m_fractions = std::vector<std::string>(kSecondsPerDay);
};

// The day's text followed by the fraction's text: "363450.6359028", "363450".
bool encodeDateKey(std::string_view v, KeyTexts &texts, qint64 &code)
{
    const auto dot = v.find('.');
    const std::size_t split = dot == std::string_view::npos ? v.size() - 1 : dot - 1;
    if (v.size() < 2 || (dot != std::string_view::npos && dot < 2) || v[split] != '0' || split > 8)
        return false;
    int day = 0;
    for (std::size_t i = 0; i < split; ++i) {
        if (v[i] < '0' || v[i] > '9')
            return false;
        day = day * 10 + (v[i] - '0');
    }
    if (day >= kMaxDay || texts.day(day) != v.substr(0, split))
        return false;
    double fraction = 0;
    const std::string_view f = v.substr(split);
    if (f.size() > 12)
        return false;
    for (std::size_t i = f.size(); i-- > 2;)
        fraction = (fraction + (f[i] - '0')) / 10.0;
    const int second = int(fraction * kSecondsPerDay + 0.5);
    if (second < 0 || second >= kSecondsPerDay || texts.fraction(second) != f)
        return false;
    code = qint64(day) * kSecondsPerDay + second;
    return true;
}

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

void bindCoded(Stmt &st, int column, std::string_view value, std::string_view shape)
{
    qint64 code = 0;
    if (encodeDigits(value, shape, code))
        st.bind(column, code);
    else
        st.bind(column, value);
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
    KeyTexts keyTexts;
    Checksum sum;
    std::array<std::string, fld::Count> v;
    for (int pos = 0; pos < records.count(); ++pos) {
        for (int f = 0; f < fld::Count; ++f)
            if (f != fld::Size)
                records.utf8At(pos, f, v[std::size_t(f)]);
        const qint64 size = records.integerAt(pos, fld::Size);
        if (pos == 0 || v[fld::Path] != lastFolder) {
            auto [it, added] = folderIds.try_emplace(v[fld::Path], qint64(folderIds.size()) + 1);
            if (added) {
                folders.bind(1, it->second);
                folders.bind(2, v[fld::Path]);
                folders.run();
            }
            lastFolder = v[fld::Path];
            lastFolderId = it->second;
        }
        bindBlankPadded(files, 1, v[fld::LongName]);
        bindBlankPadded(files, 3, v[fld::ShortName]);
        files.bind(5, lastFolderId);
        bindCoded(files, 6, v[fld::Modified], kDateTimeShape);
        bindCoded(files, 7, v[fld::Created], kDateTimeShape);
        bindCoded(files, 8, v[fld::Accessed], kDateShape);
        files.bind(9, size);
        qint64 key = 0;
        if (encodeDateKey(v[fld::DateKey], keyTexts, key))
            files.bind(10, key);
        else
            files.bind(10, v[fld::DateKey]);
        files.bind(11, v[fld::Extension]);
        files.run();
        for (int f = 0; f < fld::Count; ++f)
            f == fld::Size ? sum.add(std::uint64_t(size)) : sum.add(v[std::size_t(f)]);
    }
    Stmt fractions(db, "INSERT INTO fractions VALUES (?, ?)");
    for (int second = 0; second < kSecondsPerDay; ++second) {
        if (keyTexts.used(second)) {
            fractions.bind(1, second);
            fractions.bind(2, keyTexts.fraction(second));
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

std::vector<std::string> readFractions(Db &db)
{
    std::vector<std::string> texts(kSecondsPerDay);
    Stmt st(db, "SELECT second, text FROM fractions");
    while (st.step())
        texts[std::size_t(st.integerIn(0, 0, kSecondsPerDay - 1))] = st.text(1);
    return texts;
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
        m_fractions = readFractions(m_db);
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
        coded(st, 5, kDateTimeShape);
        put(fld::Modified);
        coded(st, 6, kDateTimeShape);
        put(fld::Created);
        coded(st, 7, kDateShape);
        put(fld::Accessed);
        const qint64 size = st.integer(8);
        m_out.setField(fld::Size, size);
        m_sum.add(std::uint64_t(size));
        dateKey(st, 9);
        put(fld::DateKey);
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

    void coded(const Stmt &st, int column, std::string_view shape)
    {
        if (st.isInteger(column))
            decodeDigits(st.integerIn(column, 0, qint64(1e15)), shape, m_value);
        else
            m_value = st.text(column);
    }

    void dateKey(const Stmt &st, int column)
    {
        if (!st.isInteger(column)) {
            m_value = st.text(column);
            return;
        }
        const qint64 code = st.integerIn(column, 0, qint64(kMaxDay) * kSecondsPerDay - 1);
        const std::string &fraction = m_fractions[std::size_t(code % kSecondsPerDay)];
        if (fraction.empty())
            throw Failure("its date keys are damaged");
        m_value = m_keyTexts.day(int(code / kSecondsPerDay));
        m_value += fraction;
    }

    Db &m_db;
    RecordSet &m_out;
    std::vector<std::string> m_folders, m_fractions;
    KeyTexts m_keyTexts;
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
