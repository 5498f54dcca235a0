#include "catalogfile/oldtarget.h"

#include <cstring>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

// Long enough for a reader that is opening the file to finish.
constexpr int kBusyMillis = 1000;

std::string journalMode(Db &db, const char *pragma)
{
    Stmt st(db, pragma);
    return st.step() ? std::string(st.text(0)) : std::string();
}

} // namespace

bool OldTarget::settle(const atomicfile::Replacement &replacement, std::string &error)
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

OldTarget::Hold OldTarget::lock(const std::string &path)
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

} // namespace cataloguefile
