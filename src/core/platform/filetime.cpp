#include "platform/filetime.h"

#include <array>
#include <climits>
#include <ctime>
#include <memory>

namespace {

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
// The largest file time (100 ns units since 1601) that converts: below 2^63.
constexpr std::int64_t kMaxSecondsSince1601 = 922337203685LL;

struct OffsetSlot {
    std::int32_t day = INT32_MIN;
    std::int32_t offset = 0;
};

// A slot per day: a walk's files span decades, which a cache of hours could not hold. No
// zone of the time-zone database changes its offset twice within four days, so a day whose
// first and last second share an offset keeps it throughout.
constexpr std::size_t kOffsetSlots = 16384;
thread_local std::unique_ptr<std::array<OffsetSlot, kOffsetSlots>> t_offsets;
thread_local int t_generation = 0;
int g_generation = 0;

long offsetAt(std::int64_t t)
{
    const time_t tt = time_t(t);
    tm local{};
    if (!localtime_r(&tt, &local))
        return 0;
    return local.tm_gmtoff;
}

// The UTC offset at t. localtime_r is slow, and the offset only changes at transitions,
// so a day whose first and last second share an offset is cached whole.
long cachedOffset(std::int64_t t)
{
    if (!t_offsets || t_generation != g_generation) {
        t_offsets = std::make_unique<std::array<OffsetSlot, kOffsetSlots>>();
        t_generation = g_generation;
    }
    const std::int64_t day = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    OffsetSlot &slot = (*t_offsets)[std::size_t(day) % kOffsetSlots];
    if (slot.day == day)
        return slot.offset;
    const long first = offsetAt(day * 86400);
    const long last = offsetAt(day * 86400 + 86399);
    if (first != last)
        return offsetAt(t);
    slot = {std::int32_t(day), std::int32_t(first)};
    return first;
}

void civilFromDays(std::int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t year = std::int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(year + (m <= 2));
}

bool convertible(std::int64_t secondsSince1970)
{
    const std::int64_t since1601 = secondsSince1970 + kSecondsFrom1601To1970;
    return since1601 >= 0 && since1601 < kMaxSecondsSince1601;
}

} // namespace

namespace {

// The time as seconds since 1970 on the local clock.
std::optional<std::int64_t> localSeconds(const FileTimestamp &t)
{
    if (!t.known || !convertible(t.seconds))
        return std::nullopt;
    const std::int64_t local = t.seconds + cachedOffset(t.seconds);
    if (!convertible(local))
        return std::nullopt;
    return local;
}

// Rounded down, before 1970 too.
std::int64_t daysOf(std::int64_t localSeconds)
{
    return localSeconds >= 0 ? localSeconds / 86400 : (localSeconds - 86399) / 86400;
}

} // namespace

std::optional<std::int64_t> localDay(const FileTimestamp &t)
{
    const std::optional<std::int64_t> local = localSeconds(t);
    return local ? std::optional(daysOf(*local)) : std::nullopt;
}

std::optional<LocalTime> toLocalTime(const FileTimestamp &t)
{
    const std::optional<std::int64_t> local = localSeconds(t);
    if (!local)
        return std::nullopt;
    const std::int64_t days = daysOf(*local);
    const std::int64_t secs = *local - days * 86400;
    LocalTime lt;
    civilFromDays(days, lt.year, lt.month, lt.day);
    lt.hour = int(secs / 3600);
    lt.minute = int(secs / 60 % 60);
    lt.second = int(secs % 60);
    return lt;
}

void resetLocalTimeCache()
{
    tzset();
    ++g_generation;
}
