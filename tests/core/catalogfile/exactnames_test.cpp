// Guards the names and folders kept as the file system gave them: a walk keeps them however
// hostile (bytes that are not UTF-8, new lines, 255 bytes, paths longer than PATH_MAX, names
// alike but for case), a save and an open give them back byte for byte with every field as
// before, and a damaged exact byte is refused.
#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/walk.h"

#include <QTemporaryDir>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

namespace {

using Paths = std::multiset<std::string>;

// Makes `name` in the folder open as dir, as a file or a folder; returns the folder's fd.
int make(int dir, const std::string &name, bool folder)
{
    if (folder) {
        EXPECT_EQ(::mkdirat(dir, name.c_str(), 0755), 0) << name;
        return ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY);
    }
    ::close(::openat(dir, name.c_str(), O_CREAT | O_WRONLY, 0644));
    return -1;
}

// Every exact folder and name of the records, and the nine fields of each.
Paths exactPaths(const RecordSet &rs, std::vector<std::string> *fields = nullptr)
{
    Paths out;
    std::string folder, name;
    for (int pos = 0; pos < rs.count(); ++pos) {
        EXPECT_TRUE(rs.exactAt(pos, fld::Path, folder) && rs.exactAt(pos, fld::LongName, name)) << pos;
        out.insert(folder + name);
        if (fields)
            for (int f = 0; f < rs.fieldCount(); ++f)
                fields->push_back(rs.utf8At(pos, f));
    }
    return out;
}

class ExactNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const int top = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
        for (const std::string &name : std::vector<std::string>{"caf\xe9.txt", "new\nline", std::string(255, 'n'),
                                                                "Readme.md", "README.MD", "trailing blank "})
            expect(top, root, name, false);
        for (const char *folder : {"Foo", "FOO"}) {
            const int sub = make(top, folder, true);
            expect(sub, root + folder + "/", "x", false);
            ::close(sub);
        }
        // A folder path of over PATH_MAX bytes, reached only through openat.
        int dir = ::dup(top);
        std::string path = root;
        for (int depth = 0; path.size() <= PATH_MAX; ++depth) {
            const std::string name = std::string(200, char('a' + depth % 26));
            const int next = make(dir, name, true);
            ::close(dir);
            dir = next;
            path += name + "/";
        }
        expect(dir, path, "deep", false);
        ::close(dir);
        ::close(top);
    }
    // Beyond PATH_MAX, QTemporaryDir cannot remove the tree; rm walks it by descriptors.
    void TearDown() override { (void)std::system(("rm -rf '" + root + "'").c_str()); }
    void expect(int dir, const std::string &folder, const std::string &name, bool asFolder)
    {
        make(dir, name, asFolder);
        expected.insert(folder + name);
    }
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString() + "/";
    Paths expected;
};

} // namespace

TEST_F(ExactNamesTest, HostileNamesSurviveTheWalkTheSaveAndTheOpenByteForByte)
{
    RecordSet walked;
    CreateRecordSet(walked);
    WalkState state;
    DirectoryWalk(walked, state).FindDirs(root);
    std::vector<std::string> fieldsWalked, fieldsOpened;
    EXPECT_EQ(exactPaths(walked, &fieldsWalked), expected);

    const std::string file = tmp.filePath(QStringLiteral("c.trv")).toStdString();
    std::string error;
    ASSERT_EQ(cataloguefile::save(walked, file, error), atomicfile::Outcome::Replaced) << error;
    const auto opened = cataloguefile::open(file, error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(exactPaths(*opened, &fieldsOpened), expected);
    EXPECT_EQ(fieldsOpened, fieldsWalked) << "the nine fields are what they were";
    // Folders alike but for case stay two folders.
    EXPECT_EQ(opened->sharedValues(fld::Path)->count(), walked.sharedValues(fld::Path)->count());

    // One bit of the first name changed: the case of a letter, which the fields do not show.
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT names FROM exact_names", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    std::string blob(static_cast<const char *>(sqlite3_column_blob(st, 0)), std::size_t(sqlite3_column_bytes(st, 0)));
    sqlite3_finalize(st);
    blob[1] = char(blob[1] ^ 1);
    ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE exact_names SET names = ?", -1, &st, nullptr), SQLITE_OK);
    sqlite3_bind_blob(st, 1, blob.data(), int(blob.size()), SQLITE_STATIC);
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    sqlite3_close(db);
    EXPECT_FALSE(cataloguefile::open(file, error));
    EXPECT_EQ(error, "its exact names are damaged");
}
