#include "catalogfile/cataloguefile.h"

#include "catalogfile/catalogueformat.h"
#include "catalogfile/cataloguereader.h"
#include "catalogfile/cataloguerows.h"
#include "catalogfile/cataloguewriter.h"
#include "catalogfile/hashstore.h"
#include "catalogfile/oldtarget.h"
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

} // namespace

atomicfile::Outcome save(const RecordSet &records, const Volumes &volumes, const std::string &path, std::string &error,
                         const std::string &digestsFrom)
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
        if (!digestsFrom.empty())
            carryDigests(digestsFrom, replacement.temporaryPath(), records);
        else if (replacement.targetExists())
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
