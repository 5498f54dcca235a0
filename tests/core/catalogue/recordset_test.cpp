// Guards the record set's operations: stored values round-trip exactly, sorts are stable
// and compare as the quick search does, finds read odd texts literally, bookmarks survive.
#include "catalogue/layouts.h"
#include "catalogue/recordset.h"
#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

struct Rec {
    const char *name;
    qint64 size = 0;
    const char *key = "";
    const char *path = nullptr;
};

void fill(RecordSet &rs, const std::vector<Rec> &recs)
{
    for (const Rec &r : recs) {
        rs.addNew();
        rs.setField(fld::LongName, std::string_view(r.name));
        rs.setField(fld::Size, r.size);
        rs.setField(fld::DateKey, std::string_view(r.key));
        if (r.path)
            rs.setField(fld::Path, std::string_view(r.path));
    }
}

std::vector<std::string> names(const RecordSet &rs)
{
    std::vector<std::string> out;
    for (int i = 0; i < rs.count(); ++i)
        out.push_back(rs.utf8At(i, fld::LongName));
    return out;
}

class RecordSetTest : public ::testing::Test {
protected:
    void SetUp() override { CreateRecordSet(rs); }
    RecordSet rs;
};

} // namespace

TEST_F(RecordSetTest, EveryKindOfFieldGivesBackExactlyWhatWasStored)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {fld::LongName, "README.TXT               "},
        {fld::LongName, "  leading and trailing   "},
        {fld::Path, "/HOME/ANN/"},
        {fld::Modified, "07/04/1999  03:15:42 PM"},
        {fld::Modified, "         UNKNOWN       "},
        {fld::Modified, std::string(23, ' ')},
        {fld::Modified, "not a date at all"},
        {fld::Created, "99/99/9999  99:99:99 PM"},
        {fld::Accessed, "  UNKNOWN "},
        {fld::DateKey, "363450.6359028"},
        {fld::DateKey, "363450"},
        {fld::DateKey, "363450.00001157407"},
        {fld::DateKey, "-10.5"},
        {fld::DateKey, "363450.6359029"}, // no second gives this fraction
        {fld::DateKey, "0363450"},
        {fld::DateKey, "abc"},
        {fld::Extension, "TXT"},
    };
    for (const auto &[field, value] : cases) {
        rs.addNew();
        rs.setField(field, value);
        EXPECT_EQ(rs.valueUtf8(field), value) << "field " << field;
        EXPECT_EQ(rs.valueUtf8(fld::ShortName), "") << "unset fields are empty";
    }
    rs.addNew();
    rs.setField(fld::Size, qint64(5) << 30);
    EXPECT_EQ(rs.integer(fld::Size), qint64(5) << 30);
    EXPECT_EQ(rs.value(fld::Size), QStringLiteral("5368709120"));
}

// Each set is sorted in turn by the orders given, so an empty order must undo the last one.
TEST_F(RecordSetTest, EachKindOfFieldSortsByItsValueKeepingTiesInOrder)
{
    struct Sorted {
        const char16_t *sort;
        std::vector<std::string> names;
    };
    const std::vector<std::pair<std::vector<Rec>, std::vector<Sorted>>> cases = {
        {{{"b"}, {"A"}, {"a"}, {"_x"}, {"B"}, {"été"}, {"Étÿ"}},
         {{u"Field1", {"A", "a", "b", "B", "_x", "été", "Étÿ"}},
          {u"Field1 Desc", {"Étÿ", "été", "_x", "b", "B", "A", "a"}}}},
        {{{"ABCDEFGHIJ2             "}, {"ABCDEFGHIJ               "}, {"ABCDEFGHIJ1"}, {"ABCDEFGH"}},
         {{u"Field1", {"ABCDEFGH", "ABCDEFGHIJ               ", "ABCDEFGHIJ1", "ABCDEFGHIJ2             "}}}},
        {{{"big", qint64(3) << 31, "363460"},
          {"small", 9, "363450.5"},
          {"mid", 100, "363450.00001157407"},
          {"neg", -1, "363450"}},
         {{u"Field7", {"neg", "small", "mid", "big"}},
          {u"Field7 Desc", {"big", "mid", "small", "neg"}},
          {u"Field8", {"neg", "mid", "small", "big"}}}},
        {{{"0", 0, "", "/B/"}, {"1", 0, "", "/a/"}, {"2", 0, "", "/A/"}, {"3", 0, "", "/B/"}, {"4", 0, "", "/"}},
         {{u"Field3", {"4", "1", "2", "0", "3"}},
          {u"Field3 Desc", {"0", "3", "1", "2", "4"}},
          {u"", {"0", "1", "2", "3", "4"}}}},
    };
    for (const auto &[recs, sorts] : cases) {
        rs.close();
        CreateRecordSet(rs);
        fill(rs, recs);
        for (const Sorted &s : sorts) {
            ASSERT_TRUE(rs.setSort(s.sort));
            EXPECT_EQ(names(rs), s.names) << QString::fromUtf16(s.sort).toStdString();
            EXPECT_EQ(rs.position(), 0);
        }
    }
    EXPECT_FALSE(rs.setSort(u"Field10"));
    EXPECT_FALSE(rs.setSort(u"Field1 Sideways"));
    EXPECT_EQ(names(rs), (std::vector<std::string>{"0", "1", "2", "3", "4"})) << "a bad order changes nothing";
}

