// Guards the picture formats of sizes and counts (grouping, minimum digits, empty zero,
// sign, 64-bit range).
#include "catalogue/numberformat.h"

#include <gtest/gtest.h>
#include <limits>

TEST(NumberFormat, GroupedSizesShowAtLeastOneDigit)
{
    const QString size = QStringLiteral("###,###,##0");
    EXPECT_EQ(formatNumber(0, size), "0");
    EXPECT_EQ(formatNumber(7, size), "7");
    EXPECT_EQ(formatNumber(999, size), "999");
    EXPECT_EQ(formatNumber(1000, size), "1,000");
    EXPECT_EQ(formatNumber(1234567, size), "1,234,567");
    // Wider than the picture: the digits are never cut.
    EXPECT_EQ(formatNumber(12345678901LL, size), "12,345,678,901");
    EXPECT_EQ(formatNumber(-1234, size), "-1,234");
    EXPECT_EQ(formatNumber(1234567, u"#,##0"), "1,234,567");
    EXPECT_EQ(formatNumber(0, u"#,##0"), "0");
}

TEST(NumberFormat, CountsShowNothingForZero)
{
    EXPECT_EQ(formatNumber(0, u"###,###"), "");
    EXPECT_EQ(formatNumber(58023, u"###,###"), "58,023");
    EXPECT_EQ(formatNumber(1, u"###,###"), "1");
}

TEST(NumberFormat, ExtremesPaddingLiteralsAndSections)
{
    EXPECT_EQ(formatNumber(std::numeric_limits<qint64>::max(), u"#,##0"), "9,223,372,036,854,775,807");
    EXPECT_EQ(formatNumber(std::numeric_limits<qint64>::min(), u"#,##0"), "-9,223,372,036,854,775,808");
    EXPECT_EQ(formatNumber(7, u"000"), "007");
    EXPECT_EQ(formatNumber(1234, u"#,##0.00 KB"), "1,234.00 KB");
    EXPECT_EQ(formatNumber(-5, u"#,##0;(#,##0);zero"), "(5)");
    EXPECT_EQ(formatNumber(0, u"#,##0;(#,##0);zero"), "zero");
    EXPECT_EQ(formatNumber(-42, u""), "-42");
}
