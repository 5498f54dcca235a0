// The pieces under the catalogue file: the checksum of padded names must equal the sum of the
// whole text (files already saved depend on it), and a row sink that fails stops its
// statement with its own reason instead of crashing through SQLite.
#include "files/catalogueformat.h"
#include "files/sqlitestream.h"

#include <gtest/gtest.h>
#include <string>

using namespace cataloguefile;

TEST(Checksum, APaddedTextSumsAsTheWholeText)
{
    for (std::size_t length = 0; length < 40; ++length) {
        const std::string text = std::string("Résumé of a long folder name 0123456789").substr(0, length);
        for (std::size_t blanks = 0; blanks < 40; ++blanks) {
            Checksum whole, padded;
            whole.add(text + std::string(blanks, ' '));
            padded.addPadded(text, blanks);
            EXPECT_EQ(whole.value(), padded.value()) << length << " + " << blanks;
        }
    }
}

namespace {

class FailingSink final : public sqlitedb::RowSink {
public:
    void take(sqlite3_value *const *) override
    {
        if (++rows == 2)
            throw sqlitedb::Failure("a row is damaged");
    }
    int rows = 0;
};

// The reason a statement failed with, or "went through".
template <typename F> std::string failureOf(F statement)
{
    try {
        statement();
        return "went through";
    } catch (const sqlitedb::Failure &e) {
        return e.what();
    }
}

} // namespace

TEST(SqliteStream, AFailingSinkStopsTheStatementWithItsReason)
{
    sqlitedb::Db db;
    db.open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.exec("CREATE TABLE t(a); INSERT INTO t VALUES (1), (2), (3)");
    FailingSink sink;
    EXPECT_EQ(failureOf([&] { sqlitedb::selectAll(db, "SELECT a FROM t ORDER BY a", 1, sink); }), "a row is damaged");
    EXPECT_EQ(sink.rows, 2);
    // The streaming table is gone again, so the next statement can make its own.
    FailingSink again;
    EXPECT_NO_THROW(sqlitedb::selectAll(db, "SELECT a FROM t WHERE a = 3", 1, again));
    EXPECT_EQ(again.rows, 1);
}
