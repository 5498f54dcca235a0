// Guards the directory walk: the order of records, the counters and the running total,
// the values it stores, and that odd trees (unreadable folders, links, bad names, huge
// files) neither stop it nor get followed.
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "catalogue/walk.h"
#include "platform/dirlisting.h"

#include <QDir>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString() + "/";
        ::chmod(root.c_str(), 0755);
        CreateRecordSet(catalogue);
    }

    void mkdir(const std::string &rel) { ASSERT_EQ(::mkdir((root + rel).c_str(), 0755), 0) << rel; }
    void touch(const std::string &rel, std::int64_t mtime = -1)
    {
        const int fd = ::open((root + rel).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0) << rel;
        ::close(fd);
        if (mtime >= 0) {
            const timespec ts[2] = {{mtime, 0}, {mtime, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (root + rel).c_str(), ts, 0), 0);
        }
    }

    void walk(unsigned listers = 0)
    {
        DirectoryWalk w(catalogue, state);
        w.setListers(listers);
        w.setProgress([this](qint64 total) { shown.push_back(total); });
        w.FindDirs(root);
    }

    std::vector<std::string> column(int field) const
    {
        std::vector<std::string> out;
        for (int i = 0; i < catalogue.count(); ++i)
            out.push_back(catalogue.utf8At(i, field));
        return out;
    }

    std::string trimmedName(int pos) const
    {
        std::string s = catalogue.utf8At(pos, fld::LongName);
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }

    QTemporaryDir dir;
    std::string root;
    RecordSet catalogue;
    WalkState state;
    std::vector<qint64> shown;
};

} // namespace

TEST_F(WalkTest, FilesComeBeforeSubfoldersWhichAreVisitedInUpperCaseOrderHiddenOnesToo)
{
    for (const char *d : {"_x", "b", "A", "abc def", "abcd", "abc", "A/inner", ".config", ".config/app"})
        mkdir(d);
    for (const char *f : {"_x/5", "b/4", "A/2", "A/inner/3", "abc def/6", "abcd/7", "abc/8", ".bashrc",
                          ".config/settings", ".config/app/.state"})
        touch(f);
    walk();
    std::vector<std::string> order;
    for (int i = 0; i < catalogue.count(); ++i)
        order.push_back(trimmedName(i));
    // The separator takes part in the comparison: "ABC DEF/" < "ABC/" < "ABCD/".
    EXPECT_EQ(order, (std::vector<std::string>{".BASHRC", "SETTINGS", ".STATE", "2", "3", "6", "8", "7", "4", "5"}));
    EXPECT_EQ(catalogue.utf8At(3, fld::Path), values::pathValue(root + "A"));
}

// Several threads list ahead; however they race, the records come in the one walk order.
TEST_F(WalkTest, ManyListersGiveTheOrderOfOne)
{
    std::vector<std::string> folders{""};
    for (int i = 0; i < 300; ++i) {
        const std::string folder = folders[std::size_t(i * 7919 % int(folders.size()))] + "d" + std::to_string(i % 13) +
                                   "_" + std::to_string(i) + "/";
        mkdir(folder);
        folders.push_back(folder);
        for (int f = 0; f < i % 4; ++f)
            touch(folder + "f" + std::to_string(f));
    }
    walk(1);
    const std::vector<std::string> one = column(fld::Path);
    for (unsigned listers : {2u, 5u}) {
        catalogue.close();
        CreateRecordSet(catalogue);
        state = WalkState{};
        walk(listers);
        EXPECT_EQ(column(fld::Path), one) << listers << " listers";
    }
    EXPECT_EQ(state.TotalFiles, 450);
}

TEST_F(WalkTest, CountersTheRunningTotalAndCancelling)
{
    for (int i = 0; i < 250; ++i)
        touch(std::string(1, 'f').append(std::to_string(i)));
    mkdir("empty");
    mkdir("only-dirs");
    mkdir("only-dirs/deeper");
    state.CurrentDrive = 3;
    walk();
    EXPECT_EQ(state.TotalFiles, 250);
    EXPECT_EQ(state.DriveFileCounts[3], 250);
    EXPECT_EQ(state.DriveFileCounts[0], 0);
    EXPECT_EQ(shown, (std::vector<qint64>{100, 200})) << "shown when the 101st and 201st files are recorded";
    EXPECT_EQ(state.FilesSinceUpdate, 50);
    EXPECT_EQ(catalogue.count(), 250);

    // Cancelled when the total is first shown, the walk stops within one entry.
    RecordSet other;
    CreateRecordSet(other);
    WalkState again;
    std::atomic<bool> cancel{false};
    DirectoryWalk w(other, again);
    w.setCancelFlag(&cancel);
    w.setProgress([&](qint64) { cancel = true; });
    w.FindDirs(root);
    EXPECT_TRUE(w.cancelled());
    EXPECT_EQ(again.TotalFiles, 101);
}

