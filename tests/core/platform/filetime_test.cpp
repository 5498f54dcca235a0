// Guards the conversion of file times to local calendar time: zone rules by date, the
// edges of the convertible range, and times the file system does not report.
#include "catalogue/recordvalues.h"
#include "platform/filetime.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

class ZoneGuard {
public:
    explicit ZoneGuard(const char *zone)
    {
        setenv("TZ", zone, 1);
        resetLocalTimeCache();
    }
    ~ZoneGuard()
    {
        setenv("TZ", "UTC", 1);
        resetLocalTimeCache();
    }
};

FileTimestamp known(std::int64_t s)
{
    return FileTimestamp{true, s, 0};
}

std::string text(const FileTimestamp &t)
{
    std::string key;
    return FileTimeText(toLocalTime(t), key);
}

} // namespace

TEST(FileTime, LocalTimeUsesTheRulesInForceAtThatDate)
{
    ZoneGuard zone("America/New_York");
    EXPECT_EQ(text(known(931101342)), "07/04/1999  11:15:42 AM") << "summer: four hours behind";
    EXPECT_EQ(text(known(946684800)), "12/31/1999  07:00:00 PM") << "winter: five hours behind";
    // Either side of the spring change of 2021 (14 March, 07:00 UTC).
    EXPECT_EQ(text(known(1615705199)), "03/14/2021  01:59:59 AM");
    EXPECT_EQ(text(known(1615705200)), "03/14/2021  03:00:00 AM");
}

TEST(FileTime, TimesOutsideTheConvertibleRangeGiveNoText)
{
    ZoneGuard zone("UTC");
    EXPECT_EQ(text(known(-11644473600)), "         UNKNOWN") << "the first day of 1601";
    EXPECT_EQ(text(known(-11644473601)), "") << "before 1601";
    EXPECT_EQ(text(known(std::int64_t(1) << 40)), "");
    EXPECT_EQ(text(FileTimestamp{}), "") << "a time the file system does not report";
    EXPECT_EQ(text(known(-1)), "12/31/1969  11:59:59 PM");
}