TEST_F(RecordSetTest, LargeTextSortsAreStableBothWays)
{
    // Enough rows to be sorted on two threads, with long shared prefixes and many ties.
    constexpr int kRows = 70000;
    for (int i = 0; i < kRows; ++i) {
        rs.addNew();
        const std::string name = (i % 2 ? "holiday photo " : "HOLIDAY PHOTO ") + std::to_string(i * 7919 % 997);
        rs.setField(fld::LongName, std::string_view(name));
        rs.setField(fld::Size, qint64(i));
    }
    for (const bool descending : {false, true}) {
        ASSERT_TRUE(rs.setSort(descending ? u"Field1 Desc" : u"Field1"));
        for (int p = 1; p < kRows; ++p) {
            const std::string a = rs.utf8At(p - 1, fld::LongName), b = rs.utf8At(p, fld::LongName);
            const int c = text::compareFolded(a, b) * (descending ? -1 : 1);
            ASSERT_TRUE(c < 0 || (c == 0 && rs.integerAt(p - 1, fld::Size) < rs.integerAt(p, fld::Size)))
                << p << ": " << a << " before " << b;
        }
    }
}

TEST_F(RecordSetTest, FindStartsAtTheCurrentRecordAndReadsQuotesLiterally)
{
    fill(rs, {{"ABC"}, {"ABD"}, {"O'BRIEN"}, {"ZED"}});
    rs.setSort(u"Field1");
    // From where, what, and where the find lands; 4 is past the end.
    const std::tuple<int, const char16_t *, int> finds[] = {{0, u"Field1 >= 'abd'", 1}, {1, u"Field1 >= 'abd'", 1},
                                                            {0, u"Field1 >= 'o'b'", 2}, {0, u"Field1 >= ''", 0},
                                                            {0, u"Field1 >= 'zz'", 4},  {0, u"Field7 > -1", 0}};
    for (const auto &[from, criterion, at] : finds) {
        rs.setPosition(from);
        ASSERT_TRUE(rs.find(criterion)) << QString::fromUtf16(criterion).toStdString();
        EXPECT_EQ(rs.position(), at) << QString::fromUtf16(criterion).toStdString() << " from " << from;
        EXPECT_EQ(rs.eof(), at == 4);
    }
    EXPECT_FALSE(rs.find(u"Field1 >= 'unterminated"));
    EXPECT_FALSE(rs.find(u"Nothing >= 'a'"));
}

// A sorted set answers a find by halving, a large unsorted one by a pass in storage order;
// both must land exactly where a plain scan lands.
TEST(RecordSetFind, SortedFindsAgreeWithAScan)
{
    const char *names[] = {"abc", "ABC", "abd",     "Éclair",     "eclair",     "zed", "Zed", "a b", "a",
                           "",    "ab",  "O'BRIEN", "résumé.txt", "RESUME.TXT", "abc", "m",   "b"};
    RecordSet sorted, scanned;
    for (RecordSet *rs : {&sorted, &scanned}) {
        CreateRecordSet(*rs);
        for (int i = 0; i < 9000; ++i) {
            rs->addNew();
            rs->setField(fld::LongName, std::string_view(names[(i * 7) % std::size(names)]));
            rs->setField(fld::Size, qint64((i * 37) % 11));
        }
    }
    const char16_t *criteria[] = {u"Field1 >= 'abc'", u"Field1 > 'abc'", u"Field1 = 'ABC'", u"Field1 = 'abcd'",
                                  u"Field1 >= 'É'",   u"Field1 >= ''",   u"Field1 > 'zzz'", u"Field1 >= 'o'b'",
                                  u"Field1 >= 'a b'", u"Field7 >= 5",    u"Field7 = 4",     u"Field7 > 10",
                                  u"Field1 < 'b'"};
    for (const char *sortText : {"Field1", "Field7"}) {
        sorted.setSort(QString::fromLatin1(sortText));
        scanned.setSort(QString::fromLatin1(sortText));
        scanned.moveLast();
        scanned.setField(fld::Size, scanned.integerAt(scanned.position(),
                                                      fld::Size)); // unchanged value, order no longer vouched for
        for (const char16_t *criterion : criteria) {
            for (int start : {0, 17, 5000}) {
                sorted.setPosition(start);
                scanned.setPosition(start);
                ASSERT_TRUE(sorted.find(criterion));
                ASSERT_TRUE(scanned.find(criterion));
                EXPECT_EQ(sorted.position(), scanned.position())
                    << sortText << " " << QString::fromUtf16(criterion).toStdString() << " from " << start;
            }
        }
    }
}

