// Guards the union of catalogues: every value of the appended records arrives as it was, in
// the appended set's current order, and shared values stay shared.
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordunion.h"

#include <gtest/gtest.h>

namespace {

void add(RecordSet &rs, const char *name, const char *folder, qint64 size, const char *modified)
{
    rs.addNew();
    rs.setField(fld::LongName, std::string_view(name));
    rs.setField(fld::Path, std::string_view(folder));
    rs.setField(fld::Size, size);
    rs.setField(fld::Modified, std::string_view(modified));
    rs.setField(fld::Extension, std::string_view("TXT"));
}

std::vector<std::string> rows(const RecordSet &rs)
{
    std::vector<std::string> out;
    for (int pos = 0; pos < rs.count(); ++pos) {
        std::string row;
        for (int f = 0; f < rs.fieldCount(); ++f)
            row += rs.utf8At(pos, f) + "|";
        out.push_back(row);
    }
    return out;
}

} // namespace

TEST(RecordUnionTest, AppendedRecordsKeepEveryValueTheirOrderAndSharedFolders)
{
    RecordSet first, second;
    CreateRecordSet(first);
    CreateRecordSet(second);
    add(first, "A", "/X/", 1, "01/02/2003  04:05:06 PM");
    add(second, "C", "/Y/", 3, "not a date");
    add(second, "B", "/X/", 4'000'000'000'000, "12/31/1999  11:59:59 PM");
    // Exact bytes of a name and of a folder alike but for case to one already there.
    second.setExact(fld::LongName, "b\xff", "B\xef\xbf\xbd");
    second.setExact(fld::Path, "/x/", "/X/");
    second.setSort(QStringLiteral("Field1"));
    std::vector<std::string> expected = rows(first);
    for (const std::string &r : rows(second))
        expected.push_back(r);

    appendRecords(first, second);
    EXPECT_EQ(rows(first), expected);
    // "/X/" set as text in both is one folder value; the exact "/x/" stays a folder of its own.
    EXPECT_EQ(first.sharedValues(fld::Path)->count(), 4u); // the empty value, /X/, /Y/ and /x/
    std::string exact;
    EXPECT_TRUE(first.exactAt(1, fld::LongName, exact));
    EXPECT_EQ(exact, "b\xff");
    EXPECT_TRUE(first.exactAt(1, fld::Path, exact));
    EXPECT_EQ(exact, "/x/");
    EXPECT_FALSE(first.exactAt(0, fld::Path, exact));
    EXPECT_FALSE(first.exactAt(2, fld::LongName, exact));
    std::uint64_t code = 0;
    EXPECT_TRUE(first.packedAt(1, fld::Modified, code)) << "a date stays packed";
}
