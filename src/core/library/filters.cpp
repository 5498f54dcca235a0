#include "library/filters.h"

#include "library/matcher.h"

#include <charconv>

namespace library {
namespace {

std::optional<std::int64_t> bytes(std::string_view text)
{
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || n < 0)
        return std::nullopt;
    const std::string_view unit(end, std::size_t(text.data() + text.size() - end));
    static constexpr std::string_view kUnits = "kmgt";
    if (unit.empty())
        return n;
    const auto power = unit.size() == 1 ? kUnits.find(char(std::tolower(unit[0]))) : std::string_view::npos;
    if (power == std::string_view::npos || n > (std::int64_t(1) << (62 - 10 * (power + 1))))
        return std::nullopt;
    return n << (10 * (power + 1));
}

std::optional<QDate> day(const std::string &text)
{
    const QDate d = QDate::fromString(QString::fromStdString(text), Qt::ISODate);
    return d.isValid() ? std::optional(d) : std::nullopt;
}

// "a..b" into its ends, or a single value as both.
bool range(const std::string &text, std::string &from, std::string &to)
{
    const auto dots = text.find("..");
    from = dots == std::string::npos ? text : text.substr(0, dots);
    to = dots == std::string::npos ? text : text.substr(dots + 2);
    return !(from.empty() && to.empty());
}

} // namespace

bool Filters::setSize(const std::string &text)
{
    if (text.size() > 1 && (text[0] == '+' || text[0] == '-')) {
        const auto n = bytes(std::string_view(text).substr(1));
        (text[0] == '+' ? minSize : maxSize) = n;
        return n.has_value();
    }
    std::string from, to;
    if (!range(text, from, to))
        return false;
    minSize = from.empty() ? std::nullopt : bytes(from);
    maxSize = to.empty() ? std::nullopt : bytes(to);
    return (from.empty() || minSize) && (to.empty() || maxSize);
}

bool Filters::setModified(const std::string &text)
{
    std::string from, to;
    if (!range(text, from, to))
        return false;
    modifiedFrom = from.empty() ? std::nullopt : day(from);
    modifiedTo = to.empty() ? std::nullopt : day(to);
    return (from.empty() || modifiedFrom) && (to.empty() || modifiedTo);
}

bool Filters::accepts(std::int64_t size, const std::optional<QDate> &modified, const std::string &name) const
{
    if ((minSize && size < *minSize) || (maxSize && size > *maxSize))
        return false;
    if ((modifiedFrom || modifiedTo) &&
        (!modified || (modifiedFrom && *modified < *modifiedFrom) || (modifiedTo && *modified > *modifiedTo)))
        return false;
    if (extensions.empty())
        return true;
    const auto dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : foldText(name.substr(dot + 1), true);
    for (const std::string &e : extensions)
        if (e == extension)
            return true;
    return false;
}

} // namespace library
