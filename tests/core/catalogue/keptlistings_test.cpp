// Guards walks that list unchanged directories from the listings an earlier walk kept: they
// give a fresh walk's records; a directory changed close to the walk that read it is read
// anew; and a change made while such a walk runs is seen by the next one.
#include "catalogue/keptlistings.h"
#include "catalogue/layouts.h"
#include "catalogue/volumes.h"
#include "catalogue/walk.h"
#include "platform/dirlisting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
