#include "files/cataloguefile.h"

#include "catalogue/layouts.h"
#include "files/catalogueformat.h"
#include "files/cataloguereader.h"
#include "files/cataloguewriter.h"
#include "platform/atomicfile.h"

#include <new>

namespace cataloguefile {
namespace {

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

bool save(const RecordSet &records, const std::string &path, std::string &error)
{
    if (!hasCatalogueLayout(records)) {
        error = "the records do not have the catalogue's layout";
        return false;
    }
    const std::string temporary = atomicfile::createBeside(path, error);
    if (temporary.empty())
        return false;
    try {
        writeCatalogue(records, temporary);
    } catch (const std::bad_alloc &) {
        error = "there is not enough memory to save it";
        atomicfile::remove(temporary);
        return false;
    } catch (const std::exception &e) {
        error = e.what();
        atomicfile::remove(temporary);
        return false;
    }
    if (!atomicfile::sync(temporary, error) || !atomicfile::replace(temporary, path, error)) {
        atomicfile::remove(temporary);
        return false;
    }
    return true;
}

std::unique_ptr<RecordSet> open(const std::string &path, std::string &error)
{
    auto records = std::make_unique<RecordSet>();
    CreateRecordSet(*records);
    try {
        readCatalogue(path, *records);
    } catch (const std::bad_alloc &) {
        error = "there is not enough memory to open it";
        return nullptr;
    } catch (const std::exception &e) {
        error = e.what();
        return nullptr;
    }
    records->squeeze();
    records->moveFirst();
    return records;
}

} // namespace cataloguefile
