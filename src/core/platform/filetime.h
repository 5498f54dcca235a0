#pragma once
// File times from the file system, and their conversion to the local calendar.

#include <cstdint>
#include <optional>

// A file time after conversion to the local calendar.
struct LocalTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

struct FileTimestamp {
    bool known = false;       // false when the file system does not report this time
    std::int64_t seconds = 0; // since 1970-01-01 UTC
    std::uint32_t nanoseconds = 0;
};

// The local calendar date and time of a file time, with the time-zone rules in force at
// that date. Nothing for a time the file system does not report, or one outside the range
// of a Windows file time (before 1601 or too far ahead), which cannot be converted.
[[nodiscard]] std::optional<LocalTime> toLocalTime(const FileTimestamp &t);

// The same time's local day, counted from 1970-01-01, where toLocalTime converts it.
[[nodiscard]] std::optional<std::int64_t> localDay(const FileTimestamp &t);

// A time the file system gave (a timespec or statx_timestamp) in nanoseconds since 1970.
template <typename Time> [[nodiscard]] constexpr std::int64_t nanosecondsOf(const Time &t)
{
    return std::int64_t(t.tv_sec) * 1000000000 + std::int64_t(t.tv_nsec);
}

// Forgets cached time-zone offsets (after the zone was changed with tzset).
void resetLocalTimeCache();
