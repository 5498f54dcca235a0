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

TEST(ShortNames, AliasFormAndTailsNumberedInByteOrderSkippingTakenOnes)
{
    const std::vector<std::pair<std::vector<std::string_view>, std::vector<std::string>>> cases = {
        // A non-ASCII character becomes one underscore; an 8.3 name keeps its own name.
        {{"Holiday photo 2024.jpeg", "README.TXT", "archive.tar.gz", ".bashrc", "a+b=c.txt", "Résumé final.docx", "...",
          "x.verylong"},
         {"HOLIDA~1.JPE", "", "ARCHIV~1.GZ", "BASHRC~1", "A_B_C~1.TXT", "R_SUM_~1.DOC", "_~1", "X~1.VER"}},
        // Given out of order; ~1 is taken by the real file.
        {{"Holiday video.jpeg", "Holiday photo.jpeg", "HOLIDA~1.JPE", "holiday clip.mp4", "Holiday x.txt"},
         {"HOLIDA~3.JPE", "HOLIDA~2.JPE", "", "HOLIDA~1.MP4", "HOLIDA~1.TXT"}},
        {{"HOLIDA~1.JPE", "HOLIDA~2.JPE", "HOLIDA~3.JPE", "Holiday one.jpeg", "Holiday two.jpeg"},
         {"", "", "", "HOLIDA~4.JPE", "HOLIDA~5.JPE"}},
    };
    for (const auto &[names, aliases] : cases)
        EXPECT_EQ(shortNames(names), aliases) << names.front();
}

TEST(ShortNames, LongerTailsShortenTheStemAndNeverRepeatAnAlias)
{
    std::vector<std::string> owned;
    for (int i = 0; i < 12; ++i)
        owned.push_back("longfilename" + std::string(1, char('a' + i)) + ".txt");
    const auto l = shortNames(std::vector<std::string_view>(owned.begin(), owned.end()));
    EXPECT_EQ(l[8], "LONGFI~9.TXT");
    EXPECT_EQ(l[9], "LONGF~10.TXT");
    EXPECT_EQ(l[11], "LONGF~12.TXT");

    // "HOLIDA" and "HOLIDB" share "HOLID~10.JPE" once their tails need two digits.
    owned = {"HOLID~11.JPE"};
    for (const char *stem : {"holida", "holidb"})
        for (int i = 0; i < 120; ++i)
            owned.push_back(stem + std::to_string(i) + ".jpeg");
    const std::vector<std::string_view> names(owned.begin(), owned.end());
    const auto s = shortNames(names);
    std::set<std::string> seen{"HOLID~11.JPE"};
    for (std::size_t i = 1; i < s.size(); ++i) {
        EXPECT_LE(s[i].size(), 12u) << s[i];
        EXPECT_TRUE(seen.insert(s[i]).second) << "repeated alias " << s[i] << " for " << names[i];
    }
    EXPECT_EQ(s[1], "HOLIDA~1.JPE");
    EXPECT_EQ(s[121], "HOLIDB~1.JPE");
}
