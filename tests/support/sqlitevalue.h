#pragma once
// Reading a catalogue file as any SQLite tool reads it, and catalogues to write.

#include "catalogue/layouts.h"
#include "catalogue/recordset.h"

#include <memory>
#include <sqlite3.h>
#include <string>

// A catalogue of FILE0, FILE1, ... in one folder, sizes 0, 1, ...
inline std::unique_ptr<RecordSet> numberedFiles(int records, const char *folder)
{
    auto rs = std::make_unique<RecordSet>();
    CreateRecordSet(*rs);
    for (int i = 0; i < records; ++i) {
        rs->addNew();
        rs->setField(fld::LongName, "FILE" + std::to_string(i));
        rs->setField(fld::ShortName, std::string_view("F~1"));
        rs->setField(fld::Path, std::string_view(folder));
        rs->setField(fld::Size, qint64(i));
        rs->setField(fld::Extension, std::string_view("TXT"));
    }
    return rs;
}

// The first column of the first row.
inline std::string firstValue(const std::string &file, const char *select)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    std::string value = "(nothing)";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, select, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}
