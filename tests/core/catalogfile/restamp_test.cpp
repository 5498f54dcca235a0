// Guards saving a catalogue file again with only its volumes made new: in place or into
// another file, the records stay as they were and the file opens whole; a file that records
// another number of volumes, or whose latest content still lies in a WAL beside it, is refused
// and nothing is written; a copy stopped part way leaves no temporary behind. Rows of files
// written in place get their new values and the file stays whole, but only where the rows
// are those files and are not damaged.
#include "catalogfile/cataloguefile.h"
#include "catalogfile/folderlistings.h"
#include "catalogfile/restamp.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
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
        // Its one folder as a walk keeps it: the files' names are the records'.
        std::string entries;
        for (int i = 0; i < 500; ++i)
            entries.append("f", 2);
        volumes.listings.push_back({0, "/DISK/", {}, entries, 0, 1, true});
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
    std::string restamp(const std::string &to, const std::vector<Volume> &volumes, bool stopped = false,
                        cataloguefile::InPlaceChanges *changes = nullptr)
    {
        cataloguefile::Restamp r;
        const std::atomic<bool> stop = stopped;
        if (!r.copy(file, to, stop, error))
            return "not copied";
        return r.finish(volumes, error, changes) == atomicfile::Outcome::Replaced ? "replaced" : "refused";
    }
    // The file's folder examined anew: its `files` records, every odd size grown by one, one
    // of them named `renamed`.
    std::string retime(int files, int renamed = -1)
    {
        std::vector<FolderListing> listings;
        Volumes recorded;
        if (!cataloguefile::readListings(file, listings, recorded, error))
            return "unreadable";
        RetimedFolders retimed;
        retimed.listings = {0};
        CreateRecordSet(retimed.records);
        for (int i = 0; i < files; ++i) {
            RecordSet &rs = retimed.records;
            rs.addNew();
            rs.setField(fld::LongName, i == renamed ? std::string("OTHER") : "FILE" + std::to_string(i));
            rs.setField(fld::ShortName, std::string_view("F~1"));
            rs.setField(fld::Path, std::string_view("/DISK/"));
            rs.setField(fld::Size, qint64(i + i % 2));
            rs.setField(fld::Extension, std::string_view("TXT"));
        }
        retimed.first = {0, files};
        retimed.sums = {77};
        cataloguefile::InPlaceChanges changes{listings, retimed};
        const std::string outcome = restamp(file, {volume("second", 1)}, false, &changes);
        return outcome + " " + std::to_string(changes.rowsChanged);
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
    sql(file, "PRAGMA journal_mode = WAL; UPDATE volumes SET label = 'in the wal'", &db);
    EXPECT_EQ(restamp(other, {volume("x", 1)}), "not copied") << "a copy of the file alone would lose the change";
    sqlite3_close(db);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(other)));
    EXPECT_EQ(volumesText(file), "in the wal 1");
}

TEST_F(RestampTest, RowsOfFilesWrittenInPlaceGetTheirNewValuesWhereTheyAreThoseFiles)
{
    EXPECT_EQ(retime(500, 3), "refused 0") << "a row holds another file";
    EXPECT_EQ(retime(499), "refused 0") << "the folder holds other files than its listing";
    EXPECT_EQ(recordsText(file), before);
    EXPECT_EQ(volumesText(file), "first 1");
    EXPECT_EQ(filesInFolder(), 1) << "no temporary is left";

    ASSERT_EQ(retime(500), "replaced 250") << error;
    Volumes read;
    const auto opened = cataloguefile::open(file, error, &read);
    ASSERT_TRUE(opened) << error;
    ASSERT_EQ(opened->count(), 500);
    for (int pos = 0; pos < 500; ++pos)
        ASSERT_EQ(opened->integerAt(pos, fld::Size), pos + pos % 2) << pos;
    EXPECT_EQ(firstValue(file, "SELECT entries_sum FROM folder_listings"), "77");
    std::vector<FolderListing> listings;
    Volumes recorded;
    bool damaged = false;
    ASSERT_TRUE(cataloguefile::readListings(file, listings, recorded, error, &damaged)) << error;
    EXPECT_FALSE(damaged) << "the listings' own sum is made new with theirs";
    EXPECT_EQ(listings.size(), 1u);
    EXPECT_EQ(volumesText(file), "second 1");

    // Damage the checksum does not cover in the rows kept: the records are not carried over.
    sql(file, "UPDATE files SET size = 9999 WHERE rowid = 7");
    EXPECT_EQ(retime(500), "refused 0");
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}
