// Guards the reading of some rows of a catalogue file, as a search through its index does:
// every field, exact name and folder, and volume of each row read is the one a whole open
// gives, across the boundaries of the blobs exact names are kept in; a position the file does
// not hold is refused. A stream of every record in batches gives what a whole open gives, and
// refuses a damaged file.
#include "../../../bench/synthetic.h"
#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Everything a search prints of a record, exact texts first.
std::vector<std::string> recordOf(const RecordSet &rs, int pos, const Volumes &volumes)
{
    std::string folder, name;
    const bool exact = rs.exactAt(pos, fld::Path, folder) && rs.exactAt(pos, fld::LongName, name);
    std::vector<std::string> out{exact ? "exact" : "derived", folder, name};
    for (int f = 0; f < rs.fieldCount(); ++f)
        out.push_back(rs.utf8At(pos, f));
    const std::uint32_t id = rs.sharedValues(fld::Path)->id(rs.bookmarkAt(pos));
    out.push_back(id < volumes.folderVolume.size() && volumes.folderVolume[id] >= 0
                      ? volumes.list[std::size_t(volumes.folderVolume[id])].label
                      : "none");
    return out;
}

class CatalogueRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateRecordSet(records);
        fillSyntheticCatalogue(records, 10'000);
        // Two volumes, their folders alternating, so that each row's volume is its own.
        volumes.list.resize(2);
        volumes.list[0].label = "even";
        volumes.list[1].label = "odd";
        for (std::uint32_t id = 0; id < records.sharedValues(fld::Path)->count(); ++id)
            volumes.folderVolume.push_back(int(id % 2));
        std::string error;
        ASSERT_EQ(cataloguefile::save(records, volumes, path, error), atomicfile::Outcome::Replaced) << error;
        whole = cataloguefile::open(path, error, &wholeVolumes);
        ASSERT_TRUE(whole) << error;
    }
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("c.trv")).toStdString();
    RecordSet records;
    Volumes volumes, wholeVolumes;
    std::unique_ptr<RecordSet> whole;
};

} // namespace

TEST_F(CatalogueRowsTest, RowsReadAloneAreTheRowsOfAWholeOpen)
{
    // Around the blob boundaries, where the values before a row must be passed over.
    const std::vector<int> positions{0, 1, 2, 4094, 4095, 4096, 4097, 6000, 8191, 8192, 9998, 9999};
    std::string error;
    Volumes some;
    const auto rows = cataloguefile::openRows(path, positions, error, &some);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->count(), int(positions.size()));
    for (std::size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(recordOf(*rows, int(i), some), recordOf(*whole, positions[i], wholeVolumes)) << positions[i];
    EXPECT_EQ(recordOf(*rows, 0, some).front(), "exact");

    const auto none = cataloguefile::openRows(path, {}, error);
    ASSERT_TRUE(none) << error;
    EXPECT_EQ(none->count(), 0);
    EXPECT_FALSE(cataloguefile::openRows(path, {10'000}, error)) << "past the last row";
    EXPECT_FALSE(error.empty());
}

TEST_F(CatalogueRowsTest, AStreamGivesEveryRecordInBatchesAndRefusesDamage)
{
    std::vector<std::vector<std::string>> streamed;
    std::vector<int> batches;
    std::string error;
    const Volumes none;
    ASSERT_TRUE(cataloguefile::streamRecords(
        path, 4096,
        [&](RecordSet &batch) {
            batches.push_back(batch.count());
            for (int pos = 0; pos < batch.count(); ++pos)
                streamed.push_back(recordOf(batch, pos, none));
        },
        error))
        << error;
    EXPECT_EQ(batches, (std::vector<int>{4096, 4096, 1808}));
    ASSERT_EQ(streamed.size(), 10'000u);
    for (int pos = 0; pos < whole->count(); pos += 997)
        EXPECT_EQ(streamed[std::size_t(pos)], recordOf(*whole, pos, none)) << pos;

    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf("CHAPTER_");
    ASSERT_GT(at, 0);
    bytes[at] = 'D'; // a changed byte inside a name, which only the checksum sees
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_FALSE(cataloguefile::streamRecords(
        path, 4096, [](RecordSet &) {}, error));
    EXPECT_EQ(error, "its records are damaged");
}
