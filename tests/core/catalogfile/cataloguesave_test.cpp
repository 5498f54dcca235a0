// Guards a save against leaving a target that lies: journals of the old file read into the
// new one, a device or link turned into a plain file, permissions reset, a read-only file
// overwritten, a save reported failed though the new file is in place, temporaries left.
#include "catalogfile/cataloguefile.h"
#include "catalogue/layouts.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using atomicfile::Outcome;

namespace {

std::atomic<bool> g_failFolderSyncs{false};

} // namespace

// A folder whose sync fails stands in for a disk that reports an error late.
extern "C" int fsync(int fd)
{
    struct stat st {};
    if (g_failFolderSyncs && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

namespace {

// What a crash part way through a transaction leaves: a copy of the file taken while
// pages of it had already been overwritten, beside a copy of its journal.
void leaveHotJournal(const std::string &file)
{
    const std::string writing = file + ".writing";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(file), QString::fromStdString(writing)));
    sqlite3 *db = nullptr;
    sql(writing,
        "PRAGMA cache_size = 2; BEGIN; CREATE TABLE pad(x);"
        "INSERT INTO pad SELECT randomblob(60000) FROM files LIMIT 200; DELETE FROM files",
        &db);
    for (const char *suffix : {"", "-journal"}) {
        QFile::remove(QString::fromStdString(file + suffix));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(writing + suffix), QString::fromStdString(file + suffix)));
    }
    sqlite3_close(db);
    QFile::remove(QString::fromStdString(writing));
}

