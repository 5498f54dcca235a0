#include "catalogfile/cataloguefile.h"

#include "catalogfile/catalogueformat.h"
#include "catalogfile/cataloguereader.h"
#include "catalogfile/cataloguerows.h"
#include "catalogfile/cataloguewriter.h"
#include "catalogfile/hashstore.h"
#include "catalogue/layouts.h"
#include "platform/atomicfile.h"

#include "catalogfile/sqlitedb.h"

#include <cstring>
#include <new>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

bool hasCatalogueLayout(const RecordSet &records)
{
    RecordSet expected;
    CreateRecordSet(expected);
    if (records.fieldCount() != expected.fieldCount())
        return false;
    for (int f = 0; f < expected.fieldCount(); ++f)
        if (!sameLayout(records.field(f), expected.field(f)))
            return false;
    return records.sharedValues(fld::Path) && records.sharedValues(fld::Extension);
}

// The file a save replaces, settled by SQLite under its own locks: a hot journal rolled
// back, a WAL checkpointed and the file switched out of WAL mode, then held under an
// exclusive lock until the new file has taken its name. Whatever is left beside it is then
// nobody's and is removed, so that no reader takes it for part of the new file.
class OldTarget {
public:
    [[nodiscard]] bool settle(const atomicfile::Replacement &replacement, std::string &error)
    {
        if (!replacement.targetExists())
            return true;
        const Hold hold = lock(replacement.targetPath());
        if (hold == Hold::Busy) {
            error = "another program is using the file";
            return false;
        }
        for (const char *suffix : {"-journal", "-wal", "-shm"}) {
            if (hold == Hold::Locked && !replacement.removeBeside(suffix, error))
                return false;
            // Unused or not, a lone shared-memory file changes nothing a reader sees.
            if (hold == Hold::Unreadable && std::strcmp(suffix, "-shm") != 0 && replacement.besideExists(suffix)) {
                error = std::string("a journal (its name ending in ") + suffix +
                        ") lies beside the file, and SQLite cannot read the file to settle it";
                return false;
            }
        }
        return true;
    }

private:
    enum class Hold { Locked, Busy, Unreadable };

    static std::string journalMode(Db &db, const char *pragma)
    {
        Stmt st(db, pragma);
        return st.step() ? std::string(st.text(0)) : std::string();
    }

    Hold lock(const std::string &path)
    {
        try {
            m_db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
            sqlite3_busy_timeout(m_db.handle(), kBusyMillis);
            m_db.exec("SELECT count(*) FROM sqlite_schema"); // rolls back or recovers first
            if (journalMode(m_db, "PRAGMA journal_mode = DELETE") != "delete")
                return Hold::Busy;
            m_db.exec("BEGIN EXCLUSIVE");
            return Hold::Locked;
        } catch (const sqlitedb::Failure &) {
            const int code = sqlite3_errcode(m_db.handle()) & 0xff;
            return code == SQLITE_BUSY || code == SQLITE_LOCKED ? Hold::Busy : Hold::Unreadable;
        }
    }

    // Long enough for a reader that is opening the file to finish.
    static constexpr int kBusyMillis = 1000;
    Db m_db; // closed, which ends the lock, once the new file is in place
};

} // namespace

atomicfile::Outcome save(const RecordSet &records, const Volumes &volumes, const std::string &path, std::string &error)
{
    using atomicfile::Outcome;
    if (!hasCatalogueLayout(records)) {
        error = "the records do not have the catalogue's layout";
        return Outcome::Failed;
    }
    atomicfile::Replacement replacement;
    if (!replacement.begin(path, error))
        return Outcome::Failed;
    replacement.removeStale(std::string_view("SQLite format 3", 16)); // with its NUL
    try {
        writeCatalogue(records, volumes, replacement.temporaryPath());
        if (replacement.targetExists())
            carryDigests(replacement.targetPath(), replacement.temporaryPath(), records);
    } catch (const std::bad_alloc &) {
        error = kNoMemoryToSave;
        return Outcome::Failed;
    } catch (const std::exception &e) {
        error = e.what();
        return Outcome::Failed;
    }
    OldTarget old;
    if (!replacement.prepare(error) || !old.settle(replacement, error))
        return Outcome::Failed;
    return replacement.commit(error);
}

namespace {

// A new record set filled by read, or nullptr with the reason.
template <typename Read> std::unique_ptr<RecordSet> openWith(const Read &read, std::string &error)
{
    auto records = std::make_unique<RecordSet>();
    CreateRecordSet(*records);
    try {
        read(*records);
    } catch (const std::bad_alloc &) {
        error = kNoMemoryToOpen;
        return nullptr;
    } catch (const std::exception &e) {
        error = e.what();
        return nullptr;
    }
    records->squeeze();
    records->moveFirst();
    return records;
}

} // namespace

std::unique_ptr<RecordSet> open(const std::string &path, std::string &error, Volumes *volumes)
{
    return openWith([&](RecordSet &records) { readCatalogue(path, records, volumes); }, error);
}

std::unique_ptr<RecordSet> openRows(const std::string &path, const std::vector<int> &positions, std::string &error,
                                    Volumes *volumes)
{
    return openWith([&](RecordSet &records) { readRows(path, positions, records, volumes); }, error);
}

bool streamRecords(const std::string &path, int batchRows, const std::function<void(RecordSet &)> &take,
                   std::string &error)
{
    try {
        streamCatalogue(path, batchRows, take);
        return true;
    } catch (const std::bad_alloc &) {
        error = kNoMemoryToOpen;
    } catch (const std::exception &e) {
        error = e.what();
    }
    return false;
}

} // namespace cataloguefile
