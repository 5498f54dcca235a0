// Guards catalogue files against lost or altered data: every stored value comes back byte
// for byte, a damaged, foreign or newer file is refused, and a save killed at any moment
// leaves the old file or the whole new one.
#include "catalogfile/cataloguefile.h"
#include "catalogue/layouts.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Row = std::array<std::string, fld::Count>;

// Values the walk writes and values it never writes but a file may hold.
const std::vector<Row> kHostile = {
    {"README.TXT               ", "README.TXT    ", "/HOME/ANN/", "07/04/1999  03:15:42 PM", "07/04/1999  12:00:00 AM",
     "07/04/1999", "5", "363450.6359028", "TXT"},
    {"RÉSUMÉ ÜBER 日本語.PDF    ", "RSUM~1.PDF    ", "/HOME/ÄNN/ДОКИ/", "12/31/2173  11:59:59 PM",
     "         UNKNOWN       ", "  UNKNOWN ", "6000000000", "", "PDF"},
    {"BAD\xEF\xBF\xBDNAME\xEF\xBF\xBD           ", "BAD_NA~1      ", "/\xEF\xBF\xBD/", "                       ", "",
     "          ", "-1", "363450", ""},
    {"TAB\tNEW\nLINE\\           ", "", std::string(300, 'P'), "99/99/9999  99:99:99 AM", "1/2/3", "00/00/0000",
     "9223372036854775807", "0.5", "  "},
    {"", "   ", "", "07/04/1999  03:15:42 XM", "07/04/1999  03:15:42 PM ", "7/4/1999", "4294967296", "99999999.5",
     "TOO LONG EXTENSION"},
};

void append(RecordSet &rs, const Row &row)
{
    rs.addNew();
    for (int f = 0; f < fld::Count; ++f)
        f == fld::Size ? rs.setField(f, qint64(std::stoll(row[std::size_t(f)])))
                       : rs.setField(f, std::string_view(row[std::size_t(f)]));
}

std::unique_ptr<RecordSet> catalogue(const std::vector<Row> &rows)
{
    auto rs = std::make_unique<RecordSet>();
    CreateRecordSet(*rs);
    for (const Row &r : rows)
        append(*rs, r);
    return rs;
}

std::unique_ptr<RecordSet> numbered(int records, const char *folder)
{
    std::vector<Row> rows;
    for (int i = 0; i < records; ++i)
        rows.push_back({"FILE" + std::to_string(i), "F~1", folder, "01/02/2003  04:05:06 AM", "01/02/2003  04:05:06 AM",
                        "01/02/2003", std::to_string(i), "37623", "TXT"});
    return catalogue(rows);
}

void expectSameRecords(const RecordSet &a, const RecordSet &b)
{
    ASSERT_EQ(a.count(), b.count());
    for (int f = 0; f < fld::Count; ++f) {
        EXPECT_EQ(a.field(f).name, b.field(f).name);
        EXPECT_EQ(a.field(f).adoType, b.field(f).adoType);
        EXPECT_EQ(a.field(f).definedSize, b.field(f).definedSize);
        EXPECT_EQ(a.field(f).storage, b.field(f).storage);
    }
    for (int pos = 0; pos < a.count(); ++pos) {
        for (int f = 0; f < fld::Count; ++f)
            EXPECT_EQ(a.utf8At(pos, f), b.utf8At(pos, f)) << "position " << pos << " field " << f;
        EXPECT_EQ(a.integerAt(pos, fld::Size), b.integerAt(pos, fld::Size));
    }
}

void sql(const QString &file, const char *statements)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class CatalogueFileTest : public ::testing::Test {
protected:
    [[nodiscard]] std::string path(const char *name) const { return dir.filePath(QLatin1String(name)).toStdString(); }
    // The records as a file of that name gives them back.
    std::unique_ptr<RecordSet> saveAndOpen(const RecordSet &records, const char *name)
    {
        EXPECT_EQ(cataloguefile::save(records, path(name), error), atomicfile::Outcome::Replaced) << error;
        auto opened = cataloguefile::open(path(name), error);
        EXPECT_TRUE(opened) << error;
        return opened;
    }
    QTemporaryDir dir;
    std::string error;
};

} // namespace

