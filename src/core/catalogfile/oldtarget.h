#pragma once
// The file a save replaces, settled by SQLite under its own locks: a hot journal rolled
// back, a WAL checkpointed and the file switched out of WAL mode, then held under an
// exclusive lock until the new file has taken its name. Whatever is left beside it is then
// nobody's and is removed, so that no reader takes it for part of the new file.

#include "catalogfile/sqlitedb.h"
#include "platform/atomicfile.h"

#include <string>

namespace cataloguefile {

class OldTarget {
public:
    // True with the old file, if there is one, held until this is destroyed.
    [[nodiscard]] bool settle(const atomicfile::Replacement &replacement, std::string &error);

private:
    enum class Hold { Locked, Busy, Unreadable };
    Hold lock(const std::string &path);

    sqlitedb::Db m_db; // closed, which ends the lock, once the new file is in place
};

} // namespace cataloguefile