class CatalogueSaveTest : public ::testing::Test {
protected:
    [[nodiscard]] std::string path(const std::string &name) const
    {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    [[nodiscard]] QStringList entries(const QString &folder = {}) const
    {
        return QDir(folder.isEmpty() ? dir.path() : folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // The number of records the file gives back, or -1 when it is refused.
    int recordsIn(const std::string &file)
    {
        const auto opened = cataloguefile::open(file, error);
        return opened ? opened->count() : -1;
    }
    QTemporaryDir dir;
    std::string error;
};

} // namespace

TEST_F(CatalogueSaveTest, NoJournalOfTheOldFileStaysBesideTheNewOne)
{
    struct Case {
        const char *name;
        std::function<void(const std::string &)> leave;
    };
    const Case cases[] = {
        {"wal.trv",
         [](const std::string &f) {
             sqlLeavingWal(
                 f, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; UPDATE folders SET path = '/STALE/'");
         }},
        {"hot.trv", leaveHotJournal},
    };
    for (const Case &c : cases) {
        const std::string target = path(c.name);
        ASSERT_EQ(cataloguefile::save(*numberedFiles(3000, "/OLD/"), target, error), Outcome::Replaced) << error;
        c.leave(target);
        ASSERT_GT(entries().size(), 1) << c.name << ": the old file has no journal to test with";
        ASSERT_EQ(cataloguefile::save(*numberedFiles(20, "/NEW/"), target, error), Outcome::Replaced)
            << c.name << error;
        EXPECT_EQ(entries(), QStringList{QString::fromLatin1(c.name)});
        EXPECT_EQ(recordsIn(target), 20) << c.name << ": " << error;
        // What any SQLite tool sees.
        EXPECT_EQ(firstValue(target, "SELECT group_concat(DISTINCT Field3) FROM records"), "/NEW/") << c.name;
        EXPECT_EQ(firstValue(target, "PRAGMA journal_mode"), "delete") << c.name;
        QFile::remove(QString::fromStdString(target));
    }
}

TEST_F(CatalogueSaveTest, AnOldFileAnotherProgramHoldsIsNotReplaced)
{
    const std::string target = path("held.trv");
    ASSERT_EQ(cataloguefile::save(*numberedFiles(10, "/OLD/"), target, error), Outcome::Replaced) << error;
    sqlite3 *holder = nullptr;
    sql(target, "PRAGMA journal_mode = WAL; BEGIN; SELECT count(*) FROM files", &holder);
    EXPECT_EQ(cataloguefile::save(*numberedFiles(20, "/NEW/"), target, error), Outcome::Failed);
    EXPECT_NE(error.find("another program"), std::string::npos) << error;
    sqlite3_close(holder);
    EXPECT_EQ(recordsIn(target), 10) << error;
}

TEST_F(CatalogueSaveTest, OnlyARegularFileIsReplacedAndALinkIsFollowed)
{
    const auto records = numberedFiles(5, "/NEW/");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0644), 0);
    // A device only root may make: the node of the null device, as /dev/null is.
    const bool device = ::mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    for (const char *name : {"fifo", "null"}) {
        if (std::strcmp(name, "null") == 0 && !device)
            continue;
        EXPECT_EQ(cataloguefile::save(*records, path(name), error), Outcome::Failed) << name;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
        struct stat st {};
        ASSERT_EQ(::lstat(path(name).c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode)) << name;
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    ASSERT_EQ(cataloguefile::save(*numberedFiles(10, "/OLD/"), path("real/kept.trv"), error), Outcome::Replaced);
    ASSERT_EQ(::symlink("real/kept.trv", path("link.trv").c_str()), 0);
    ASSERT_EQ(cataloguefile::save(*records, path("link.trv"), error), Outcome::Replaced) << error;
    EXPECT_EQ(QFileInfo(QString::fromStdString(path("link.trv"))).symLinkTarget(),
              QString::fromStdString(path("real/kept.trv")));
    EXPECT_EQ(recordsIn(path("real/kept.trv")), 5) << error;
    EXPECT_EQ(entries(dir.filePath(QStringLiteral("real"))), QStringList{QStringLiteral("kept.trv")});
    ASSERT_EQ(::symlink("real/missing.trv", path("dangling.trv").c_str()), 0);
    EXPECT_EQ(cataloguefile::save(*records, path("dangling.trv"), error), Outcome::Failed);
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_EQ(entries().size(), (device ? 5 : 4)); // nothing left beside them
}

TEST_F(CatalogueSaveTest, TheNewFileKeepsTheOldModeAndOwnerAndAReadOnlyOneIsKept)
{
    const auto records = numberedFiles(5, "/NEW/");
    const std::string target = path("mode.trv");
    for (const mode_t mode : {0600, 0664}) {
        ASSERT_EQ(cataloguefile::save(*numberedFiles(10, "/OLD/"), target, error), Outcome::Replaced) << error;
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        const bool root = ::geteuid() == 0;
        if (root) {
            ASSERT_EQ(::chown(target.c_str(), 4321, 4322), 0);
        }
        ASSERT_EQ(cataloguefile::save(*records, target, error), Outcome::Replaced) << error;
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        if (root) {
            EXPECT_EQ(st.st_uid, 4321u);
            EXPECT_EQ(st.st_gid, 4322u);
        }
    }
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    EXPECT_EQ(cataloguefile::save(*numberedFiles(7, "/NEW/"), target, error), Outcome::Failed);
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(recordsIn(target), 5) << error;
    EXPECT_EQ(entries(), QStringList{QStringLiteral("mode.trv")});
}

TEST_F(CatalogueSaveTest, ALongestNameIsSavedAndTheTemporaryGoesWithItsFolder)
{
    const auto records = numberedFiles(5, "/NEW/");
    const std::string longest = std::string(251, 'a') + ".trv";
    std::string wide;
    for (int i = 0; i < 125; ++i)
        wide += "\xC3\xA9"; // é, so that a cut may fall inside a character
    for (const std::string &name : {longest, wide + ".trv", wide.substr(1) + ".trv"}) {
        ASSERT_EQ(cataloguefile::save(*records, path(name), error), Outcome::Replaced) << name.size() << error;
        EXPECT_EQ(recordsIn(path(name)), 5) << error;
    }
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(CatalogueSaveTest, AFolderRenamedDuringASaveGetsTheWholeFileAndNoTemporary)
{
    const auto large = numberedFiles(150000, "/NEW/");
    // A round whose save ends before the temporary is seen does not count.
    for (int round = 0; round < 5; ++round) {
        const std::string before = path("before" + std::to_string(round)), after = path("after");
        ASSERT_TRUE(QDir().mkdir(QString::fromStdString(before)));
        std::atomic<bool> done{false};
        Outcome outcome = Outcome::Failed;
        std::thread saver([&] {
            outcome = cataloguefile::save(*large, before + "/moved.trv", error);
            done = true;
        });
        // Renamed once the temporary holds more than its tables' first pages.
        bool renamed = false;
        while (!renamed && !done) {
            std::error_code ec;
            for (const auto &entry : std::filesystem::directory_iterator(before, ec))
                if (entry.path().filename().string()[0] == '.' && entry.file_size(ec) > (1 << 20))
                    renamed = std::rename(before.c_str(), after.c_str()) == 0;
        }
        saver.join();
        if (!renamed)
            continue;
        EXPECT_EQ(outcome, Outcome::Replaced) << error;
        EXPECT_EQ(entries(QString::fromStdString(after)), QStringList{QStringLiteral("moved.trv")});
        EXPECT_EQ(recordsIn(after + "/moved.trv"), 150000) << error;
        return;
    }
    FAIL() << "every save ended before its folder could be renamed";
}

TEST_F(CatalogueSaveTest, AFolderThatCannotBeSyncedSaysTheFileIsInPlaceButNotYetOnDisk)
{
    const std::string target = path("unsynced.trv");
    ASSERT_EQ(cataloguefile::save(*numberedFiles(10, "/OLD/"), target, error), Outcome::Replaced) << error;
    g_failFolderSyncs = true;
    const Outcome outcome = cataloguefile::save(*numberedFiles(5, "/NEW/"), target, error);
    g_failFolderSyncs = false;
    EXPECT_EQ(outcome, Outcome::Unsynced);
    EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
    EXPECT_EQ(recordsIn(target), 5) << error;
    EXPECT_EQ(entries(), QStringList{QStringLiteral("unsynced.trv")});
}

TEST_F(CatalogueSaveTest, OnlyTheTemporariesOfKilledSavesAreRemoved)
{
    const auto write = [this](const char *name, const QByteArray &bytes) {
        QFile file(QString::fromStdString(path(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray database("SQLite format 3\0 and pages", 27);
    write(".a.trv.0123abcd", {});       // killed before it wrote anything
    write(".b.trv.89abcdef", database); // killed part way
    // Not ours: another name, other contents, or a save still writing it.
    write(".c.trv.0123abcd.keep", database);
    write(".c.trv.0123abc", database);
    write("c.trv.0123abcd", database);
    write(".d.trv.0123abcd", "notes of someone else");
    write(".e.trv.0123abcd", database);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral(".f.trv.0123abcd")));
    ASSERT_EQ(::symlink(".b.trv.89abcdef", path(".g.trv.0123abcd").c_str()), 0);
    const int held = ::open(path(".e.trv.0123abcd").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_EQ(cataloguefile::save(*numberedFiles(5, "/NEW/"), path("new.trv"), error), Outcome::Replaced) << error;
    ::close(held);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral(".c.trv.0123abc"), QStringLiteral(".c.trv.0123abcd.keep"),
                                      QStringLiteral(".d.trv.0123abcd"), QStringLiteral(".e.trv.0123abcd"),
                                      QStringLiteral(".f.trv.0123abcd"), QStringLiteral(".g.trv.0123abcd"),
                                      QStringLiteral("c.trv.0123abcd"), QStringLiteral("new.trv")}));
}
