// Guards catalogue files against lost or altered data: every stored value comes back byte
// for byte and is what SQLite shows, a file of the first release opens, a damaged, foreign or
// newer file is refused, and a save killed at any moment leaves the old file or the whole new
// one.
#include "catalogfile/cataloguefile.h"
#include "catalogue/layouts.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
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

class CatalogueFileTest : public ::testing::Test {
protected:
    [[nodiscard]] std::string path(const std::string &name) const
    {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    // The records as a file of that name gives them back.
    std::unique_ptr<RecordSet> saveAndOpen(const RecordSet &records, const char *name, Volumes *volumes = nullptr)
    {
        EXPECT_EQ(cataloguefile::save(records, path(name), error), atomicfile::Outcome::Replaced) << error;
        auto opened = cataloguefile::open(path(name), error, volumes);
        EXPECT_TRUE(opened) << error;
        return opened;
    }
    QTemporaryDir dir;
    std::string error;
};

} // namespace

TEST_F(CatalogueFileTest, HostileValuesComeBackByteForByteInTheOrderOnShowAndAsSqliteShowsThem)
{
    auto saved = catalogue(kHostile);
    ASSERT_TRUE(saved->setSort(u"Field7 Desc"));
    const auto opened = saveAndOpen(*saved, "h.trv");
    ASSERT_TRUE(opened);
    expectSameRecords(*saved, *opened);
    EXPECT_EQ(opened->position(), 0);
    // The records view gives any SQLite tool every stored value, in the order saved.
    for (int f = 0; f < fld::Count; ++f) {
        std::string column;
        for (int pos = 0; pos < saved->count(); ++pos)
            (column += pos ? "\x01" : "") += saved->utf8At(pos, f);
        const std::string select = "SELECT group_concat(Field" + std::to_string(f + 1) + ", char(1)) FROM records";
        EXPECT_EQ(firstValue(path("h.trv"), select.c_str()), column) << "field " << f;
    }
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
    Volumes none;
    const auto empty = saveAndOpen(*catalogue({}), "e.trv", &none);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->count(), 0);
    EXPECT_TRUE(none.list.empty()) << "saved without volumes";
    // Each table takes a page at least: a small catalogue's pages are small.
    EXPECT_LT(std::filesystem::file_size(path("e.trv")), 64u * 1024);
    EXPECT_LT(std::filesystem::file_size(path("m.trv")), 1024u * 1024);
}

TEST_F(CatalogueFileTest, AFileOfTheFirstReleaseStillOpensWithoutExactNamesOrVolumes)
{
    // Saved by the first release from kHostile in the order "Field7 Desc", then compacted
    // with VACUUM: the files users keep must go on opening, whatever the code reading them.
    const std::string first = TARVOLO_TEST_DATA "/first-version.trv";
    Volumes volumes;
    const auto opened = cataloguefile::open(first, error, &volumes);
    ASSERT_TRUE(opened) << error;
    const auto expected = catalogue(kHostile);
    ASSERT_TRUE(expected->setSort(u"Field7 Desc"));
    expectSameRecords(*expected, *opened);
    EXPECT_TRUE(volumes.list.empty());
    std::string exact;
    EXPECT_FALSE(opened->exactAt(0, fld::LongName, exact));
    EXPECT_EQ(exact, opened->utf8At(0, fld::LongName).substr(0, exact.size()));
    EXPECT_FALSE(opened->exactAt(0, fld::Path, exact));

    // Rows read alone, as a search reads them, are those of the whole open.
    const int last = opened->count() - 1;
    const auto rows = cataloguefile::openRows(first, {0, last}, error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->count(), 2);
    for (int f = 0; f < fld::Count; ++f) {
        EXPECT_EQ(rows->utf8At(0, f), opened->utf8At(0, f)) << f;
        EXPECT_EQ(rows->utf8At(1, f), opened->utf8At(last, f)) << f;
    }
    EXPECT_FALSE(rows->exactAt(1, fld::Path, exact));
}

TEST_F(CatalogueFileTest, DamagedForeignOrNewerFilesAreRefused)
{
    const struct {
        std::string_view name;
        const char *statements, *reason; // no statements: the file's bytes are damaged
    } cases[] = {
        {"empty", nullptr, "not a Tarvolo catalogue file"},
        {"text", nullptr, "not a database"},
        {"truncated", nullptr, ""},
        {"application id", "PRAGMA application_id = 1", "not a Tarvolo"},
        {"newer version", "PRAGMA user_version = 2", "newer version"},
        {"layout", "UPDATE fields SET size = 30 WHERE position = 0", "layout"},
        {"missing field", "DELETE FROM fields WHERE position = 8", "layout"},
        {"lost record", "DELETE FROM files WHERE rowid = 700", "fewer records"},
        {"changed value", "UPDATE files SET size = 7 WHERE rowid = 3", "damaged"},
        {"wrong type", "UPDATE files SET folder = 'x' WHERE rowid = 3", "type"},
        {"missing folder", "DELETE FROM folders", "range"},
        {"impossible date", "UPDATE files SET modified = modified | 254", "dates"},
        {"flagged date", "UPDATE files SET datekey = datekey | (1 << 60)", "dates"},
        {"creation left out beside a text", "UPDATE files SET modified = 'x', created = NULL WHERE rowid = 3", "dates"},
        {"view for table", "DROP TABLE files; CREATE VIEW files AS SELECT * FROM records", "tables"},
    };
    const auto good = numbered(2000, "/A/");
    for (const auto &c : cases) {
        const std::string file = path(std::string(c.name) + ".trv");
        ASSERT_EQ(cataloguefile::save(*good, file, error), atomicfile::Outcome::Replaced) << error;
        if (c.statements)
            sql(file, c.statements);
        else if (c.name == "text")
            std::ofstream(file, std::ios::trunc) << "just some text, not a database at all\n";
        else
            std::filesystem::resize_file(file, c.name == "empty" ? 0 : std::filesystem::file_size(file) / 2);
        error.clear();
        EXPECT_FALSE(cataloguefile::open(file, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    }
    EXPECT_FALSE(cataloguefile::open(path("missing.trv"), error));
}

TEST_F(CatalogueFileTest, AFailedSaveLeavesNothingBehind)
{
    const auto good = numbered(10, "/A/");
    EXPECT_EQ(cataloguefile::save(*good, path("no/such/folder/x.trv"), error), atomicfile::Outcome::Failed);
    EXPECT_FALSE(error.empty());
    // A target that is not a regular file is refused in cataloguesave_test.
    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    EXPECT_EQ(cataloguefile::save(dummy, path("dummy.trv"), error), atomicfile::Outcome::Failed);
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
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
