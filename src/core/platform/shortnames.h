#pragma once
// Linux file systems keep no 8.3 aliases, so they are made up the way Windows makes them,
// so that the short-name column and the extension order mean what they mean there.

#include <string>
#include <string_view>
#include <vector>

// True for a name that is its own 8.3 name, ignoring case.
[[nodiscard]] bool isValidShortName(std::string_view name);

// The 8.3 aliases of the names of one directory, in the order given: empty for a name
// that needs none, otherwise the numeric-tail alias ("HOLIDA~1.JPE"). Tails are numbered
// among the names that share a stem and extension, in byte order of the names, skipping
// aliases that another name of the directory already has.
[[nodiscard]] std::vector<std::string> shortNames(const std::vector<std::string_view> &names);
