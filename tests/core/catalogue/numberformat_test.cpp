// Guards the picture formats of sizes and counts (grouping, minimum digits, empty zero,
// sign, 64-bit range).
#include "catalogue/numberformat.h"

#include <gtest/gtest.h>
#include <limits>
#include <tuple>

TEST(NumberFormat, PicturesGroupPadAndSignWithoutEverCuttingDigits)
{
    const std::tuple<qint64, const char16_t *, const char *> cases[] = {
        {0, u"###,###,##0", "0"}, // sizes show at least one digit
        {999, u"###,###,##0", "999"},
        {1000, u"###,###,##0", "1,000"},
        {12345678901LL, u"###,###,##0", "12,345,678,901"}, // wider than the picture
        {-1234, u"###,###,##0", "-1,234"},
        {1234567, u"#,##0", "1,234,567"},
        {0, u"###,###", ""}, // counts show nothing for zero
        {58023, u"###,###", "58,023"},
        {std::numeric_limits<qint64>::max(), u"#,##0", "9,223,372,036,854,775,807"},
        {std::numeric_limits<qint64>::min(), u"#,##0", "-9,223,372,036,854,775,808"},
        {7, u"000", "007"},
        {1234, u"#,##0.00 KB", "1,234.00 KB"},
        {-5, u"#,##0;(#,##0);zero", "(5)"},
        {0, u"#,##0;(#,##0);zero", "zero"},
        {-42, u"", "-42"},
    };
    for (const auto &[value, picture, shown] : cases)
        EXPECT_EQ(formatNumber(value, picture), QString::fromUtf8(shown))
            << value << " as " << QString::fromUtf16(picture).toStdString();
}
