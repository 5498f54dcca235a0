#include "catalogfile/cataloguewriter.h"

#include "catalogfile/catalogueformat.h"
#include "catalogfile/exactcodec.h"
#include "catalogfile/filerows.h"
#include "catalogfile/folderlistings.h"
#include "catalogfile/formatversion.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "platform/atomicfile.h"
#include "platform/text.h"

#include <optional>
#include <vector>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

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

// Exact values in blobs of kExactChunk, each a row of its table, summed on the way.
class ExactChunks {
public:
    ExactChunks(Db &db, const char *insert, Checksum &sum) : m_st(db, insert), m_sum(sum) {}
    void add(const std::optional<std::string_view> &exact, std::string_view field)
    {
        exactcodec::append(m_blob, exact, field);
        if (++m_count - m_first == kExactChunk || m_blob.size() >= kExactChunkBytes)
            flush();
    }
    void flush()
    {
        if (m_count == m_first)
            return;
        m_st.bind(1, m_first + 1);
        m_st.bindBlob(2, m_blob);
        m_st.run();
        m_sum.add(std::uint64_t(m_first) + 1);
        m_sum.add(m_blob);
        m_first = m_count;
        m_blob.clear();
    }

private:
    Stmt m_st;
    Checksum &m_sum;
    std::string m_blob;
    qint64 m_first = 0, m_count = 0;
};

// Every folder value the records may name, numbered from 1 in the column's own order.
void writeFolders(Db &db, const SharedTextColumn &folders, Checksum &exactSum)
{
    Stmt st(db, "INSERT INTO folders VALUES (?, ?)");
    ExactChunks exact(db, "INSERT INTO exact_folders VALUES (?, ?)", exactSum);
    for (std::uint32_t id = 0; id < folders.count(); ++id) {
        st.bind(1, qint64(id) + 1);
        st.bind(2, folders.value(id));
        st.run();
        const std::string *bytes = folders.exactOf(id);
        exact.add(bytes ? std::optional<std::string_view>(*bytes) : std::nullopt, folders.value(id));
    }
    exact.flush();
}

// A rough 4 MB of the file a time.
constexpr int kWritebackRows = 65536;

void writeFiles(Db &db, FileRows &files, const RecordSet &records, const atomicfile::Writeback &writeback,
                Checksum &exactSum)
{
    Stmt st(db, "INSERT INTO files VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    ExactChunks exact(db, "INSERT INTO exact_names VALUES (?, ?)", exactSum);
    std::string name;
    for (int pos = 0; pos < records.count(); ++pos) {
        const auto &row = files.row(pos);
        for (int c = 0; c < kFileColumns; ++c)
            st.bind(c + 1, row[std::size_t(c)]);
        st.run();
        const bool has = records.exactAt(pos, fld::LongName, name);
        exact.add(has ? std::optional<std::string_view>(name) : std::nullopt, row[Name].text);
        // The disk starts on what SQLite has handed over, so that the final sync waits less.
        if (pos % kWritebackRows == kWritebackRows - 1)
            writeback.start();
    }
    exact.flush();
}

void writeVolumes(Db &db, const Volumes &volumes)
{
    Stmt st(db, "INSERT INTO volumes VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < volumes.list.size(); ++i) {
        bindVolume(st, qint64(i) + 1, volumes.list[i]);
        st.run();
    }
    Stmt tie(db, "INSERT INTO folder_volumes VALUES (?, ?)");
    for (std::size_t folder = 0; folder < volumes.folderVolume.size(); ++folder) {
        if (volumes.folderVolume[folder] < 0)
            continue;
        tie.bind(1, qint64(folder) + 1);
        tie.bind(2, qint64(volumes.folderVolume[folder]) + 1);
        tie.run();
    }
}

} // namespace

namespace {

constexpr int kSmallCatalogue = 20000; // records

} // namespace

void writeCatalogue(const RecordSet &records, const Volumes &volumes, const std::string &path)
{
    const atomicfile::Writeback writeback(path);
    Db db;
    db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // The file is private until it is renamed into place: no journal is needed, and it is
    // synced as a whole afterwards. Rows go in rowid order, so each page is written once.
    // Large pages make a large file quicker to write and read; every table takes at least
    // one, so a small catalogue takes small ones.
    db.exec(records.count() < kSmallCatalogue ? "PRAGMA page_size = 4096" : "PRAGMA page_size = 65536");
    db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "PRAGMA locking_mode = EXCLUSIVE; PRAGMA cache_size = -16384;");
    db.exec(("PRAGMA application_id = " + std::to_string(kApplicationId) +
             "; PRAGMA user_version = " + std::to_string(kVersion) + "; BEGIN")
                .c_str());
    db.exec(kSchema);
    db.exec(kVolumeSchema);
    db.exec(kExactSchema);
    writeFields(db, records);
    Checksum exactSum;
    writeFolders(db, *records.sharedValues(fld::Path), exactSum);
    FileRows files(records);
    writeFiles(db, files, records, writeback, exactSum);
    writeFractions(db, files);
    writeVolumes(db, volumes);
    writeListings(db, volumes, records);
    Stmt total(db, "INSERT INTO catalogue VALUES (?, ?)");
    total.bind(1, records.count());
    total.bind(2, files.checksum());
    total.run();
    Stmt exact(db, "INSERT INTO exact_sum VALUES (?)");
    exact.bind(1, exactSum.value());
    exact.run();
    db.exec("COMMIT");
}

} // namespace cataloguefile
