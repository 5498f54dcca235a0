#pragma once
// The exact text forms of a file record's values, as the walk stores them.

#include "platform/filetime.h"

#include <optional>
#include <string>
#include <string_view>

namespace values {

constexpr std::size_t kLongNameWidth = 25;
constexpr std::size_t kShortNameWidth = 14;
constexpr std::size_t kDateTimeWidth = 23;
constexpr std::size_t kDateWidth = 10;
constexpr char kSeparator = '/';

[[nodiscard]] std::string longNameValue(std::string_view name);
// An empty short name means the long name is its own 8.3 name.
[[nodiscard]] std::string shortNameValue(std::string_view shortName, std::string_view longNameValue);
// The same into a buffer the caller keeps: a walk makes them for every file.
void assignLongNameValue(std::string_view name, std::string &out);
void assignShortNameValue(std::string_view shortName, std::string_view longNameValue, std::string &out);
[[nodiscard]] std::string pathValue(std::string_view directory);
[[nodiscard]] std::string extensionValue(std::string_view shortNameValue);
// The accessed field keeps only the date of the time text.
[[nodiscard]] std::string accessedValue(std::string_view timeText);

// Days since 30 December 1899 (1 January 1900 is 2).
[[nodiscard]] int dayNumber(int year, int month, int day);
// The standard text of a single-precision number (seven significant digits, no trailing
// zeros), always in fixed notation.
[[nodiscard]] std::string singleText(float value);
[[nodiscard]] std::string fractionText(int secondsOfDay);
[[nodiscard]] std::string dayText(int dayNumber);
void appendFractionText(int secondsOfDay, std::string &out);
void appendDayText(int dayNumber, std::string &out);
[[nodiscard]] std::string dateKey(const LocalTime &t);
[[nodiscard]] std::string dateTimeText(const LocalTime &t); // "MM/DD/YYYY  HH:MM:SS AM"

} // namespace values

// The time as text: 23 characters, "         UNKNOWN" for 1 January 1601, empty when the
// time could not be converted. Leaves the date key in fileDateKey when it produces a date.
[[nodiscard]] std::string FileTimeText(const std::optional<LocalTime> &t, std::string &fileDateKey);

// Whether FileTimeText gives the time's date and time (not an empty or unknown time).
[[nodiscard]] bool HasDateTimeText(const std::optional<LocalTime> &t);

// The same text without the key, for times whose key nobody reads.
[[nodiscard]] std::string FileTimeText(const std::optional<LocalTime> &t);

// The part of a path after its last separator.
[[nodiscard]] std::string LastPath(std::string_view p);
