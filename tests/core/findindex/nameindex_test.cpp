// Guards the name index: a search finds every name holding the text and no match runs from
// one name into the next; an index of another state of its catalogue, or a damaged one, is
// refused rather than searched.
#include "findindex/nameindex.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

using findindex::NameIndex;
using findindex::SourceStamp;

class NameIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(findindex::write(
            path, stamp, int(names.size()), [this](int pos, std::string &out) { out = names[std::size_t(pos)]; },
            error))
            << error.toStdString();
    }
    [[nodiscard]] static std::vector<int> find(const NameIndex &index, std::string_view text, int limit = 100)
    {
        std::vector<int> out;
        index.contains(text, [&](int pos) {
            out.push_back(pos);
            return int(out.size()) < limit;
        });
        return out;
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("a.names"));
    SourceStamp stamp{1234, 5, 678};
    std::vector<std::string> names{"alpha", "beta", "", "alphabet", "gamma", "a"};
};

} // namespace

TEST_F(NameIndexTest, FindsEveryNameHoldingTheTextOnceAndNeverAcrossNames)
{
    NameIndex index;
    ASSERT_TRUE(index.open(path, stamp));
    EXPECT_EQ(find(index, "alpha"), (std::vector<int>{0, 3}));
    EXPECT_EQ(find(index, "a"), (std::vector<int>{0, 1, 3, 4, 5})) << "alphabet holds three, listed once";
    EXPECT_EQ(find(index, "aa"), std::vector<int>{}) << "alpha's end and alphabet's start are two names";
    EXPECT_EQ(find(index, "bet"), (std::vector<int>{1, 3}));
    EXPECT_EQ(find(index, "a", 2), (std::vector<int>{0, 1})) << "stops when told";
    std::vector<std::string> seen;
    index.each([&](int, std::string_view name) { return seen.emplace_back(name), true; });
    EXPECT_EQ(seen, names);
}

TEST_F(NameIndexTest, AStaleOrDamagedIndexIsRefused)
{
    EXPECT_FALSE(NameIndex().open(path, {1234, 5, 679})) << "the catalogue changed";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    // An offset made to point past the names, and a file cut short.
    QByteArray bad = whole;
    bad[48 + 4 * 2] = char(0xFF);
    for (const QByteArray &damaged : {bad, whole.left(whole.size() - 1)}) {
        file.resize(0);
        file.seek(0);
        file.write(damaged);
        file.flush();
        NameIndex index;
        EXPECT_FALSE(index.open(path, stamp));
        EXPECT_EQ(find(index, "a"), std::vector<int>{});
    }
}
