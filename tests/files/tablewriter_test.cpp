// A table filled page by page must be one that SQLite reads back as given: every value and
// rowid, through trees of several levels and rows spilling onto overflow pages, never on the
// page of SQLite's lock bytes; and a file it cannot fill is refused and left as it was.
#include "files/tablewriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using sqlitedb::Cell;

class TableWriterTest : public ::testing::Test {
protected:
    // A database of small pages, so that a few thousand rows make a deep tree, holding
    // one empty table; returns the table's root page.
    std::uint32_t emptyTable(const char *columns)
    {
        sqlitedb::Db db;
        db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec(("PRAGMA page_size = 512; CREATE TABLE other(x); CREATE TABLE t(" + std::string(columns) +
                 "); INSERT INTO other VALUES ('before')")
                    .c_str());
        sqlitedb::Stmt root(db, "SELECT rootpage FROM sqlite_schema WHERE name = 't'");
        EXPECT_TRUE(root.step());
        return std::uint32_t(root.integer(0));
    }
    // Each row's values joined by "|", rows ended by "\n".
    std::string query(const char *select)
    {
        sqlitedb::Db db;
        db.open(path, SQLITE_OPEN_READONLY);
        sqlite3_stmt *st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db.handle(), select, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db.handle());
        std::string out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                out += (c ? "|" : "") + std::string(text ? text : "NULL");
            }
            out += '\n';
        }
        sqlite3_finalize(st);
        return out;
    }

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("t.db")).toStdString();
};

// Integers at each edge of the record format's sizes, and 0 and 1, which take no bytes.
std::vector<qint64> edgeIntegers()
{
    std::vector<qint64> integers = {0, 1, 2, -1};
    for (const int bits : {8, 16, 24, 32, 48}) {
        const qint64 top = (qint64(1) << (bits - 1)) - 1;
        integers.insert(integers.end(), {top, top + 1, -top - 1, -top - 2});
    }
    integers.insert(integers.end(), {LLONG_MAX, LLONG_MIN});
    return integers;
}

} // namespace

TEST_F(TableWriterTest, RowsOfEveryKindComeBackThroughADeepTree)
{
    const std::uint32_t root = emptyTable("a, b, c");
    const std::vector<qint64> integers = edgeIntegers();
    std::string expected;
    {
        sqlitedb::TableWriter table(path, root);
        for (int i = 0; i < 3000; ++i) {
            // Texts from empty to several overflow pages long.
            const std::string text(std::size_t(i * 37 % 1900), char('a' + i % 26));
            Cell row[3];
            row[0].set(integers[std::size_t(i) % integers.size()]);
            row[1].set(std::string_view(text));
            if (i % 3)
                row[2].set(qint64(i));
            table.add(row, 3);
            expected += std::to_string(i + 1) + "|" + std::to_string(row[0].integer) + "|" + text + "|" +
                        (i % 3 ? std::to_string(i) : "NULL") + "\n";
        }
        table.finish();
    }
    EXPECT_EQ(query("PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(query("SELECT rowid, a, b, c FROM t ORDER BY rowid"), expected);
    // Found through the upper levels rather than read in order.
    EXPECT_EQ(query("SELECT a, length(b), c FROM t WHERE rowid = 2345"), "127|1228|2344\n");
    EXPECT_EQ(query("SELECT typeof(b) FROM t WHERE rowid = 1"), "text\n");
    EXPECT_EQ(query("SELECT x FROM other"), "before\n");
}

TEST_F(TableWriterTest, AnIntegerKeyIsTheRowidGivenAndSqliteGoesOnFromThere)
{
    const std::uint32_t root = emptyTable("id INTEGER PRIMARY KEY, v TEXT NOT NULL");
    {
        sqlitedb::TableWriter table(path, root);
        Cell row[2];
        for (const qint64 id : {LLONG_MIN, -5LL, 0LL, 7LL, 1'000'000'000'000LL}) {
            row[1].set(std::string_view("v"));
            table.add(id, row, 2);
        }
        row[1].set(std::string_view("lower"));
        EXPECT_THROW(table.add(6, row, 2), sqlitedb::Failure);
        table.finish();
    }
    sqlitedb::Db db;
    db.open(path, SQLITE_OPEN_READWRITE);
    db.exec("INSERT INTO t(v) VALUES ('next')");
    EXPECT_EQ(query("SELECT id, v FROM t"),
              "-9223372036854775808|v\n-5|v\n0|v\n7|v\n1000000000000|v\n1000000000001|next\n");
    EXPECT_EQ(query("PRAGMA integrity_check"), "ok\n");
}

TEST_F(TableWriterTest, ThePageOfTheLockBytesIsNeverUsed)
{
    // The lock bytes moved down to the 129th page of 512 bytes, so that a small file reaches it.
    const int usual = sqlite3_test_control(SQLITE_TESTCTRL_PENDING_BYTE, 0x10000);
    const std::uint32_t root = emptyTable("a");
    {
        sqlitedb::TableWriter table(path, root);
        const std::string text(300, 'x');
        Cell row[1];
        row[0].set(std::string_view(text));
        for (int i = 0; i < 600; ++i)
            table.add(row, 1);
        table.finish();
    }
    EXPECT_EQ(query("PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(query("SELECT count(*), sum(length(a)) FROM t"), "600|180000\n");
    sqlite3_test_control(SQLITE_TESTCTRL_PENDING_BYTE, usual);
}

TEST_F(TableWriterTest, AFileItCannotFillIsRefusedAndLeftAsItWas)
{
    const std::uint32_t root = emptyTable("a");
    {
        sqlitedb::Db db;
        db.open(path, SQLITE_OPEN_READWRITE);
        db.exec("INSERT INTO t VALUES (1)");
    }
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    EXPECT_THROW(sqlitedb::TableWriter(path, root), sqlitedb::Failure) << "the table is not empty";
    EXPECT_THROW(sqlitedb::TableWriter(path, 1), sqlitedb::Failure) << "the schema is not a table to fill";
    EXPECT_THROW(sqlitedb::TableWriter(path, 999), sqlitedb::Failure) << "no such page";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    EXPECT_THROW(sqlitedb::TableWriter(path, 2), sqlitedb::Failure) << "not a database";
    EXPECT_THROW(sqlitedb::TableWriter(dir.filePath(QStringLiteral("missing")).toStdString(), 2), sqlitedb::Failure);
}
