#include "catalogue/recordvalues.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace values {

namespace {

// ASCII, the usual case, is cut, padded and upper-cased in place.
void assignFitted(std::string_view s, std::size_t n, bool upper, std::string &out)
{
    if (!text::isAscii(s)) {
        out = upper ? text::toUpper(text::fitWidth(s, n)) : text::fitWidth(s, n);
        return;
    }
    out.assign(s.substr(0, n));
    out.resize(n, ' ');
    if (upper)
        for (char &c : out)
            c = c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
}

} // namespace

void assignLongNameValue(std::string_view name, std::string &out)
{
    assignFitted(name, kLongNameWidth, true, out);
}

void assignShortNameValue(std::string_view shortName, std::string_view longValue, std::string &out)
{
    if (text::trimRight(shortName).empty())
        assignFitted(longValue, kShortNameWidth, false, out);
    else
        assignFitted(shortName, kShortNameWidth, true, out);
}

std::string longNameValue(std::string_view name)
{
    std::string out;
    assignLongNameValue(name, out);
    return out;
}

std::string shortNameValue(std::string_view shortName, std::string_view longValue)
{
    std::string out;
    assignShortNameValue(shortName, longValue, out);
    return out;
}

std::string pathValue(std::string_view directory)
{
    std::string p = text::toUpper(text::sanitizeUtf8(directory));
    if (p.empty() || p.back() != kSeparator)
        p.push_back(kSeparator);
    return p;
}

std::string extensionValue(std::string_view shortValue)
{
    const std::string_view name = text::trimRight(shortValue);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return std::string(name.substr(dot + 1));
}

std::string accessedValue(std::string_view timeText)
{
    std::string v = text::fitWidth(timeText, kDateWidth);
    if (v == "         U")
        v = "  UNKNOWN ";
    return v;
}

int dayNumber(int y, int m, int d)
{
    // Days from the civil date, then shifted so that 30 December 1899 is day 0.
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int daysSince1970 = era * 146097 + doe - 719468;
    return daysSince1970 + 25569;
}

std::string singleText(float value)
{
    if (value == 0.0f)
        return "0";
    char buf[32];
    // Seven significant digits, rounded from the single's exact value.
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
    const std::string_view sci(buf, std::size_t(r.ptr - buf));
    const bool negative = sci[0] == '-';
    const std::string_view mantissa = sci.substr(negative ? 1 : 0, 8); // d.dddddd
    int exponent = 0;
    const std::size_t e = sci.find('e');
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    char digits[8];
    std::size_t n = 0;
    digits[n++] = mantissa[0];
    for (std::size_t i = 2; i < mantissa.size(); ++i)
        digits[n++] = mantissa[i];
    while (n > 1 && digits[n - 1] == '0')
        --n;

    std::string out = negative ? "-" : "";
    const int intDigits = exponent + 1;
    if (intDigits <= 0) {
        out += "0.";
        out.append(std::size_t(-intDigits), '0');
        out.append(digits, n);
    } else if (std::size_t(intDigits) >= n) {
        out.append(digits, n);
        out.append(std::size_t(intDigits) - n, '0');
    } else {
        out.append(digits, std::size_t(intDigits));
        out += '.';
        out.append(digits + intDigits, n - std::size_t(intDigits));
    }
    return out;
}

namespace {

// Every fraction of a day in whole seconds, made once: the date key of each file needs one,
// and making it from the single-precision number costs more than the rest of the key. Each
// text is "0.", some zeros and up to seven digits, kept in four bytes: a table of whole texts
// was too large for the cache, and reading it missed more often than not.
class FractionTexts {
public:
    static constexpr int kSecondsPerDay = 86400;

    FractionTexts() : m_codes(kSecondsPerDay)
    {
        for (int s = 0; s < kSecondsPerDay; ++s)
            m_codes[std::size_t(s)] = codeOf(singleText(float(double(s) / kSecondsPerDay)));
    }

