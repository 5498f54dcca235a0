#pragma once
// What the writer and the reader of catalogue files share: the tables, the values of a row
// of the files table, and the checksum over them.

#include "catalogfile/sqlitedb.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cataloguefile {

// The volumes walked and the volume of each folder: tables of their own, which readers
// that do not know them pass over, and which an older file does not have.
extern const char *const kVolumeSchema;
enum VolumeColumn {
    MountPoint,
    Label,
    Uuid,
    FsType,
    Device,
    DeviceNumber,
    DriveType,
    TotalBytes,
    FreeBytes,
    WalkBegan,
    WalkEnded,
    Files
};
constexpr int kVolumeColumns = 12;
// Binds a volume's id as parameter 1 and its columns, in order, as 2 to 13.
void bindVolume(sqlitedb::Stmt &st, qint64 id, const Volume &v);

// Names and folders as the file system gave them, where the records know them: blobs of up
// to kExactChunk values or about kExactChunkBytes each (see exactcodec), from the files row
// or folders id `first` on, and a checksum over them.
extern const char *const kExactSchema;
constexpr int kExactChunk = 4096;
constexpr std::size_t kExactChunkBytes = 1 << 20;

// The usual values are kept as integers: dates and date keys in the record set's own packed
// form, names without their trailing blanks and a count of blanks; any other value is kept
// as text; a creation time equal to the modification time is left out (NULL). The view
// rebuilds the texts.
extern const char *const kSchema;

// The files table's columns, in order.
enum FileColumn { Name, NameBlanks, Short, ShortBlanks, Folder, Modified, Created, Accessed, Size, DateKey, Extension };
constexpr int kFileColumns = 11;
constexpr int kSecondsPerDay = 86400;
constexpr std::uint64_t kSecondBits = 0x1FFFF; // a packed date key's second of the day
constexpr int kMaxBlanks = 65535;              // far beyond any defined size; bounds a damaged count

[[nodiscard]] bool sameLayout(const FieldDef &a, const FieldDef &b);

using sqlitedb::Cell;

// Covers every value as the record set holds it, so damage that SQLite cannot see (a
// changed byte inside a name) is still found.
class Checksum {
public:
    void add(std::uint64_t v)
    {
        m_h = (m_h ^ v) * 0x9E3779B97F4A7C15ull;
        m_h ^= m_h >> 29;
    }
    void add(std::string_view s);
    // The same as adding the text followed by `blanks` blanks.
    void addPadded(std::string_view s, std::size_t blanks);
    // A row of the files table, whose folder is given by its text.
    void addRow(const Cell *row, std::string_view folder);
    [[nodiscard]] qint64 value() const { return qint64(m_h); }

private:
    void addValue(const Cell &value);
    std::uint64_t m_h = 0x243F6A8885A308D3ull;
    std::string m_padded;
};

} // namespace cataloguefile
