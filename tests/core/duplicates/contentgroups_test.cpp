// Guards the content duplicate finder on planted files: what must group, what must not (a
// difference at the start, in the middle, at the end), links of one file, empty and sparse
// files, files that changed after they were listed, digests kept from an earlier run that
// stand for files not mounted, and the byte comparison that catches a digest that lies.
#include "duplicates/contentgroups.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

namespace {

using content::Candidate;
using Groups = std::set<std::set<std::size_t>>;

class ContentGroupsTest : public ::testing::Test {
protected:
    std::string write(const std::string &name, std::string bytes)
    {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::size_t add(const std::string &path)
    {
        Candidate c;
        c.path = path;
        std::string error;
        EXPECT_EQ(content::stampOf(path, c.stamp, error), content::Read::Ok) << error;
        c.volume = "disk";
        candidates.push_back(c);
        return candidates.size() - 1;
    }
    [[nodiscard]] static Groups groups(const content::GroupResult &r)
    {
        Groups out;
        for (const content::Group &g : r.groups)
            out.insert({g.members.begin(), g.members.end()});
        return out;
    }
    QTemporaryDir dir;
    std::vector<Candidate> candidates;
};

// Larger than the two samples, so that the sample digest is what rules files out first.
const std::string kBig = std::string(100'000, 'x');

std::string changedAt(std::string s, std::size_t at)
{
    s[at] = 'y';
    return s;
}

} // namespace

TEST_F(ContentGroupsTest, EqualContentGroupsAndADifferenceAnywhereSeparates)
{
    const std::size_t a = add(write("a", kBig)), b = add(write("b", kBig)), c = add(write("c", kBig));
    add(write("first", changedAt(kBig, 0)));
    add(write("middle", changedAt(kBig, kBig.size() / 2)));
    add(write("last", changedAt(kBig, kBig.size() - 1)));
    const std::size_t s1 = add(write("s1", "short")), s2 = add(write("s2", "short"));
    add(write("other", "shore"));
    ASSERT_EQ(::link(candidates[a].path.c_str(), (candidates[a].path + "-link").c_str()), 0);
    add(candidates[a].path + "-link");

    const content::GroupResult r = content::contentGroups(candidates, {});
    EXPECT_EQ(groups(r), (Groups{{a, b, c}, {s1, s2}}));
    ASSERT_EQ(r.groups.size(), 2u);
    EXPECT_EQ(r.groups[0].wasted(), 2 * std::int64_t(kBig.size())) << "most wasted first";
    EXPECT_TRUE(r.groups[0].verified);
    EXPECT_TRUE(r.notes.empty());
}

TEST_F(ContentGroupsTest, EmptyFilesOnlyWhenAskedAndSparseFilesByTheirBytes)
{
    const std::size_t e1 = add(write("e1", "")), e2 = add(write("e2", ""));
    std::string holes[3];
    for (int i = 0; i < 3; ++i) {
        holes[i] = write("sparse" + std::to_string(i), "");
        const int fd = ::open(holes[i].c_str(), O_WRONLY);
        ASSERT_EQ(::pwrite(fd, i == 2 ? "z" : "q", 1, 50'000'000), 1);
        ::close(fd);
    }
    const std::size_t h0 = add(holes[0]), h1 = add(holes[1]);
    add(holes[2]);
    EXPECT_EQ(groups(content::contentGroups(candidates, {})), (Groups{{h0, h1}}));
    EXPECT_EQ(groups(content::contentGroups(candidates, {0, false})), (Groups{{e1, e2}, {h0, h1}}));
}

TEST_F(ContentGroupsTest, AFileThatChangedOrIsNotAFileIsLeftOutWithANote)
{
    const std::size_t a = add(write("a", kBig)), b = add(write("b", kBig));
    const std::size_t c = add(write("c", kBig));
    write("c", kBig + "grown"); // after it was listed
    ASSERT_EQ(::symlink(candidates[a].path.c_str(), (candidates[a].path + "-sym").c_str()), 0);
    add(candidates[b].path); // placeholder, then made a link to a file of the same size
    candidates.back().path = candidates[a].path + "-sym";
    candidates.back().volume = "other";
    const content::GroupResult r = content::contentGroups(candidates, {});
    EXPECT_EQ(groups(r), (Groups{{a, b}}));
    std::set<std::string> noted;
    for (const auto &[path, why] : r.notes)
        noted.insert(path);
    EXPECT_EQ(noted, (std::set<std::string>{candidates[c].path, candidates[a].path + "-sym"}));
}

TEST_F(ContentGroupsTest, StoredDigestsStandForFilesNotMountedAndBytesCatchOneThatLies)
{
    const std::size_t a = add(write("a", kBig)), b = add(write("b", changedAt(kBig, 500)));
    content::Digest real;
    std::string error;
    ASSERT_EQ(content::fullDigest(candidates[a].path, candidates[a].stamp, real, error), content::Read::Ok);
    Candidate away = candidates[a];
    away.path = "/not/mounted/a";
    away.online = false;
    away.volume = "elsewhere";
    away.stored = real;
    candidates.push_back(away);
    candidates[b].stored = real; // a digest that is wrong for b's bytes, with b's stamp

    content::GroupResult r = content::contentGroups(candidates, {});
    EXPECT_EQ(groups(r), (Groups{{a, b, 2}}));
    EXPECT_FALSE(r.groups.at(0).verified) << "a member was not read";
    r = content::contentGroups(candidates, {1, true});
    EXPECT_EQ(groups(r), (Groups{{a, 2}}));
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0].first, candidates[b].path);
}
