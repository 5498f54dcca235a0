#pragma once
// Reading and changing a catalogue file as any SQLite tool does, and catalogues to write.

#include "catalogue/layouts.h"
#include "catalogue/recordset.h"

#include <QString>
#include <cstdlib>
#include <gtest/gtest.h>
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
        value = sqlite3_column_text(st, 0) ? reinterpret_cast<const char *>(sqlite3_column_text(st, 0)) : "(null)";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

// A count, or 0 when the file cannot answer.
inline long long countOf(const std::string &file, const char *select)
{
    return std::atoll(firstValue(file, select).c_str());
}

// Runs the statements; keepOpen takes the connection instead of closing it.
inline void sql(const std::string &file, const char *statements, sqlite3 **keepOpen = nullptr)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    if (keepOpen)
        *keepOpen = db;
    else
        sqlite3_close(db);
}

// The same, the WAL left unmerged beside the file, as a program that died leaves it.
inline void sqlLeavingWal(const std::string &file, const char *statements)
{
    sqlite3 *db = nullptr;
    sql(file, statements, &db);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(db);
}

// countOf and sql for a file named as the trv commands are given it.
inline long long countOf(const QString &file, const char *select)
{
    return countOf(file.toStdString(), select);
}
inline void sql(const QString &file, const char *statements)
{
    sql(file.toStdString(), statements);
}
