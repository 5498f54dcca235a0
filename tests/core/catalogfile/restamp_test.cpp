// Guards saving a catalogue file again with only its volumes made new: in place or into
// another file, the records stay as they were and the file opens whole; a file that records
// another number of volumes, or whose latest content still lies in a WAL beside it, is refused
// and nothing is written; a copy stopped part way leaves no temporary behind.
#include "catalogfile/cataloguefile.h"
#include "catalogfile/restamp.h"
#include "catalogue/columns.h"
#include "support/sqlitevalue.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

Volume volume(const char *label, qint64 freeBytes)
{
    Volume v;
    v.mountPoint = "/disk", v.label = label, v.uuid = "1234-5678", v.fsType = "ext4";
    v.device = "/dev/sdz1", v.deviceNumber = "8:1", v.driveType = "Is A Hard Drive";
    v.totalBytes = 1 << 30, v.freeBytes = freeBytes, v.walkBegan = 1000, v.walkEnded = 2000, v.files = 500;
    return v;
}

class RestampTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto records = numberedFiles(500, "/DISK/");
        Volumes volumes;
        volumes.list.push_back(volume("first", 1));
        volumes.folderVolume.assign(records->sharedValues(fld::Path)->count(), 0);
        ASSERT_EQ(cataloguefile::save(*records, volumes, file, error), atomicfile::Outcome::Replaced) << error;
        before = recordsText(file);
    }
    static std::string recordsText(const std::string &path)
    {
        return firstValue(path, "SELECT group_concat(Field1 || Field3 || Field7, ',') FROM records");
    }
    static std::string volumesText(const std::string &path)
    {
        return firstValue(path, "SELECT group_concat(label || ' ' || free_bytes, ',') FROM volumes");
    }
    std::string restamp(const std::string &to, const std::vector<Volume> &volumes, bool stopped = false)
    {
        cataloguefile::Restamp r;
        const std::atomic<bool> stop = stopped;
        if (!r.copy(file, to, stop, error))
            return "not copied";
        return r.finish(volumes, error) == atomicfile::Outcome::Replaced ? "replaced" : "refused";
    }
    int filesInFolder() const { return int(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size()); }

    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("c.trv")).toStdString();
    const std::string other = dir.filePath(QStringLiteral("d.trv")).toStdString();
    std::string error, before;
};

} // namespace

TEST_F(RestampTest, OnlyTheVolumesChangeInPlaceOrInAnotherFile)
{
    ASSERT_EQ(restamp(file, {volume("second", 42)}), "replaced") << error;
    EXPECT_EQ(recordsText(file), before);
    EXPECT_EQ(volumesText(file), "second 42");
    EXPECT_EQ(firstValue(file, "PRAGMA integrity_check"), "ok");
    Volumes read;
    const auto opened = cataloguefile::open(file, error, &read);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->count(), 500);
    ASSERT_EQ(read.list.size(), 1u);
    EXPECT_EQ(read.list[0].label, "second");

    ASSERT_EQ(restamp(other, {volume("third", 7)}), "replaced") << error;
    EXPECT_EQ(recordsText(other), before);
    EXPECT_EQ(volumesText(other), "third 7");
    EXPECT_EQ(volumesText(file), "second 42") << "the file copied is left as it was";
    EXPECT_EQ(filesInFolder(), 2) << "no temporary is left";
}

TEST_F(RestampTest, AFileItCannotCopyWholeIsRefusedAndNothingIsWritten)
{
    EXPECT_EQ(restamp(other, {}), "refused") << "one volume recorded, none given";
    EXPECT_EQ(restamp(other, {volume("x", 1)}, true), "not copied");
    EXPECT_EQ(filesInFolder(), 1);

    // A program keeps the file in WAL mode, its last change not yet written back into it.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = WAL; UPDATE volumes SET label = 'in the wal'", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_EQ(restamp(other, {volume("x", 1)}), "not copied") << "a copy of the file alone would lose the change";
    sqlite3_close(db);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(other)));
    EXPECT_EQ(volumesText(file), "in the wal 1");
}
