#pragma once
// Saving again a catalogue file whose records a new walk would make just as they are: a copy
// of it with only its volumes' entries made new, put in place as a save puts a new file. The
// copy may be made while the walk that tells whether it is wanted still runs.

#include "catalogfile/oldtarget.h"
#include "catalogfile/sqlitedb.h"
#include "catalogue/retimedfolders.h"
#include "catalogue/volumes.h"
#include "platform/atomicfile.h"
#include "platform/uniquefd.h"

#include <atomic>
#include <string>
#include <vector>

namespace cataloguefile {

// Files written in place, for the copy's rows of them to be given their new values: found with
// the listings the file keeps, in its order.
struct InPlaceChanges {
    const std::vector<FolderListing> &listings;
    const RetimedFolders &folders;
    qint64 rowsChanged = 0; // once put in place: the rows whose values changed
};

class Restamp {
public:
    // Copies `from` into a temporary beside `to` (which may be the same file) and flushes it
    // to the disk. False with the reason, or once `stop` is set; the temporary is then removed.
    [[nodiscard]] bool copy(const std::string &from, const std::string &to, const std::atomic<bool> &stop,
                            std::string &error);
    // Replaces the copy's volumes' entries (identity, space, walk times, files) by `volumes`,
    // in order, and puts the copy in place; its records, folders, listings and digests are
    // the old file's, but for the rows `changes` gives new values (see retimeRows). Outcomes
    // as a save's; a file that records another number of volumes, or whose rows are not
    // those `changes` are for, is refused.
    [[nodiscard]] atomicfile::Outcome finish(const std::vector<Volume> &volumes, std::string &error,
                                             InPlaceChanges *changes = nullptr);

private:
    atomicfile::Replacement m_replacement;
    // Closing a descriptor of the file would end SQLite's locks on it: this outlives them.
    UniqueFd m_in;
    OldTarget m_old;     // the target, held while it is the file copied
    sqlitedb::Db m_from; // otherwise the file copied, held still by a read transaction
    bool m_inPlace = false;
};

} // namespace cataloguefile