    // False for a text not of that form, which is then made afresh.
    bool append(int second, std::string &out) const
    {
        const std::uint32_t code = m_codes[std::size_t(second)];
        if (code == kOther)
            return false;
        char text[16] = {'0', '.'};
        const std::size_t zeros = code >> 24 & 0xF, digits = code >> 28;
        std::memset(text + 2, '0', zeros);
        std::uint32_t v = code & 0xFFFFFF;
        for (std::size_t i = digits; i-- > 0; v /= 10)
            text[2 + zeros + i] = char('0' + v % 10);
        out.append(text, 2 + zeros + digits);
        return true;
    }

private:
    static constexpr std::uint32_t kOther = 0xFFFFFFFFu;

    static std::uint32_t codeOf(std::string_view text)
    {
        if (text.substr(0, 2) != "0.")
            return kOther;
        const std::string_view rest = text.substr(2);
        const std::size_t zeros = std::min(rest.find_first_not_of('0'), rest.size());
        const std::string_view digits = rest.substr(zeros);
        std::uint32_t v = 0;
        if (zeros > 7 || digits.empty() || digits.size() > 7 ||
            std::from_chars(digits.data(), digits.data() + digits.size(), v).ptr != digits.data() + digits.size())
            return kOther;
        return std::uint32_t(digits.size()) << 28 | std::uint32_t(zeros) << 24 | v;
    }

    std::vector<std::uint32_t> m_codes;
};

} // namespace

void appendFractionText(int secondsOfDay, std::string &out)
{
    static const FractionTexts table;
    if (secondsOfDay < 0 || secondsOfDay >= FractionTexts::kSecondsPerDay || !table.append(secondsOfDay, out))
        out += singleText(float(double(secondsOfDay) / FractionTexts::kSecondsPerDay));
}

void appendDayText(int day, std::string &out)
{
    // A whole number of up to seven digits is its own single-precision text.
    if (day <= -10'000'000 || day >= 10'000'000) {
        out += singleText(float(day));
        return;
    }
    char buf[12];
    const auto r = std::to_chars(buf, buf + sizeof buf, day);
    out.append(buf, r.ptr);
}

std::string fractionText(int secondsOfDay)
{
    std::string out;
    appendFractionText(secondsOfDay, out);
    return out;
}

std::string dayText(int day)
{
    std::string out;
    appendDayText(day, out);
    return out;
}

std::string dateKey(const LocalTime &t)
{
    std::string out;
    appendDayText(dayNumber(t.year, t.month, t.day), out);
    appendFractionText(t.hour * 3600 + t.minute * 60 + t.second, out);
    return out;
}

std::string dateTimeText(const LocalTime &t)
{
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    std::string out = "00/00/0000  00:00:00 AM";
    auto put = [&out](std::size_t at, int v, int width) {
        for (int i = width - 1; i >= 0; --i, v /= 10)
            out[at + std::size_t(i)] = char('0' + v % 10);
    };
    put(0, t.month, 2);
    put(3, t.day, 2);
    put(6, t.year, 4);
    put(12, hour12, 2);
    put(15, t.minute, 2);
    put(18, t.second, 2);
    out[21] = t.hour < 12 ? 'A' : 'P';
    return out;
}

} // namespace values

namespace {

enum class TimeForm { None, Unknown, Date };

TimeForm timeForm(const std::optional<LocalTime> &t)
{
    if (!t || t->year < 1601 || t->year > 9999)
        return TimeForm::None;
    if (t->year == 1601 && t->month == 1 && t->day == 1)
        return TimeForm::Unknown;
    return TimeForm::Date;
}

} // namespace

bool HasDateTimeText(const std::optional<LocalTime> &t)
{
    return timeForm(t) == TimeForm::Date;
}

std::string FileTimeText(const std::optional<LocalTime> &t)
{
    switch (timeForm(t)) {
    case TimeForm::None:
        return {};
    case TimeForm::Unknown:
        return "         UNKNOWN";
    case TimeForm::Date:
        return values::dateTimeText(*t);
    }
    return {};
}

std::string FileTimeText(const std::optional<LocalTime> &t, std::string &fileDateKey)
{
    if (timeForm(t) == TimeForm::Date)
        fileDateKey = values::dateKey(*t);
    return FileTimeText(t);
}

std::string LastPath(std::string_view p)
{
    const auto slash = p.rfind(values::kSeparator);
    if (slash == std::string_view::npos)
        return {};
    return std::string(p.substr(slash + 1));
}
