// Guards what a catalogue file says about where its records came from and what it is read
// from: the volumes a walk recorded come back with their folders, and an open reads the
// records SQLite itself shows beside a WAL, a hot journal or a writer at work, or refuses the
// file, never anything between.
#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/scanjob.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool exec(sqlite3 *db, const std::string &statements)
{
    return sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Statements that make the file hold the other catalogue's tables, whole and consistent.
std::string takeTablesOf(const std::string &other)
{
    std::string sql = "ATTACH '" + other + "' AS other;";
    for (const char *table :
         {"fields", "catalogue", "folders", "fractions", "files", "exact_names", "exact_folders", "exact_sum"})
        sql += std::string("DELETE FROM ") + table + "; INSERT INTO " + table + " SELECT * FROM other." + table + ";";
    return sql;
}

class CatalogueVolumesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(cataloguefile::save(*numberedFiles(3000, "/OLD/"), target, error), atomicfile::Outcome::Replaced);
        ASSERT_EQ(cataloguefile::save(*numberedFiles(20, "/NEW/"), other, error), atomicfile::Outcome::Replaced);
    }
    // The records an open gives, as "count folder", or "refused".
    std::string opened()
    {
        const auto records = cataloguefile::open(target, error);
        if (!records)
            return "refused";
        return std::to_string(records->count()) + " " + (records->count() ? records->utf8At(0, fld::Path) : "");
    }
    // What any SQLite tool shows of the same file, in the same form.
    std::string shown() const
    {
        return firstValue(target, "SELECT count(*) || ' ' || ifnull(min(Field3), '') FROM records");
    }
    QTemporaryDir dir;
    const std::string target = dir.filePath(QStringLiteral("t.trv")).toStdString();
    const std::string other = dir.filePath(QStringLiteral("o.trv")).toStdString();
    std::string error;
};

} // namespace

TEST_F(CatalogueVolumesTest, AWalkRecordsItsVolumesAndTheyComeBackWithTheirFolders)
{
    // The root file system, through a folder on it, and a RAM disk mounted for the test.
    QTemporaryDir onRoot(QStringLiteral("/var/tmp/trvvolXXXXXX")), ram;
    ASSERT_TRUE(QDir(onRoot.path()).mkpath(QStringLiteral("sub")));
    QFile(onRoot.filePath(QStringLiteral("sub/a.txt"))).open(QIODevice::WriteOnly);
    QFile(onRoot.filePath(QStringLiteral("b.txt"))).open(QIODevice::WriteOnly);
    const bool mounted = ::mount("trvtest", ram.path().toLocal8Bit().constData(), "tmpfs", 0, "size=4m") == 0;
    if (mounted)
        QFile(ram.filePath(QStringLiteral("c.txt"))).open(QIODevice::WriteOnly);
    std::vector<ScanJob::Drive> drives{{0, onRoot.path().toStdString() + "/"}};
    if (mounted)
        drives.push_back({1, ram.path().toStdString() + "/"});
    ScanJob job;
    QSignalSpy finished{&job, &ScanJob::finished};
    job.start(drives, QStringLiteral("Field1"));
    ASSERT_TRUE(finished.wait(5000));
    const auto scanned = job.takeCatalogue();
    const Volumes walked = job.takeVolumes();
    if (mounted)
        ::umount(ram.path().toLocal8Bit().constData());
    ASSERT_EQ(cataloguefile::save(*scanned, walked, target, error), atomicfile::Outcome::Replaced) << error;
    Volumes read;
    const auto opened = cataloguefile::open(target, error, &read);
    ASSERT_TRUE(opened) << error;

    ASSERT_EQ(read.list.size(), drives.size());
    const Volume &root = read.list[0];
    EXPECT_EQ(root.mountPoint, "/");
    EXPECT_FALSE(root.fsType.empty());
    EXPECT_FALSE(root.device.empty());
    EXPECT_GT(root.totalBytes, 0);
    EXPECT_GE(root.freeBytes, 0);
    EXPECT_EQ(root.files, 2);
    EXPECT_LE(root.walkBegan, root.walkEnded);
    EXPECT_GT(root.walkBegan, 1'600'000'000'000);
    // Where the device or udev's links to it can be read, its file system's UUID is known.
    const int device = ::open(root.device.c_str(), O_RDONLY | O_CLOEXEC);
    if (device >= 0 || QDir(QStringLiteral("/dev/disk/by-uuid")).exists()) {
        EXPECT_FALSE(root.uuid.empty()) << root.device;
    }
    if (device >= 0)
        ::close(device);
    // Each folder is tied to the volume it was walked on.
    const SharedTextColumn &folders = *opened->sharedValues(fld::Path);
    for (int pos = 0; pos < opened->count(); ++pos) {
        const std::uint32_t folder = folders.id(opened->bookmarkAt(pos));
        ASSERT_LT(folder, read.folderVolume.size());
        const bool onRam = opened->utf8At(pos, fld::Path).starts_with(ram.path().toUpper().toStdString());
        EXPECT_EQ(read.folderVolume[folder], onRam ? 1 : 0) << opened->utf8At(pos, fld::Path);
    }
    if (!mounted)
        GTEST_SKIP() << "a RAM disk can be mounted by root alone";
    const Volume &tmpfs = read.list[1];
    EXPECT_EQ(tmpfs.mountPoint, ram.path().toStdString());
    EXPECT_EQ(tmpfs.fsType, "tmpfs");
    EXPECT_EQ(tmpfs.device, "trvtest");
    EXPECT_EQ(tmpfs.uuid, "") << "a RAM disk has none: its device and mount point stand for it";
    EXPECT_NE(tmpfs.deviceNumber, "0:0");
    EXPECT_EQ(tmpfs.totalBytes, 4 << 20);
    EXPECT_EQ(tmpfs.driveType, "Is A RAM Drive");
    EXPECT_EQ(tmpfs.files, 1);
}