// A repeat is judged on the fitted value, and found alike near the start and far away (where
// the rows are hashed in memory order), in a shuffled order as after a sort on another field.
TEST_F(RecordSetTest, FindRepeatComparesFittedValuesNearAndFar)
{
    constexpr int kRows = 12000;
    for (int i = 0; i < kRows; ++i) {
        rs.addNew();
        const std::string n = std::to_string(i);
        rs.setField(fld::LongName, std::string(8 - n.size(), '0') + n + " unique"); // distinct in 8
        rs.setField(fld::Size, qint64((i * 7919) % kRows));                         // a permutation: the order to walk
    }
    const auto setNameAt = [&](int position, std::string_view name) {
        rs.setPosition(position);
        rs.setField(fld::LongName, name);
    };
    ASSERT_TRUE(rs.setSort(u"Field7"));
    EXPECT_EQ(rs.findRepeat(fld::LongName, 0, kRows, 8), kRows);

    setNameAt(10, "Résumé Ω cut here"); // cut to 8 code points: "Résumé Ω"
    setNameAt(11, "Résumé Ω and more");
    setNameAt(20, "same   "); // trailing blanks do not count
    setNameAt(21, "same");
    setNameAt(9000, "abcdefgh-x");
    setNameAt(9001, "abcdefgh-y");
    setNameAt(9500, "ABCDEFGH"); // exact comparison: case counts
    setNameAt(9501, "abcdefgh");
    EXPECT_EQ(rs.findRepeat(fld::LongName, 0, kRows, 8), 11);
    EXPECT_EQ(rs.findRepeat(fld::LongName, 11, kRows, 8), 21);
    EXPECT_EQ(rs.findRepeat(fld::LongName, 21, kRows, 8), 9001);
    EXPECT_EQ(rs.findRepeat(fld::LongName, 21, kRows, 10), kRows) << "a wider cut tells them apart";
    EXPECT_EQ(rs.findRepeat(fld::LongName, 9001, kRows, 8), kRows);
    EXPECT_EQ(rs.findRepeat(fld::LongName, 21, 9001, 8), 9001) << "the end bounds the scan";
    EXPECT_EQ(rs.findRepeat(fld::LongName, 11, 11, 8), 11);
}

TEST_F(RecordSetTest, NavigationStopsAtBothEndsAndBookmarksSurviveSortsAndDeletes)
{
    EXPECT_TRUE(rs.eof() && rs.bof());
    fill(rs, {{"c"}, {"a"}, {"b"}});
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    rs.moveLast();
    rs.moveNext();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.position(), 3);
    EXPECT_EQ(rs.valueUtf8(fld::LongName), "") << "no record past the end";

    rs.moveFirst();
    const auto c = rs.bookmark();
    rs.setSort(u"Field1");
    rs.setBookmark(c);
    EXPECT_EQ(rs.position(), 2);
    EXPECT_EQ(rs.valueUtf8(fld::LongName), "c");
    rs.moveFirst();
    rs.deleteCurrent();
    EXPECT_EQ(rs.count(), 2);
    EXPECT_EQ(rs.valueUtf8(fld::LongName), "b") << "the next record becomes current";
    EXPECT_EQ(rs.positionOf(c), 1);
    rs.moveLast();
    rs.deleteCurrent();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.positionOf(c), -1);
    rs.deleteCurrent(); // nothing current: nothing removed
    EXPECT_EQ(rs.count(), 1);
}

// A time handed over as numbers must read back as the text it would have been given.
TEST(RecordSetTimes, TimesReadBackAsTheirTexts)
{
    const LocalTime times[] = {
        {1601, 1, 2, 0, 0, 0},     {1899, 12, 30, 12, 0, 0}, {1970, 1, 1, 0, 0, 1},      {2000, 2, 29, 23, 59, 59},
        {2024, 10, 7, 11, 59, 59}, {2024, 10, 7, 12, 30, 5}, {9999, 12, 31, 23, 59, 59},
    };
    RecordSet rs;
    CreateRecordSet(rs);
    for (const LocalTime &t : times) {
        rs.addNew();
        for (int f : {fld::Modified, fld::Created, fld::Accessed, fld::DateKey, fld::LongName})
            rs.setField(f, t);
        const std::string text = values::dateTimeText(t);
        const int at = rs.count() - 1;
        EXPECT_EQ(rs.utf8At(at, fld::Modified), text);
        EXPECT_EQ(rs.utf8At(at, fld::Created), text);
        EXPECT_EQ(rs.utf8At(at, fld::Accessed), text.substr(0, values::kDateWidth));
        EXPECT_EQ(rs.utf8At(at, fld::DateKey), values::dateKey(t));
        EXPECT_EQ(rs.utf8At(at, fld::LongName), text);
    }
}
