#pragma once
// Small catalogues for the grid tests, built through the same value forms the walk uses.

#include "catalogue/layouts.h"
#include "catalogue/recordset.h"
#include "catalogue/recordvalues.h"

#include <string>

struct FileRow {
    const char *name;
    qint64 size;
};

inline void addFile(RecordSet &rs, const std::string &name, qint64 size, const std::string &dir = "/HOME/ANN/")
{
    rs.addNew();
    const std::string longName = values::longNameValue(name);
    rs.setField(fld::LongName, std::string_view(longName));
    rs.setField(fld::ShortName, std::string_view(values::shortNameValue("", longName)));
    rs.setField(fld::Path, std::string_view(values::pathValue(dir)));
    rs.setField(fld::Size, size);
}

// Records in the given order; the first becomes current.
template <std::size_t N> void fillCatalogue(RecordSet &rs, const FileRow (&rows)[N])
{
    CreateRecordSet(rs);
    for (const FileRow &r : rows)
        addFile(rs, r.name, r.size);
    rs.publishAppended();
    rs.moveFirst();
}

inline void fillNumbered(RecordSet &rs, int count)
{
    CreateRecordSet(rs);
    for (int i = 0; i < count; ++i)
        addFile(rs, "FILE" + std::to_string(i) + ".TXT", i);
    rs.publishAppended();
    rs.moveFirst();
}
