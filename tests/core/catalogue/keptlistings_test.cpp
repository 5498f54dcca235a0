// Guards walks that list unchanged directories from the listings an earlier walk kept: they
// give a fresh walk's records; a directory changed close to the walk that read it is read
// anew; a change made while such a walk runs is seen by the next one; and a tree counts as
// unchanged only while every folder it had is listed from its listing with its sum, under the
// same seed, and no file system is mounted on one of its folders.
#include "catalogue/keptlistings.h"
#include "catalogue/layouts.h"
#include "catalogue/unchangedtree.h"
#include "catalogue/volumes.h"
#include "catalogue/walk.h"
#include "platform/dirlisting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>

namespace {

// Every record's exact path and values, in walk order.
std::vector<std::string> recordsOf(const RecordSet &rs)
{
    std::vector<std::string> out;
    std::string folder, name;
    for (int pos = 0; pos < rs.count(); ++pos) {
        rs.exactAt(pos, fld::Path, folder);
        rs.exactAt(pos, fld::LongName, name);
        out.push_back(folder + name);
        for (int f = 0; f < rs.fieldCount(); ++f)
            out.back() += '|' + rs.utf8At(pos, f);
    }
    return out;
}

class KeptListingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *folder : {"a", "b", "c"})
            for (int i = 0; i < 3; ++i)
                touch(QString::asprintf("%s/%d", folder, i).toStdString());
    }
    void touch(const std::string &relative)
    {
        QDir().mkpath(QFileInfo(dir.filePath(QString::fromStdString(relative))).path());
        QFile f(dir.filePath(QString::fromStdString(relative)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // A walk of the tree, from the listings given; as though it came `later` ms after it began.
    // Its listings are left as a file keeps them, with their files' names.
    std::vector<std::string> walk(Volumes &volumes, const KnownListings *known = nullptr, qint64 later = 0)
    {
        RecordSet rs;
        CreateRecordSet(rs);
        WalkState state;
        DirectoryWalk w(rs, state);
        w.setKnownListings(known);
        volumes.keepListings = true;
        volumes.walk(w, rs, dir.path().toStdString());
        volumes.list.back().walkBegan += later;
        for (FolderListing &l : volumes.listings) {
            std::string entries;
            EXPECT_TRUE(l.withFileNames(rs, entries));
            l.entries = entries, l.firstFile = -1;
        }
        return recordsOf(rs);
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(KeptListingsTest, AWalkFromKeptListingsIsAFreshWalkAndSeesChangesMadeDuringIt)
{
    Volumes first;
    const std::vector<std::string> before = walk(first, nullptr, 10'000);
    ASSERT_EQ(first.listings.size(), 4u) << "the tree and its three folders";

    // While the second walk runs, a file is added to a folder it may already have listed.
    bool added = false;
    setBeforeOpenHook([&](int, const std::string &name) {
        if (name == "c" && !added)
            touch("a/late"), added = true;
    });
    Volumes second;
    const KeptListings kept(first.listings, first);
    walk(second, &kept, 10'000);
    setBeforeOpenHook({});
    ASSERT_TRUE(added);
    EXPECT_GE(kept.reused(), 2);

    Volumes third, fresh;
    const KeptListings keptAgain(second.listings, second);
    const std::vector<std::string> updated = walk(third, &keptAgain);
    EXPECT_EQ(updated, walk(fresh));
    EXPECT_EQ(updated.size(), before.size() + 1);
}

TEST_F(KeptListingsTest, AFolderChangedCloseToTheWalkThatReadItIsReadAnew)
{
    Volumes first;
    walk(first); // the tree was made just before
    const KeptListings kept(first.listings, first);
    Volumes second;
    walk(second, &kept);
    EXPECT_EQ(kept.reused(), 0);
}

TEST_F(KeptListingsTest, ATreeIsUnchangedOnlyWhileEveryFolderItHadIsAsItWas)
{
    Volumes first;
    walk(first, nullptr, 10'000);
    const std::uint64_t seed = listingSeed();
    const KeptListings kept(first.listings, first);
    EXPECT_TRUE(unchangedSince(kept, first.listings, 0, seed));
    EXPECT_FALSE(unchangedSince(kept, first.listings, 0, seed + 1)) << "another time zone";

    // As though the walk had not been able to read "b", which can be read now.
    std::vector<FolderListing> withoutB = first.listings;
    withoutB.erase(std::remove_if(withoutB.begin(), withoutB.end(),
                                  [](const FolderListing &l) { return l.path.ends_with("/b/"); }),
                   withoutB.end());
    ASSERT_EQ(withoutB.size(), first.listings.size() - 1);
    const KeptListings partial(withoutB, first);
    EXPECT_FALSE(unchangedSince(partial, withoutB, 0, seed));

    // Mounting changes no folder's times, but the folder's entry then names another root.
    const std::string c = dir.filePath(QStringLiteral("c")).toStdString();
    if (::mount("tmpfs", c.c_str(), "tmpfs", 0, "size=1m") == 0) {
        EXPECT_FALSE(unchangedSince(kept, first.listings, 0, seed)) << "a file system mounted on a folder";
        ASSERT_EQ(::umount(c.c_str()), 0);
        EXPECT_TRUE(unchangedSince(kept, first.listings, 0, seed));
    }
}

TEST_F(KeptListingsTest, AFolderOnlyReadSinceLeavesTheTreeUnchanged)
{
    // A walk that may not keep a folder's last access (another user's folder) moves it.
    const std::string b = dir.filePath(QStringLiteral("b")).toStdString();
    const timespec longAgo[] = {{1000000000, 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, b.c_str(), longAgo, 0), 0);
    Volumes first;
    walk(first, nullptr, 10'000);
    ASSERT_EQ(QDir(QString::fromStdString(b)).entryList().size(), 5); // 0, 1, 2, "." and ".."
    struct stat st {};
    ASSERT_EQ(::stat(b.c_str(), &st), 0);
    if (st.st_atime == 1000000000)
        GTEST_SKIP() << "this file system keeps no last access";
    const KeptListings kept(first.listings, first);
    EXPECT_TRUE(unchangedSince(kept, first.listings, 0, listingSeed()));
}

TEST_F(KeptListingsTest, AKeptListingThatNamesAFileNotThereIsReadAnew)
{
    Volumes first;
    const std::vector<std::string> fresh = walk(first, nullptr, 10'000);
    // Damaged in the file, or the file removed between the folder's stamp and its entries.
    const auto a = std::find_if(first.listings.begin(), first.listings.end(),
                                [](const FolderListing &l) { return QString::fromStdString(l.path).endsWith("/a/"); });
    ASSERT_NE(a, first.listings.end());
    const std::size_t at = a->entries.find(std::string("f1\0", 3));
    ASSERT_NE(at, std::string::npos);
    a->entries.replace(at, 2, "fZ");
    Volumes second;
    const KeptListings kept(first.listings, first);
    EXPECT_EQ(walk(second, &kept), fresh);
    EXPECT_EQ(kept.reused(), (long long)first.listings.size() - 1) << "the folder read is not counted as listed";
}