TEST_F(WalkTest, StoredValuesOfOneFile)
{
    setenv("TZ", "UTC", 1);
    touch("Holiday photo 2024.jpeg", 931101342); // 1999-07-04 15:15:42 UTC
    touch("README.TXT", 931046400);              // 1999-07-04 00:00:00 UTC
    walk();
    ASSERT_EQ(catalogue.count(), 2);
    catalogue.setSort(u"Field1");
    catalogue.moveFirst();
    EXPECT_EQ(catalogue.valueUtf8(fld::LongName), "HOLIDAY PHOTO 2024.JPEG  ");
    EXPECT_EQ(catalogue.valueUtf8(fld::ShortName), "HOLIDA~1.JPE  ");
    EXPECT_EQ(catalogue.valueUtf8(fld::Modified), "07/04/1999  03:15:42 PM");
    EXPECT_EQ(catalogue.valueUtf8(fld::DateKey), "363450.6359028");
    EXPECT_EQ(catalogue.valueUtf8(fld::Accessed), "07/04/1999");
    EXPECT_EQ(catalogue.valueUtf8(fld::Extension), "JPE");
    EXPECT_EQ(catalogue.integer(fld::Size), 0);
    EXPECT_EQ(catalogue.valueUtf8(fld::Created).size(), 23u);
    catalogue.moveNext();
    EXPECT_EQ(catalogue.valueUtf8(fld::ShortName), "README.TXT    ");
}

TEST_F(WalkTest, LinksAreFilesAndBadNamesAndHugeFilesAreKept)
{
    mkdir("target");
    touch("target/inside");
    ASSERT_EQ(::symlink((root + "target").c_str(), (root + "link").c_str()), 0);
    touch("\xff\xfe"
          "bad");
    const int fd = ::open((root + "huge").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(fd, qint64(5) << 30), 0);
    ::close(fd);
    walk();
    EXPECT_EQ(state.TotalFiles, 4) << "the link is one file; its target folder is walked once";
    catalogue.setSort(u"Field7 Desc");
    catalogue.moveFirst();
    EXPECT_EQ(catalogue.integer(fld::Size), qint64(5) << 30);
    bool sawBad = false;
    for (const std::string &n : column(fld::LongName))
        sawBad |= n.rfind("\xEF\xBF\xBD\xEF\xBF\xBD"
                          "BAD",
                          0) == 0;
    EXPECT_TRUE(sawBad);
    ::unlink((root + "\xff\xfe"
                     "bad")
                 .c_str()); // Qt cannot name it to remove it
}

// A folder that cannot be listed gives nothing, one listable but not searchable gives its
// names with blank values, and neither stops the walk; nor does a root that is gone.
TEST_F(WalkTest, UnreadableFoldersAndAMissingRootGiveWhatCanBeRead)
{
    for (const char *d : {"closed", "listable", "listable/inner", "open"})
        mkdir(d);
    for (const char *f : {"closed/hidden", "listable/inner/unreached", "open/seen"})
        touch(f);
    touch("listable/named", 931101342);
    ::chmod((root + "closed").c_str(), 0);
    ::chmod((root + "listable").c_str(), 0444);
    // Root reads everything; walk as an ordinary user for this thread's file access.
    const uid_t before = ::setfsuid(65534);
    walk();
    ::setfsuid(before);
    ::chmod((root + "closed").c_str(), 0755);
    ::chmod((root + "listable").c_str(), 0755);
    ASSERT_EQ(catalogue.count(), 2);
    EXPECT_EQ(trimmedName(0), "NAMED");
    EXPECT_EQ(trimmedName(1), "SEEN");
    EXPECT_EQ(catalogue.utf8At(0, fld::Modified), std::string(values::kDateTimeWidth, ' '));
    EXPECT_EQ(catalogue.utf8At(0, fld::Created), std::string(values::kDateTimeWidth, ' '));
    EXPECT_EQ(catalogue.utf8At(0, fld::Accessed), std::string(values::kDateWidth, ' '));
    EXPECT_EQ(catalogue.integerAt(0, fld::Size), 0);
    EXPECT_EQ(catalogue.utf8At(0, fld::DateKey), "");

    DirectoryWalk(catalogue, state).FindDirs(root + "does-not-exist");
    EXPECT_EQ(catalogue.count(), 2);
    EXPECT_EQ(state.TotalFiles, 2);
}

TEST_F(WalkTest, AFolderReplacedWhileTheWalkRunsIsSkippedNotFollowed)
{
    const std::vector<std::pair<const char *, std::function<void(int)>>> replacements{
        {"by a link", [](int parent) { ASSERT_EQ(::symlinkat("../elsewhere", parent, "sub"), 0); }},
        {"by another folder",
         [](int parent) {
             ASSERT_EQ(::mkdirat(parent, "sub", 0755), 0);
             ::close(::openat(parent, "sub/impostor", O_CREAT | O_WRONLY, 0644));
         }},
    };
    for (const auto &[how, replace] : replacements) {
        SCOPED_TRACE(how);
        ASSERT_TRUE(QDir(QString::fromStdString(root)).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(root)));
        mkdir("a");
        mkdir("a/sub");
        touch("a/sub/original");
        mkdir("elsewhere");
        touch("elsewhere/only-there");
        catalogue.close();
        CreateRecordSet(catalogue);
        setBeforeOpenHook([&](int parent, const std::string &name) {
            if (name == "sub") {
                ASSERT_EQ(::renameat(parent, "sub", parent, "moved"), 0);
                replace(parent);
            }
        });
        walk();
        setBeforeOpenHook(nullptr);
        EXPECT_EQ(column(fld::LongName), std::vector<std::string>{values::longNameValue("only-there")});
        EXPECT_EQ(column(fld::Path), std::vector<std::string>{values::pathValue(root + "elsewhere")});
    }
}
