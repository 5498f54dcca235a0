#include "catalogfile/catalogueformat.h"

#include <bit>
#include <cstring>

namespace cataloguefile {

const char *const kSchema = R"sql(
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

const char *const kVolumeSchema = R"sql(
CREATE TABLE volumes(id INTEGER PRIMARY KEY, mount_point TEXT NOT NULL, label TEXT NOT NULL, uuid TEXT NOT NULL,
                     fs_type TEXT NOT NULL, device TEXT NOT NULL, device_number TEXT NOT NULL,
                     drive_type TEXT NOT NULL, total_bytes INTEGER NOT NULL, free_bytes INTEGER NOT NULL,
                     walk_began INTEGER NOT NULL, walk_ended INTEGER NOT NULL, files INTEGER NOT NULL);
CREATE TABLE folder_volumes(folder INTEGER PRIMARY KEY, volume INTEGER NOT NULL);
)sql";

const char *const kExactSchema = R"sql(
CREATE TABLE exact_names(first INTEGER PRIMARY KEY, names BLOB NOT NULL);
CREATE TABLE exact_folders(first INTEGER PRIMARY KEY, paths BLOB NOT NULL);
CREATE TABLE exact_sum(checksum INTEGER NOT NULL);
)sql";

void bindVolume(sqlitedb::Stmt &st, qint64 id, const Volume &v)
{
    st.bind(1, id);
    int c = 2;
    for (const std::string *text :
         {&v.mountPoint, &v.label, &v.uuid, &v.fsType, &v.device, &v.deviceNumber, &v.driveType})
        st.bind(c++, *text);
    for (const qint64 n : {v.totalBytes, v.freeBytes, v.walkBegan, v.walkEnded, v.files})
        st.bind(c++, n);
}

bool sameLayout(const FieldDef &a, const FieldDef &b)
{
    return a.name == b.name && a.adoType == b.adoType && a.definedSize == b.definedSize && a.attributes == b.attributes;
}

namespace {

// Marks a packed value in the checksum, so that it never matches a text.
constexpr std::uint64_t kPackedTag = 0x5041434bull;

std::uint64_t word(const char *p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

} // namespace

void Checksum::add(std::string_view s)
{
    // Little-endian words of the text, the last one short and filled with zeros.
    static_assert(std::endian::native == std::endian::little);
    add(std::uint64_t(s.size()));
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8)
        add(word(s.data() + i));
    std::uint64_t w = 0;
    if (i < s.size())
        std::memcpy(&w, s.data() + i, s.size() - i);
    add(w);
}

void Checksum::addPadded(std::string_view s, std::size_t blanks)
{
    if (blanks == 0)
        return add(s);
    m_padded.assign(s).append(blanks, ' ');
    add(m_padded);
}

void Checksum::addValue(const Cell &value)
{
    if (value.kind == Cell::Integer) {
        add(kPackedTag);
        add(std::uint64_t(value.integer));
    } else {
        add(value.text);
    }
}

void Checksum::addRow(const Cell *row, std::string_view folder)
{
    addPadded(row[Name].text, std::size_t(row[NameBlanks].integer));
    addPadded(row[Short].text, std::size_t(row[ShortBlanks].integer));
    add(folder);
    addValue(row[Modified]);
    // Left out because it equals the modification time.
    addValue(row[Created].kind == Cell::Null ? row[Modified] : row[Created]);
    addValue(row[Accessed]);
    add(std::uint64_t(row[Size].integer));
    addValue(row[DateKey]);
    add(row[Extension].text);
}

} // namespace cataloguefile
