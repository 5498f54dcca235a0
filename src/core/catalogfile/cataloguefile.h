#pragma once
// Catalogue files: the catalogue's layout and every record, in its current order, in an
// SQLite database that any SQLite tool can read through the view `records`. Saving never
// leaves a half-written file in place of the target; opening checks everything before it
// hands over a record set, and refuses a file it cannot trust.

#include "catalogfile/formatversion.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "platform/atomicfile.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cataloguefile {

// Writes the records in the set's current order. A symbolic link is followed; the new
// file keeps the old one's mode, and its owner and group where the saver may set them. A
// target that is not a regular file, is read-only or is held by another program is
// refused. On failure the reason is in error and the target, if it existed, keeps its
// contents; Unsynced comes with the reason the new file is not yet known to be on disk.
// Temporaries that killed saves left in the target's folder are removed first. The new file
// keeps the content digests that `digestsFrom` (by default the file it replaces) kept for
// the paths it still lists.
[[nodiscard]] atomicfile::Outcome save(const RecordSet &records, const Volumes &volumes, const std::string &path,
                                       std::string &error, const std::string &digestsFrom = {});
[[nodiscard]] inline atomicfile::Outcome save(const RecordSet &records, const std::string &path, std::string &error)
{
    return save(records, Volumes{}, path, error);
}

// The reason a save or an open gives when memory ran out, so a caller can tell it apart.
inline constexpr const char *kNoMemoryToSave = "there is not enough memory to save it";
inline constexpr const char *kNoMemoryToOpen = "there is not enough memory to open it";

// A new, open record set with the file's records in the file's order; nullptr with the
// reason in error for a file that is not a whole catalogue file of this version or older.
// Where volumes is given, it gets the volumes the file records (none for an older file).
[[nodiscard]] std::unique_ptr<RecordSet> open(const std::string &path, std::string &error, Volumes *volumes = nullptr);

// The same for only the records at `positions` (ascending, from 0, in the file's order), as a
// search whose index says where its hits may be reads them. The sum over all records is not
// checked: the index was made from a whole, checked open of the same state of the file.
[[nodiscard]] std::unique_ptr<RecordSet> openRows(const std::string &path, const std::vector<int> &positions,
                                                  std::string &error, Volumes *volumes = nullptr);

// Gives the file's records, in its order and checked as open() checks them, to take a batch
// of up to batchRows at a time, each batch a record set of its own, so that memory stays that
// of one batch. False with the reason for a file open() would refuse, possibly after some
// batches were given.
[[nodiscard]] bool streamRecords(const std::string &path, int batchRows, const std::function<void(RecordSet &)> &take,
                                 std::string &error);

} // namespace cataloguefile