TEST_F(CatalogueFileTest, HostileValuesComeBackByteForByteInTheOrderOnShow)
{
    auto saved = catalogue(kHostile);
    ASSERT_TRUE(saved->setSort(u"Field7 Desc"));
    const auto opened = saveAndOpen(*saved, "h.trv");
    ASSERT_TRUE(opened);
    expectSameRecords(*saved, *opened);
    EXPECT_EQ(opened->position(), 0);
    for (const char *order : {"Field1", "Field3 Desc", "Field8", "Field9"}) {
        saved->setSort(QString::fromLatin1(order));
        opened->setSort(QString::fromLatin1(order));
        expectSameRecords(*saved, *opened);
    }
}

TEST_F(CatalogueFileTest, ManyBlocksOfRecordsOrNoneComeBackInTheirOrder)
{
    std::vector<Row> rows;
    for (int i = 0; i < 5000; ++i) {
        Row row = kHostile[std::size_t(i) % kHostile.size()];
        row[fld::LongName] = std::to_string(i % 7) + row[fld::LongName] + std::to_string(i);
        row[fld::Path] += std::to_string(i % 300) + "/";
        rows.push_back(row);
    }
    auto saved = catalogue(rows);
    ASSERT_TRUE(saved->setSort(u"Field1"));
    const auto opened = saveAndOpen(*saved, "m.trv");
    ASSERT_TRUE(opened);
    expectSameRecords(*saved, *opened);
    EXPECT_EQ(firstValue(path("m.trv"), "PRAGMA integrity_check"), "ok");
    const auto empty = saveAndOpen(*catalogue({}), "e.trv");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count(), 0);
    // Each table takes a page at least: a small catalogue's pages are small.
    EXPECT_LT(QFileInfo(QString::fromStdString(path("e.trv"))).size(), 64 * 1024);
    EXPECT_LT(QFileInfo(QString::fromStdString(path("m.trv"))).size(), 1024 * 1024);
    EXPECT_EQ(firstValue(path("m.trv"), "SELECT Field1 FROM records LIMIT 1 OFFSET 4999"),
              opened->utf8At(4999, fld::LongName));
}

TEST_F(CatalogueFileTest, AFileOfTheFirstReleaseStillOpens)
{
    // Saved by the first release from kHostile in the order "Field7 Desc", then compacted
    // with VACUUM: the files users keep must go on opening, whatever the code reading them.
    const auto opened = cataloguefile::open(TARVOLO_TEST_DATA "/first-version.trv", error);
    ASSERT_TRUE(opened) << error;
    const auto expected = catalogue(kHostile);
    ASSERT_TRUE(expected->setSort(u"Field7 Desc"));
    expectSameRecords(*expected, *opened);
}

