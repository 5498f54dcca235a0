#include "catalogfile/cataloguereader.h"

#include "catalogfile/exactcodec.h"
#include "catalogfile/readshared.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"

#include <array>
#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

constexpr std::uint32_t kNoFolder = UINT32_MAX;

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
        if (!givesLongName(m_value, field, blanks, m_derived))
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

// A folder of the file: its field text and, where the file keeps it, its exact path.
struct FolderText {
    std::string text;
    std::optional<std::string> exact;
};

// Every folder of the file, by its number less one.
std::vector<FolderText> readFolders(Db &db, ExactValues &exact)
{
    std::vector<FolderText> out;
    Stmt st(db, "SELECT id, path FROM folders ORDER BY id");
    while (st.step()) {
        const qint64 id = st.integer(0);
        if (id != qint64(out.size()) + 1)
            throw Failure("its folder table is damaged");
        const std::string *path = exact.folder(id, st.text(1));
        out.push_back({std::string(st.text(1)), path ? std::optional(*path) : std::nullopt});
    }
    return out;
}

std::uint32_t registerFolder(SharedTextColumn &folders, const FolderText &f)
{
    return f.exact ? folders.idOfExact(*f.exact, f.text) : folders.idOf(f.text);
}

// Steps through the files table's rows in order, checking each, and gives each with its
// exact name (or nullptr) to take; the sums are checked once all are given.
template <typename Take>
void eachRow(Db &db, ExactValues &exact, const std::vector<FolderText> &folders, const Take &take)
{
    Stmt total(db, "SELECT records, checksum FROM catalogue");
    if (!total.step())
        throw Failure("its record count is missing");
    const qint64 expected = total.integerIn(0, 0, INT_MAX - 1), expectedSum = total.integer(1);
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
        const auto folder = std::size_t(integerIn(row[Folder], 1, qint64(folders.size())));
        (void)integerIn(row[NameBlanks], 0, kMaxBlanks);
        (void)integerIn(row[ShortBlanks], 0, kMaxBlanks);
        sum.addRow(row.data(), folders[folder - 1].text);
        take(row.data(), exact.name(rows, row[Name].text, std::size_t(row[NameBlanks].integer)));
    }
    if (rows != expected)
        throw Failure("it holds fewer records than it says");
    if (sum.value() != expectedSum)
        throw Failure("its records are damaged");
    exact.check(db);
}

// Returns the file's folder numbers, less one, to the record set's.
std::vector<std::uint32_t> readFiles(Db &db, RecordSet &out)
{
    ExactValues exact(db);
    const std::vector<FolderText> folders = readFolders(db, exact);
    std::vector<std::uint32_t> ids;
    for (const FolderText &f : folders)
        ids.push_back(registerFolder(*out.sharedValues(fld::Path), f));
    RecordBuilder builder(out, ids);
    eachRow(db, exact, folders, [&](const Cell *row, const std::string *name) { builder.record(row, name); });
    return ids;
}

// The same, a batch of records at a time, each batch a record set of its own.
void streamFiles(Db &db, int batchRows, const std::function<void(RecordSet &)> &take)
{
    ExactValues exact(db);
    const std::vector<FolderText> folders = readFolders(db, exact);
    std::vector<std::uint32_t> ids;
    auto batch = std::make_unique<RecordSet>();
    std::optional<RecordBuilder> builder;
    auto begin = [&] {
        batch = std::make_unique<RecordSet>();
        CreateRecordSet(*batch);
        ids.assign(folders.size(), kNoFolder);
        builder.emplace(*batch, ids);
    };
    begin();
    eachRow(db, exact, folders, [&](const Cell *row, const std::string *name) {
        std::uint32_t &id = ids[std::size_t(row[Folder].integer - 1)];
        if (id == kNoFolder)
            id = registerFolder(*batch->sharedValues(fld::Path), folders[std::size_t(row[Folder].integer - 1)]);
        builder->record(row, name);
        if (batch->count() == batchRows)
            take(*batch), begin();
    });
    if (batch->count() > 0)
        take(*batch);
}

// The volumes of a file that records them, their folders in the record set's numbering.
void readVolumes(Db &db, const std::vector<std::uint32_t> &ids, std::size_t folders, Volumes &out)
{
    if (!readVolumeList(db, out))
        return;
    out.folderVolume.assign(folders, -1);
    Stmt tie(db, "SELECT folder, volume FROM folder_volumes");
    while (tie.step()) {
        const auto folder = std::size_t(tie.integerIn(0, 1, qint64(ids.size())));
        out.folderVolume[ids[folder - 1]] = int(tie.integerIn(1, 1, qint64(out.list.size())) - 1);
    }
}

} // namespace

void readCatalogue(const std::string &path, RecordSet &out, Volumes *volumes)
{
    Db db;
    beginRead(db, path, out);
    const std::vector<std::uint32_t> ids = readFiles(db, out);
    if (volumes)
        readVolumes(db, ids, out.sharedValues(fld::Path)->count(), *volumes);
    db.exec("COMMIT");
}

void eachCheckedRow(Db &db, const std::function<void(const Cell *row, std::string_view folder)> &take)
{
    ExactValues exact(db);
    const std::vector<FolderText> folders = readFolders(db, exact);
    eachRow(db, exact, folders, [&](const Cell *row, const std::string *) {
        take(row, folders[std::size_t(row[Folder].integer - 1)].text);
    });
}

void streamCatalogue(const std::string &path, int batchRows, const std::function<void(RecordSet &)> &take)
{
    RecordSet layout;
    CreateRecordSet(layout);
    Db db;
    beginRead(db, path, layout);
    // Pages read once need not stay mapped: the stream's memory is its batch.
    db.exec("PRAGMA mmap_size = 0");
    streamFiles(db, batchRows, take);
    db.exec("COMMIT");
}

} // namespace cataloguefile
