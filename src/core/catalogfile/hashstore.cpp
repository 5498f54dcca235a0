#include "catalogfile/hashstore.h"

#include "catalogfile/readshared.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"

#include <cstring>
#include <unordered_set>
#include <xxhash.h>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

constexpr const char *kHashSchema = R"sql(
CREATE TABLE IF NOT EXISTS hashes(path BLOB PRIMARY KEY, algorithm TEXT NOT NULL, size INTEGER NOT NULL,
    modified_ns INTEGER NOT NULL, inode INTEGER NOT NULL, digest BLOB NOT NULL) WITHOUT ROWID;
)sql";

constexpr int kBusyMillis = 5000;

// A catalogue file, checked as an open checks it (but for its records), to read or add digests.
void openChecked(Db &db, const std::string &path, bool write)
{
    RecordSet layout;
    CreateRecordSet(layout);
    beginRead(db, path, layout, write);
    db.exec("COMMIT");
}

} // namespace

namespace {

// A digest as the table keeps it; a blob of another length gives none (all zero).
std::array<unsigned char, 16> digestOf(std::string_view blob)
{
    std::array<unsigned char, 16> out{};
    if (blob.size() == out.size())
        std::memcpy(out.data(), blob.data(), out.size());
    return out;
}

} // namespace

std::uint64_t pathKey(std::string_view exactPath)
{
    return XXH3_64bits(exactPath.data(), exactPath.size());
}

bool HashStore::load(const std::string &path, StoredDigests &out, std::string &error)
{
    try {
        Db db;
        openChecked(db, path, false);
        if (!hasTables(db, "'hashes'", 1))
            return true;
        Stmt count(db, "SELECT count(*) FROM hashes");
        out.reserve(std::size_t(count.step() ? count.integerIn(0, 0, 1 << 30) : 0));
        Stmt st(db, "SELECT path, size, modified_ns, inode, digest FROM hashes WHERE algorithm = ?");
        st.bind(1, std::string_view(kAlgorithm));
        while (st.step())
            out.try_emplace(pathKey(st.blob(0)), StoredDigest{st.integer(1), st.integer(2),
                                                              std::uint64_t(st.integer(3)), digestOf(st.blob(4))});
        return true;
    } catch (const std::exception &e) {
        error = e.what();
        return false;
    }
}

template <typename F> bool HashStore::guarded(F &&f, std::string &error)
{
    try {
        f();
        return true;
    } catch (const std::exception &e) {
        error = e.what();
        return false;
    }
}

bool HashStore::open(const std::string &path, std::string &error)
{
    return guarded(
        [&] {
            m_db = std::make_unique<Db>();
            openChecked(*m_db, path, true);
            sqlite3_busy_timeout(m_db->handle(), kBusyMillis);
            m_db->exec(kHashSchema);
            m_put = std::make_unique<Stmt>(*m_db, "INSERT OR REPLACE INTO hashes VALUES (?, ?, ?, ?, ?, ?)");
            m_forget = std::make_unique<Stmt>(*m_db, "DELETE FROM hashes WHERE path = ?");
        },
        error);
}

void HashStore::beginIfNeeded()
{
    if (!m_inTransaction)
        m_db->exec("BEGIN IMMEDIATE");
    m_inTransaction = true;
}

bool HashStore::put(const std::string &exactPath, const StoredDigest &d, std::string &error)
{
    return guarded(
        [&] {
            beginIfNeeded();
            m_put->bindBlob(1, exactPath);
            m_put->bind(2, std::string_view(kAlgorithm));
            m_put->bind(3, qint64(d.size));
            m_put->bind(4, qint64(d.modifiedNs));
            m_put->bind(5, qint64(d.inode));
            m_put->bindBlob(6, std::string_view(reinterpret_cast<const char *>(d.digest.data()), d.digest.size()));
            m_put->run();
        },
        error);
}

bool HashStore::forget(const std::string &exactPath, std::string &error)
{
    return guarded(
        [&] {
            beginIfNeeded();
            m_forget->bindBlob(1, exactPath);
            m_forget->run();
        },
        error);
}

bool HashStore::commit(std::string &error)
{
    return guarded(
        [&] {
            if (m_inTransaction)
                m_db->exec("COMMIT");
            m_inTransaction = false;
        },
        error);
}

void carryDigests(const std::string &oldFile, const std::string &newFile, const RecordSet &records)
{
    try {
        Db old;
        openChecked(old, oldFile, false);
        if (!hasTables(old, "'hashes'", 1))
            return;
        std::unordered_set<std::uint64_t> kept;
        std::string folder, name;
        for (int pos = 0; pos < records.count(); ++pos) {
            records.exactAt(pos, fld::Path, folder);
            records.exactAt(pos, fld::LongName, name);
            kept.insert(pathKey(folder + name));
        }
        HashStore store;
        std::string error;
        if (!store.open(newFile, error))
            return;
        Stmt st(old, "SELECT path, size, modified_ns, inode, digest FROM hashes WHERE algorithm = ?");
        st.bind(1, std::string_view(HashStore::kAlgorithm));
        while (st.step())
            if (kept.contains(pathKey(st.blob(0))) &&
                !store.put(std::string(st.blob(0)),
                           {st.integer(1), st.integer(2), std::uint64_t(st.integer(3)), digestOf(st.blob(4))}, error))
                return;
        (void)store.commit(error);
    } catch (const std::exception &) {
        // An old file without readable digests has none to give.
    }
}

} // namespace cataloguefile
