// Guards the exact text forms of a file record's values: widths, case, dates and date keys.
#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

LocalTime at(int y, int mo, int d, int h, int mi, int s)
{
    return LocalTime{y, mo, d, h, mi, s};
}

} // namespace

TEST(NameValues, LongNamesAreUpperCasedCutAndPaddedByCharacters)
{
    EXPECT_EQ(values::longNameValue("readme.txt"), "README.TXT               ");
    EXPECT_EQ(values::longNameValue("a_name_of_thirty_characters.x"), "A_NAME_OF_THIRTY_CHARACTE");
    // Multi-byte characters count once, and simple case mapping keeps the length.
    const std::string v = values::longNameValue("résumé straße.doc");
    EXPECT_EQ(text::codePointCount(v), 25u);
    EXPECT_EQ(text::trimRight(v), "RÉSUMÉ STRAßE.DOC");
}

TEST(NameValues, InvalidUtf8NamesBecomeReplacementCharacters)
{
    const std::string v = values::longNameValue("\xff\xfe"
                                                "abc");
    EXPECT_TRUE(text::isValidUtf8(v));
    EXPECT_EQ(text::trimRight(v), "\xEF\xBF\xBD\xEF\xBF\xBD"
                                  "ABC");
    EXPECT_EQ(text::codePointCount(v), 25u);
}

TEST(NameValues, ShortNameFallsBackToTheLongNameAndGivesTheExtension)
{
    const std::string longValue = values::longNameValue("README.TXT");
    const std::string shortValue = values::shortNameValue("", longValue);
    EXPECT_EQ(shortValue, "README.TXT    ");
    EXPECT_EQ(values::extensionValue(shortValue), "TXT");
    EXPECT_EQ(values::shortNameValue("holida~1.jpe", longValue), "HOLIDA~1.JPE  ");
    EXPECT_EQ(values::extensionValue("MAKEFILE      "), "");
    EXPECT_EQ(values::extensionValue(values::shortNameValue("", values::longNameValue("a.verylongextension"))),
              "VERYLONGEXTE");
}

TEST(PathValues, PathsAreUpperCasedEndInTheSeparatorAndAreNeverCut)
{
    EXPECT_EQ(values::pathValue("/home/ann"), "/HOME/ANN/");
    EXPECT_EQ(values::pathValue("/"), "/");
    const std::string deep = "/" + std::string(300, 'd');
    EXPECT_EQ(values::pathValue(deep).size(), 302u);
    EXPECT_EQ(LastPath("/home/ann/*.*"), "*.*");
    EXPECT_EQ(LastPath("/home/ann/"), "");
    EXPECT_EQ(LastPath("noseparator"), "");
}

TEST(DateValues, DayNumbersCountFromTheLastDaysOf1899)
{
    EXPECT_EQ(values::dayNumber(1899, 12, 30), 0);
    EXPECT_EQ(values::dayNumber(1900, 1, 1), 2);
    EXPECT_EQ(values::dayNumber(1999, 7, 4), 36345);
    EXPECT_EQ(values::dayNumber(1600, 12, 31) + 1, values::dayNumber(1601, 1, 1));
}

TEST(DateValues, TimeTextsUseTheTwelveHourClock)
{
    std::string key;
    EXPECT_EQ(FileTimeText(at(1999, 7, 4, 15, 15, 42), key), "07/04/1999  03:15:42 PM");
    EXPECT_EQ(key, "363450.6359028");
    EXPECT_EQ(FileTimeText(at(2001, 12, 31, 0, 5, 9), key), "12/31/2001  12:05:09 AM");
    EXPECT_EQ(FileTimeText(at(2001, 12, 31, 12, 0, 0), key), "12/31/2001  12:00:00 PM");
}

TEST(DateValues, KeysAreFixedNotationAndOrderAsText)
{
    std::string midnight, oneSecond, tenSeconds, late;
    (void)FileTimeText(at(1999, 7, 4, 0, 0, 0), midnight);
    (void)FileTimeText(at(1999, 7, 4, 0, 0, 1), oneSecond);
    (void)FileTimeText(at(1999, 7, 4, 0, 0, 10), tenSeconds);
    (void)FileTimeText(at(1999, 7, 4, 23, 59, 59), late);
    EXPECT_EQ(midnight, "363450");
    EXPECT_EQ(oneSecond, "363450.00001157407");
    EXPECT_EQ(tenSeconds, "363450.0001157407");
    EXPECT_EQ(late, "363450.9999884");
    EXPECT_LT(midnight, oneSecond);
    EXPECT_LT(oneSecond, tenSeconds);
    EXPECT_LT(tenSeconds, late);
    std::string nextDay;
    (void)FileTimeText(at(1999, 7, 5, 0, 0, 0), nextDay);
    EXPECT_LT(late, nextDay);
}

TEST(DateValues, SingleTextKeepsSevenSignificantDigits)
{
    EXPECT_EQ(values::singleText(36345.0f), "36345");
    EXPECT_EQ(values::singleText(2958465.0f), "2958465");
    EXPECT_EQ(values::singleText(0.5f), "0.5");
    EXPECT_EQ(values::singleText(1e-7f), "0.0000001");
    EXPECT_EQ(values::singleText(-2.0f), "-2");
}

TEST(DateValues, KeyPartsAreTheSingleTextsOfDayAndFraction)
{
    for (int s = 0; s < 86400; ++s)
        ASSERT_EQ(values::fractionText(s), values::singleText(float(double(s) / 86400.0))) << s;
    for (const int day : {-(1 << 23), -109205, -1, 0, 2, 36345, 2958465, (1 << 23) - 1})
        EXPECT_EQ(values::dayText(day), values::singleText(float(day))) << day;
}

TEST(DateValues, UnknownAndUnconvertibleTimesLeaveTheKeyAlone)
{
    std::string key = "kept";
    EXPECT_EQ(FileTimeText(at(1601, 1, 1, 10, 0, 0), key), "         UNKNOWN");
    EXPECT_EQ(FileTimeText(std::nullopt, key), "");
    EXPECT_EQ(key, "kept");
    EXPECT_EQ(values::accessedValue("         UNKNOWN"), "  UNKNOWN ");
    EXPECT_EQ(values::accessedValue(""), std::string(10, ' '));
    EXPECT_EQ(values::accessedValue("07/04/1999  03:15:42 PM"), "07/04/1999");
}