TEST_F(CatalogueVolumesTest, AWalFileBesideIsReadAsSqliteReadsIt)
{
    const std::string replaced =
        "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; BEGIN;" + takeTablesOf(other) + "COMMIT";
    sqlLeavingWal(target, replaced.c_str());
    ASSERT_TRUE(QFile::exists(QString::fromStdString(target + "-wal")));
    EXPECT_EQ(shown(), "20 /NEW/");
    EXPECT_EQ(opened(), "20 /NEW/") << error;
}

TEST_F(CatalogueVolumesTest, AHotJournalIsRolledBackOrTheFileRefused)
{
    // A writer killed part way through replacing every table.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open(target.c_str(), &db);
        exec(db, "PRAGMA cache_size = 1; BEGIN;" + takeTablesOf(other));
        ::kill(::getpid(), SIGKILL);
    }
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(target + "-journal")));
    const std::string result = opened();
    EXPECT_TRUE(result == "refused" || result == "3000 /OLD/") << result;
    if (result == "refused") {
        EXPECT_NE(error.find("rolled back"), std::string::npos) << error;
    }
    // Rolled back as any SQLite tool that may write the file does.
    sql(target, "SELECT count(*) FROM files");
    EXPECT_EQ(shown(), "3000 /OLD/");
    EXPECT_EQ(opened(), "3000 /OLD/") << error;
}

TEST_F(CatalogueVolumesTest, AFileBeingWrittenIsWaitedForOrRefused)
{
    for (const int writeMillis : {300, 4000}) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            sqlite3 *db = nullptr;
            sqlite3_open(target.c_str(), &db);
            exec(db, "BEGIN EXCLUSIVE; DELETE FROM files WHERE rowid > 10");
            (void)!write(ready[1], "x", 1);
            usleep(useconds_t(writeMillis) * 1000);
            exec(db, takeTablesOf(other) + "COMMIT");
            sqlite3_close(db);
            _exit(0);
        }
        char x = 0;
        ASSERT_EQ(read(ready[0], &x, 1), 1);
        const std::string result = opened();
        waitpid(child, nullptr, 0);
        close(ready[0]);
        close(ready[1]);
        EXPECT_EQ(result, writeMillis < 1000 ? "20 /NEW/" : "refused") << error;
        ASSERT_EQ(cataloguefile::save(*numberedFiles(3000, "/OLD/"), target, error), atomicfile::Outcome::Replaced);
    }
}