TEST_F(CatalogueFileTest, TheRecordsViewShowsTheStoredValues)
{
    const auto saved = catalogue(kHostile);
    ASSERT_EQ(cataloguefile::save(*saved, path("v.trv"), error), atomicfile::Outcome::Replaced) << error;
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path("v.trv").c_str(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT * FROM records", -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    int pos = 0;
    for (; sqlite3_step(st) == SQLITE_ROW; ++pos) {
        ASSERT_EQ(sqlite3_column_count(st), fld::Count);
        for (int f = 0; f < fld::Count; ++f) {
            EXPECT_EQ(sqlite3_column_name(st, f), "Field" + std::to_string(f + 1));
            const std::string value(reinterpret_cast<const char *>(sqlite3_column_text(st, f)),
                                    std::size_t(sqlite3_column_bytes(st, f)));
            EXPECT_EQ(value, saved->utf8At(pos, f)) << "position " << pos << " field " << f;
        }
    }
    EXPECT_EQ(pos, saved->count());
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST_F(CatalogueFileTest, DamagedForeignOrNewerFilesAreRefused)
{
    struct Case {
        const char *name;
        std::function<void(const QString &)> damage;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", [](const QString &f) { QFile::resize(f, 0); }, "not a Tarvolo catalogue file"},
        {"text",
         [](const QString &f) {
             QFile file(f);
             file.open(QIODevice::WriteOnly);
             file.write("just some text, not a database at all\n");
         },
         "not a database"},
        {"truncated", [](const QString &f) { QFile::resize(f, QFileInfo(f).size() / 2); }, ""},
        {"application id", [](const QString &f) { sql(f, "PRAGMA application_id = 1"); }, "not a Tarvolo"},
        {"newer version", [](const QString &f) { sql(f, "PRAGMA user_version = 2"); }, "newer version"},
        {"layout", [](const QString &f) { sql(f, "UPDATE fields SET size = 30 WHERE position = 0"); }, "layout"},
        {"missing field", [](const QString &f) { sql(f, "DELETE FROM fields WHERE position = 8"); }, "layout"},
        {"lost record", [](const QString &f) { sql(f, "DELETE FROM files WHERE rowid = 700"); }, "fewer records"},
        {"changed value", [](const QString &f) { sql(f, "UPDATE files SET size = 7 WHERE rowid = 3"); }, "damaged"},
        {"wrong type", [](const QString &f) { sql(f, "UPDATE files SET folder = 'x' WHERE rowid = 3"); }, "type"},
        {"missing folder", [](const QString &f) { sql(f, "DELETE FROM folders"); }, "range"},
        {"impossible date", [](const QString &f) { sql(f, "UPDATE files SET modified = modified | 254"); }, "dates"},
        {"flagged date", [](const QString &f) { sql(f, "UPDATE files SET datekey = datekey | (1 << 60)"); }, "dates"},
        {"creation left out beside a text",
         [](const QString &f) { sql(f, "UPDATE files SET modified = 'x', created = NULL WHERE rowid = 3"); }, "dates"},
        {"view for table",
         [](const QString &f) { sql(f, "DROP TABLE files; CREATE VIEW files AS SELECT * FROM records"); }, "tables"},
    };
    const auto good = numbered(2000, "/A/");
    for (const Case &c : cases) {
        const QString file = dir.filePath(QLatin1String(c.name) + QStringLiteral(".trv"));
        ASSERT_EQ(cataloguefile::save(*good, file.toStdString(), error), atomicfile::Outcome::Replaced) << error;
        c.damage(file);
        error.clear();
        EXPECT_FALSE(cataloguefile::open(file.toStdString(), error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    }
    EXPECT_FALSE(cataloguefile::open(path("missing.trv"), error));
}

TEST_F(CatalogueFileTest, AFailedSaveLeavesNothingBehind)
{
    const auto good = numbered(10, "/A/");
    EXPECT_EQ(cataloguefile::save(*good, path("no/such/folder/x.trv"), error), atomicfile::Outcome::Failed);
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    error.clear();
    EXPECT_EQ(cataloguefile::save(*good, path("taken"), error), atomicfile::Outcome::Failed)
        << "a folder is not replaced";
    EXPECT_FALSE(error.empty());
    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    EXPECT_EQ(cataloguefile::save(dummy, path("dummy.trv"), error), atomicfile::Outcome::Failed);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("taken")});
}

TEST_F(CatalogueFileTest, AWriteThatFailsPartWayKeepsTheOldFile)
{
    const std::string target = path("full.trv");
    ASSERT_EQ(cataloguefile::save(*numbered(10, "/OLD/"), target, error), atomicfile::Outcome::Replaced) << error;
    const auto large = numbered(20000, "/NEW/");
    // A limit on the size of a file stands in for a full disk: every write past it fails.
    rlimit usual{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &usual), 0);
    rlimit limited = usual;
    limited.rlim_cur = 512 * 1024;
    const auto signalBefore = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const auto saved = cataloguefile::save(*large, target, error);
    setrlimit(RLIMIT_FSIZE, &usual);
    signal(SIGXFSZ, signalBefore);
    EXPECT_EQ(saved, atomicfile::Outcome::Failed);
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    const auto opened = cataloguefile::open(target, error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->count(), 10);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("full.trv")});
}

TEST_F(CatalogueFileTest, ASaveKilledAtAnyMomentLeavesTheOldFileOrTheWholeNewOne)
{
    const auto small = numbered(3000, "/OLD/"), large = numbered(5000, "/NEW/");
    const std::string target = path("k.trv");
    ASSERT_EQ(cataloguefile::save(*small, target, error), atomicfile::Outcome::Replaced) << error;
    std::mt19937 random(7);
    int sawNew = 0;
    for (int round = 0; round < 16; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string e;
            for (int i = 0;; ++i)
                (void)cataloguefile::save(i % 2 ? *small : *large, target, e);
        }
        usleep(useconds_t(random() % 400'000)); // a random moment of a save, not a wait for one
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const auto opened = cataloguefile::open(target, error);
        ASSERT_TRUE(opened) << "round " << round << ": " << error;
        ASSERT_TRUE(opened->count() == 3000 || opened->count() == 5000) << opened->count();
        sawNew += opened->count() == 5000;
    }
    RecordProperty("rounds_with_new_file", sawNew);
    // The temporaries the killed saves left go with the next save into the folder.
    ASSERT_EQ(cataloguefile::save(*small, path("other.trv"), error), atomicfile::Outcome::Replaced) << error;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("k.trv"), QStringLiteral("other.trv")}));
}
