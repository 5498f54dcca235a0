// Guards the directory lister: every entry once, with its name and short name intact however
// often the shared buffer grew while they were listed.
#include "platform/dirlisting.h"
#include "platform/shortnames.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

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
    EXPECT_EQ(names.size(), made.size());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), made);
    const std::vector<std::string> expected = shortNames(names);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(listing.shortName(listing.entries[i]), expected[i]) << names[i];
}
