// Guards the made-up 8.3 aliases: which names need one, the alias form, and unique tails.
#include "platform/shortnames.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

TEST(ShortNames, NamesThatAreAlready83NeedNone)
{
    for (const char *n : {"README.TXT", "readme.txt", "AUTOEXEC.BAT", "A", "MAKEFILE", "x.c", "a-b_c~1.{}!"})
        EXPECT_TRUE(isValidShortName(n)) << n;
    for (const char *n : {"ninechars", "a.html", "a.b.c", "with space", "a+b", "trailing.", ".bashrc", "é.txt", ""})
        EXPECT_FALSE(isValidShortName(n)) << n;
}

TEST(ShortNames, AliasesFollowTheNumericTailForm)
{
    const auto s = shortNames({"Holiday photo 2024.jpeg", "README.TXT", "archive.tar.gz", ".bashrc", "a+b=c.txt",
                               "Résumé final.docx", "...", "x.verylong"});
    EXPECT_EQ(s[0], "HOLIDA~1.JPE");
    EXPECT_EQ(s[1], "");
    EXPECT_EQ(s[2], "ARCHIV~1.GZ");
    EXPECT_EQ(s[3], "BASHRC~1");
    EXPECT_EQ(s[4], "A_B_C~1.TXT");
    EXPECT_EQ(s[5], "R_SUM_~1.DOC") << "a non-ASCII character becomes one underscore";
    EXPECT_EQ(s[6], "_~1");
    EXPECT_EQ(s[7], "X~1.VER");
}

TEST(ShortNames, TailsAreNumberedInByteOrderAndStayUnique)
{
    // Given out of order, numbered by the names' byte order within the shared stem.
    const auto s =
        shortNames({"Holiday video.jpeg", "Holiday photo.jpeg", "HOLIDA~1.JPE", "holiday clip.mp4", "Holiday x.txt"});
    EXPECT_EQ(s[2], "") << "an existing 8.3 name keeps its own name";
    EXPECT_EQ(s[1], "HOLIDA~2.JPE") << "~1 is taken by the real file";
    EXPECT_EQ(s[0], "HOLIDA~3.JPE");
    EXPECT_EQ(s[3], "HOLIDA~1.MP4");
    EXPECT_EQ(s[4], "HOLIDA~1.TXT");
    const auto t = shortNames({"HOLIDA~1.JPE", "HOLIDA~2.JPE", "HOLIDA~3.JPE", "Holiday one.jpeg", "Holiday two.jpeg"});
    EXPECT_EQ(t[3], "HOLIDA~4.JPE") << "every taken tail is skipped";
    EXPECT_EQ(t[4], "HOLIDA~5.JPE");
}

TEST(ShortNames, ManySharedStemsShortenTheStemForLongerTails)
{
    std::vector<std::string> owned;
    for (int i = 0; i < 12; ++i)
        owned.push_back("longfilename" + std::string(1, char('a' + i)) + ".txt");
    const auto s = shortNames(std::vector<std::string_view>(owned.begin(), owned.end()));
    EXPECT_EQ(s[0], "LONGFI~1.TXT");
    EXPECT_EQ(s[8], "LONGFI~9.TXT");
    EXPECT_EQ(s[9], "LONGF~10.TXT");
    EXPECT_EQ(s[11], "LONGF~12.TXT");
}

TEST(ShortNames, StemsCutForLongTailsNeverRepeatAnAlias)
{
    // "HOLIDA" and "HOLIDB" share "HOLID~10.JPE" once their tails need two digits.
    std::vector<std::string> owned{"HOLID~11.JPE"};
    for (const char *stem : {"holida", "holidb"})
        for (int i = 0; i < 120; ++i)
            owned.push_back(stem + std::to_string(i) + ".jpeg");
    const std::vector<std::string_view> names(owned.begin(), owned.end());
    const auto s = shortNames(names);
    std::set<std::string> seen{"HOLID~11.JPE"};
    for (std::size_t i = 1; i < s.size(); ++i) {
        EXPECT_EQ(s[i].size() <= 12, true) << s[i];
        EXPECT_TRUE(seen.insert(s[i]).second) << "repeated alias " << s[i] << " for " << names[i];
    }
    EXPECT_EQ(s[1], "HOLIDA~1.JPE");
    EXPECT_EQ(s[121], "HOLIDB~1.JPE");
}
