#pragma once
// The filters of a search besides its pattern: size, modification date, extension.

#include <QDate>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace library {

struct Filters {
    std::optional<std::int64_t> minSize, maxSize;
    std::optional<QDate> modifiedFrom, modifiedTo; // inclusive
    std::vector<std::string> extensions;           // folded, without the dot

    // "+100M" (at least), "-1k" (at most), "10M..2G" (between), "4096" (exactly); k, M, G
    // and T are powers of 1024. False for a text of another form.
    bool setSize(const std::string &text);
    // "2024-01-01..2024-06-30", either end left out for no limit, or one day.
    bool setModified(const std::string &text);

    // A file of that size, modified then (no date: never within a date filter), with that
    // exact or shown name.
    [[nodiscard]] bool accepts(std::int64_t size, const std::optional<QDate> &modified, const std::string &name) const;
};

} // namespace library
