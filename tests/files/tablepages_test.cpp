// A table filled page by page must be one that SQLite reads back as given: every value and
// rowid, through trees of several levels and rows spilling onto overflow pages, never on the
// page of SQLite's lock bytes; a file it cannot fill is refused and left as it was. Read page
// by page, a table gives what SQLite gives, and damaged pages are refused, never followed
// out of bounds (the sanitizers watch every read).
#include "files/tablereader.h"
#include "files/tablewriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using sqlitedb::Cell;

class TablePagesTest : public ::testing::Test {
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

    // The table's rows as the reader gives them, in the form query() prints.
    std::string readPages(std::uint32_t root, int columns)
    {
        class Rows final : public sqlitedb::TableReader::Sink {
        public:
            explicit Rows(int columns) : m_columns(columns) {}
            void take(const Cell *values) override
            {
                for (int c = 0; c < m_columns; ++c) {
                    const Cell &v = values[c];
                    text += c ? "|" : "";
                    text += v.kind == Cell::Integer ? std::to_string(v.integer)
                            : v.kind == Cell::Text  ? std::string(v.text)
                            : v.kind == Cell::Null  ? "NULL"
                                                    : "OTHER";
                }
                text += '\n';
            }
            std::string text;

        private:
            int m_columns;
        } rows(columns);
        sqlitedb::TableReader(path, root, columns).read(rows);
        return rows.text;
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

TEST_F(TablePagesTest, RowsOfEveryKindComeBackThroughADeepTree)
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

TEST_F(TablePagesTest, AnIntegerKeyIsTheRowidGivenAndSqliteGoesOnFromThere)
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

TEST_F(TablePagesTest, ThePageOfTheLockBytesIsNeverUsed)
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

TEST_F(TablePagesTest, AFileItCannotFillIsRefusedAndLeftAsItWas)
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

TEST_F(TablePagesTest, ReadingPageByPageGivesWhatSqliteGives)
{
    // Written by SQLite itself: rowids with gaps, deleted rows, reals and blobs, long texts.
    const std::uint32_t root = emptyTable("a, b, c");
    {
        sqlitedb::Db db;
        db.open(path, SQLITE_OPEN_READWRITE);
        db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                "INSERT INTO t(rowid, a, b, c) SELECT i * 3, CASE i % 4 WHEN 0 THEN i * 1e9 WHEN 1 THEN -i "
                "WHEN 2 THEN x'00ff' ELSE NULL END, printf('%.*c', i * 37 % 1900, 'x'), i % 2 FROM n;"
                "DELETE FROM t WHERE rowid % 7 = 0");
    }
    const char *expected = "SELECT CASE WHEN typeof(a) IN ('real', 'blob') THEN 'OTHER' ELSE a END, b, c FROM t "
                           "ORDER BY rowid";
    EXPECT_EQ(readPages(root, 3), query(expected));
    EXPECT_THROW(readPages(root, 2), sqlitedb::Failure) << "a row with more values than the table's";
}

TEST_F(TablePagesTest, WhatTheWriterWroteReadsBack)
{
    const std::uint32_t root = emptyTable("a, b");
    std::string expected;
    {
        sqlitedb::TableWriter table(path, root);
        const std::vector<qint64> integers = edgeIntegers();
        for (int i = 0; i < 2000; ++i) {
            const std::string text(std::size_t(i * 53 % 2500), char('A' + i % 26));
            Cell row[2];
            row[0].set(integers[std::size_t(i) % integers.size()]);
            row[1].set(std::string_view(text));
            table.add(row, 2);
            expected += std::to_string(row[0].integer) + "|" + text + "\n";
        }
        table.finish();
    }
    EXPECT_EQ(readPages(root, 2), expected);
}

TEST_F(TablePagesTest, DamagedPagesAreRefusedOrReadWithinBounds)
{
    const std::uint32_t root = emptyTable("a, b");
    {
        sqlitedb::Db db;
        db.open(path, SQLITE_OPEN_READWRITE);
        db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                "INSERT INTO t SELECT i, printf('%.*c', i * 7 % 1200, 'y') FROM n");
    }
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    const auto rewrite = [&](const QByteArray &bytes) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
    };
    std::mt19937 random(3);
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes = good;
        if (round % 10 == 9) {
            bytes.truncate(qsizetype(random() % std::uint32_t(bytes.size())));
        } else {
            for (int n = 1 + int(random() % 8); n > 0; --n) // past the first page, which SQLite reads
                bytes[qsizetype(512 + random() % std::uint32_t(bytes.size() - 512))] = char(random());
        }
        rewrite(bytes);
        try {
            (void)readPages(root, 2);
        } catch (const sqlitedb::Failure &) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 60) << "the damage reached the pages' structure";
    // The root's first child turned into a pointer back to the root: a loop.
    QByteArray looped = good;
    const qsizetype rootAt = qsizetype(root - 1) * 512;
    ASSERT_EQ(looped[rootAt], char(0x05)) << "the root is an interior page";
    const auto firstCell = qsizetype((std::uint8_t(looped[rootAt + 12]) << 8) | std::uint8_t(looped[rootAt + 13]));
    looped[rootAt + firstCell + 3] = char(root);
    rewrite(looped);
    EXPECT_THROW(readPages(root, 2), sqlitedb::Failure);
    // The cell nearest a leaf's end given a payload of 477 bytes, which fits in a page but not
    // in what is left of this one.
    QByteArray overlong = good;
    for (qsizetype at = rootAt + 512; at < overlong.size(); at += 512) {
        const auto byte = [&](qsizetype i) { return std::uint8_t(overlong[at + i]); };
        if (byte(0) != 0x0D || byte(4) == 0)
            continue;
        qsizetype last = 0;
        for (int cell = 0; cell < byte(4); ++cell)
            last = std::max(last, qsizetype(byte(8 + 2 * cell) << 8 | byte(9 + 2 * cell)));
        if (512 - last > 400 || byte(last) < 0x80) // a size of two bytes, to keep the rest in place
            continue;
        overlong[at + last] = char(0x83);
        overlong[at + last + 1] = char(0x5D);
        break;
    }
    rewrite(overlong);
    EXPECT_THROW(readPages(root, 2), sqlitedb::Failure);
}
