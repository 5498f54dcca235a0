// Guards the conversion of file times to local calendar time: zone rules by date, the
// edges of the convertible range, and times the file system does not report.
#include "catalogue/recordvalues.h"
#include "platform/dirlisting.h"
#include "platform/filetime.h"
#include "platform/shortnames.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

class ZoneGuard {
public:
    explicit ZoneGuard(const char *zone)
    {
        setenv("TZ", zone, 1);
        resetLocalTimeCache();
    }
    ~ZoneGuard()
    {
        setenv("TZ", "UTC", 1);
        resetLocalTimeCache();
    }
};

FileTimestamp known(std::int64_t s)
{
    return FileTimestamp{true, s, 0};
}

std::string text(const FileTimestamp &t)
{
    std::string key;
    return FileTimeText(toLocalTime(t), key);
}

} // namespace

TEST(FileTime, LocalTimeUsesTheRulesInForceAtThatDate)
{
    ZoneGuard zone("America/New_York");
    EXPECT_EQ(text(known(931101342)), "07/04/1999  11:15:42 AM") << "summer: four hours behind";
    EXPECT_EQ(text(known(946684800)), "12/31/1999  07:00:00 PM") << "winter: five hours behind";
    // Either side of the spring change of 2021 (14 March, 07:00 UTC).
    EXPECT_EQ(text(known(1615705199)), "03/14/2021  01:59:59 AM");
    EXPECT_EQ(text(known(1615705200)), "03/14/2021  03:00:00 AM");
}

TEST(FileTime, TimesOutsideTheConvertibleRangeGiveNoText)
{
    ZoneGuard zone("UTC");
    EXPECT_EQ(text(known(-11644473600)), "         UNKNOWN") << "the first day of 1601";
    EXPECT_EQ(text(known(-11644473601)), "") << "before 1601";
    EXPECT_EQ(text(known(std::int64_t(1) << 40)), "");
    EXPECT_EQ(text(FileTimestamp{}), "") << "a time the file system does not report";
    EXPECT_EQ(text(known(-1)), "12/31/1969  11:59:59 PM");
}

TEST(DirListing, ListsEntriesWithTheirKindsButNotDotEntries)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    ASSERT_EQ(::mkdir((root + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("sub", (root + "/link").c_str()), 0);
    DirListing listing;
    listDirectory(root, listing);
    ASSERT_TRUE(listing.opened);
    ASSERT_EQ(listing.entries.size(), 2u);
    for (const DirEntry &e : listing.entries)
        EXPECT_EQ(e.isDirectory, listing.name(e) == "sub") << listing.name(e);
    listDirectory(root + "/missing", listing);
    EXPECT_FALSE(listing.opened);
    EXPECT_TRUE(listing.entries.empty());
}

TEST(DirListing, KeepsEachEntrysNameAndShortNameApartInItsBuffer)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::set<std::string> made{"README.TXT", "caf\xc3\xa9 \xe2\x82\xac.txt"};
    for (int i = 0; i < 300; ++i) // enough to grow the buffer many times
        made.insert("Holiday photo " + std::to_string(i) + ".jpeg");
    for (const std::string &name : made)
        ASSERT_TRUE(QFile(QFile::decodeName(QByteArray::fromStdString(root + "/" + name))).open(QIODevice::WriteOnly));
    DirListing listing;
    listDirectory(root, listing);
    std::vector<std::string_view> names;
    for (const DirEntry &e : listing.entries)
        names.push_back(listing.name(e));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), made);
    const std::vector<std::string> expected = shortNames(names);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(listing.shortName(listing.entries[i]), expected[i]) << names[i];
}
