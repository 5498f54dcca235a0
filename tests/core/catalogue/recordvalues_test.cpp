// Guards the exact text forms of a file record's values: widths, case, dates and date keys.
#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <gtest/gtest.h>

TEST(NameValues, NamesAreUpperCasedCutAndPaddedByCharactersAndPathsAreNeverCut)
{
    EXPECT_EQ(values::longNameValue("readme.txt"), "README.TXT               ");
    EXPECT_EQ(values::longNameValue("a_name_of_thirty_characters.x"), "A_NAME_OF_THIRTY_CHARACTE");
    // Multi-byte characters count once, simple case mapping keeps the length, and bytes that
    // are not UTF-8 become replacement characters.
    for (const auto &[name, trimmed] : {std::pair<std::string, std::string>{"résumé straße.doc", "RÉSUMÉ STRAßE.DOC"},
                                        {"\xff\xfe"
                                         "abc",
                                         "\xEF\xBF\xBD\xEF\xBF\xBD"
                                         "ABC"}}) {
        const std::string v = values::longNameValue(name);
        EXPECT_TRUE(text::isValidUtf8(v)) << name;
        EXPECT_EQ(text::codePointCount(v), 25u) << name;
        EXPECT_EQ(text::trimRight(v), trimmed);
    }
    EXPECT_EQ(values::pathValue("/home/ann"), "/HOME/ANN/");
    EXPECT_EQ(values::pathValue("/"), "/");
    EXPECT_EQ(values::pathValue("/" + std::string(300, 'd')).size(), 302u);
    // The walk's test holds a short name of each kind and its extension.
    EXPECT_EQ(values::extensionValue("MAKEFILE      "), "");
    EXPECT_EQ(values::extensionValue(values::shortNameValue("", values::longNameValue("a.verylongextension"))),
              "VERYLONGEXTE");
}

TEST(DateValues, TimeTextsUseTheTwelveHourClockAndKeysCountDaysFromTheEndOf1899)
{
    struct Case {
        LocalTime t;
        const char *text, *key;
    };
    const Case cases[] = {
        {{1899, 12, 30, 12, 0, 0}, "12/30/1899  12:00:00 PM", "00.5"},
        {{1900, 1, 1, 0, 0, 0}, "01/01/1900  12:00:00 AM", "20"},
        {{2001, 12, 31, 0, 5, 9}, "12/31/2001  12:05:09 AM", "372560.003576389"},
        {{2001, 12, 31, 12, 0, 0}, "12/31/2001  12:00:00 PM", "372560.5"},
        // Keys of one day and the next order as text.
        {{1999, 7, 4, 0, 0, 0}, "07/04/1999  12:00:00 AM", "363450"},
        {{1999, 7, 4, 0, 0, 1}, "07/04/1999  12:00:01 AM", "363450.00001157407"},
        {{1999, 7, 4, 0, 0, 10}, "07/04/1999  12:00:10 AM", "363450.0001157407"},
        {{1999, 7, 4, 15, 15, 42}, "07/04/1999  03:15:42 PM", "363450.6359028"},
        {{1999, 7, 4, 23, 59, 59}, "07/04/1999  11:59:59 PM", "363450.9999884"},
        {{1999, 7, 5, 0, 0, 0}, "07/05/1999  12:00:00 AM", "363460"},
    };
    std::string last;
    for (const Case &c : cases) {
        std::string key;
        EXPECT_EQ(FileTimeText(c.t, key), c.text);
        EXPECT_EQ(key, c.key) << c.text;
        if (c.t.year == 1999) {
            EXPECT_LT(last, key);
            last = key;
        }
    }
}

TEST(DateValues, KeyPartsAreSingleTextsOfSevenSignificantDigits)
{
    EXPECT_EQ(values::singleText(36345.0f), "36345");
    EXPECT_EQ(values::singleText(2958465.0f), "2958465");
    EXPECT_EQ(values::singleText(0.5f), "0.5");
    EXPECT_EQ(values::singleText(1e-7f), "0.0000001");
    EXPECT_EQ(values::singleText(-2.0f), "-2");
    for (int s = 0; s < 86400; ++s)
        ASSERT_EQ(values::fractionText(s), values::singleText(float(double(s) / 86400.0))) << s;
    for (const int day : {-(1 << 23), -109205, -1, 0, 2, 36345, 2958465, (1 << 23) - 1})
        EXPECT_EQ(values::dayText(day), values::singleText(float(day))) << day;
}

TEST(DateValues, UnknownAndUnconvertibleTimesLeaveTheKeyAlone)
{
    std::string key = "kept";
    EXPECT_EQ(FileTimeText(LocalTime{1601, 1, 1, 10, 0, 0}, key), "         UNKNOWN");
    EXPECT_EQ(FileTimeText(std::nullopt, key), "");
    EXPECT_EQ(key, "kept");
    EXPECT_EQ(values::accessedValue("         UNKNOWN"), "  UNKNOWN ");
    EXPECT_EQ(values::accessedValue(""), std::string(10, ' '));
    EXPECT_EQ(values::accessedValue("07/04/1999  03:15:42 PM"), "07/04/1999");
}
