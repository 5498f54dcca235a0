#pragma once
// Reading a catalogue file as any SQLite tool reads it.

#include <sqlite3.h>
#include <string>

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
