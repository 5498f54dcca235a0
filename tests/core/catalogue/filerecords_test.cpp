// Guards which records stand for files that went: matched by folder and long name as the
// walk stores them, one record per file, the pointed-at row first among look-alikes.
#include "catalogue/filerecords.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"

#include <gtest/gtest.h>

namespace {

void add(RecordSet &rs, const char *folder, const char *name)
{
    rs.addNew();
    rs.setField(fld::Path, values::pathValue(folder));
    rs.setField(fld::LongName, values::longNameValue(name));
}

} // namespace

TEST(FileRecordsTest, EachFileTakesOneRecordOfItsFolderAndName)
{
    RecordSet rs;
    CreateRecordSet(rs);
    add(rs, "/d", "a.txt");
    add(rs, "/d", "A.TXT"); // another file the catalogue cannot tell from the first
    add(rs, "/d/sub", "a.txt");
    add(rs, "/d", "a very long name that was cut.txt");
    add(rs, "/e", "b.txt");

    // One of two look-alikes went: the pointed-at one is taken, the other stays.
    auto found = recordsOfFiles(rs, {"/d/A.txt"}, rs.bookmarkAt(1));
    EXPECT_EQ(found, std::vector<RecordSet::Bookmark>{rs.bookmarkAt(1)});
    found = recordsOfFiles(rs, {"/d/a.txt"}, rs.bookmarkAt(4));
    EXPECT_EQ(found, std::vector<RecordSet::Bookmark>{rs.bookmarkAt(0)}) << "the other file's row is no match";

    // Both went, a folder's file too, a long name matches as cut; unknown files take nothing.
    found = recordsOfFiles(
        rs, {"/d/a.txt", "/d/A.TXT", "/d/sub/a.txt", "/d/a very long name that was cut.txt", "/d/sub", "/f/b.txt"},
        RecordSet::kNoBookmark);
    EXPECT_EQ(found, (std::vector<RecordSet::Bookmark>{rs.bookmarkAt(0), rs.bookmarkAt(1), rs.bookmarkAt(2),
                                                       rs.bookmarkAt(3)}));
    EXPECT_TRUE(recordsOfFiles(rs, {}, rs.bookmarkAt(0)).empty());
}
