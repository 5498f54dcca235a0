#include "catalogue/codedcolumn.h"
#include "catalogue/recordvalues.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <vector>

namespace {

bool parseInt(std::string_view s, int &out)
{
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// The digit groups packed 7 bits per pair, 14 bits per four.
class DigitsCodec final : public Codec {
public:
    explicit DigitsCodec(std::string_view shape);
    bool encode(std::string_view s, std::uint64_t &code) const override;
    void decode(std::uint64_t code, std::string &out) const override;
    [[nodiscard]] bool valid(std::uint64_t code) const override;
    [[nodiscard]] std::uint64_t flag() const override { return kFlag; }
    bool encodeTime(const LocalTime &t, std::uint64_t &code) const override;
    void timeText(const LocalTime &t, std::string &out) const override;

private:
    static constexpr std::uint64_t kFlag = 1ull << 61;
    struct Group {
        std::size_t at;
        std::size_t digits; // 0 for the A or P
        [[nodiscard]] unsigned bits() const { return digits == 4 ? 14 : 7; }
        [[nodiscard]] unsigned limit() const { return digits == 4 ? 10000 : 100; }
        [[nodiscard]] unsigned mask() const { return (1u << bits()) - 1; }
    };
    [[nodiscard]] bool fixedCharactersMatch(std::string_view s) const;
    // The group's value in s; false when it is not one the group holds.
    [[nodiscard]] static bool groupValue(const Group &g, std::string_view s, unsigned &v);

    std::string_view m_shape;
    std::vector<Group> m_groups;
};

DigitsCodec::DigitsCodec(std::string_view shape) : m_shape(shape)
{
    // The shape is read once into its groups: every date of a walk is packed and unpacked.
    for (std::size_t i = 0; i < shape.size();) {
        if (shape[i] == 'X') {
            m_groups.push_back({i, 0});
            ++i;
        } else if (shape[i] == '9') {
            std::size_t n = 0;
            while (i + n < shape.size() && shape[i + n] == '9')
                ++n;
            m_groups.push_back({i, n});
            i += n;
        } else {
            ++i;
        }
    }
}

bool DigitsCodec::fixedCharactersMatch(std::string_view s) const
{
    if (s.size() != m_shape.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (m_shape[i] != '9' && m_shape[i] != 'X' && s[i] != m_shape[i])
            return false;
    return true;
}

bool DigitsCodec::groupValue(const Group &g, std::string_view s, unsigned &v)
{
    if (g.digits == 0) {
        v = s[g.at] == 'P' ? 1u : 0u;
        return s[g.at] == 'A' || s[g.at] == 'P';
    }
    v = 0;
    for (std::size_t k = 0; k < g.digits; ++k) {
        const char c = s[g.at + k];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + unsigned(c - '0');
    }
    return true;
}

bool DigitsCodec::encode(std::string_view s, std::uint64_t &code) const
{
    if (!fixedCharactersMatch(s))
        return false;
    code = 0;
    for (const Group &g : m_groups) {
        unsigned v = 0;
        if (!groupValue(g, s, v))
            return false;
        code = code << (g.digits == 0 ? 1 : g.bits()) | v;
    }
    code |= kFlag;
    return true;
}

void DigitsCodec::decode(std::uint64_t code, std::string &out) const
{
    out.assign(m_shape);
    for (auto g = m_groups.rbegin(); g != m_groups.rend(); ++g) {
        if (g->digits == 0) {
            out[g->at] = (code & 1) ? 'P' : 'A';
            code >>= 1;
            continue;
        }
        unsigned v = unsigned(code & g->mask());
        code >>= g->bits();
        for (std::size_t k = g->digits; k-- > 0; v /= 10)
            out[g->at + k] = char('0' + v % 10);
    }
}

bool DigitsCodec::valid(std::uint64_t code) const
{
    if (code >> 61 != 1)
        return false;
    code &= ~kFlag;
    for (auto g = m_groups.rbegin(); g != m_groups.rend(); ++g) {
        if (g->digits == 0) {
            code >>= 1;
            continue;
        }
        if ((code & g->mask()) >= g->limit())
            return false;
        code >>= g->bits();
    }
    return code == 0;
}

// The shapes are the date and time form or its date part, so the fields come in that order.
bool DigitsCodec::encodeTime(const LocalTime &t, std::uint64_t &code) const
{
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    const int fields[] = {t.month, t.day, t.year, hour12, t.minute, t.second, t.hour < 12 ? 0 : 1};
    if (m_groups.size() > std::size(fields))
        return false;
    code = 0;
    for (std::size_t k = 0; k < m_groups.size(); ++k) {
        const Group &g = m_groups[k];
        const int v = fields[k];
        if (g.digits == 0) {
            code = code << 1 | unsigned(v);
            continue;
        }
        if (v < 0 || unsigned(v) >= g.limit())
            return false;
        code = code << g.bits() | unsigned(v);
    }
    code |= kFlag;
    return true;
}

void DigitsCodec::timeText(const LocalTime &t, std::string &out) const
{
    out = values::dateTimeText(t);
    out.resize(std::min(out.size(), m_shape.size()));
}

// Packed as the day and the second of the day; only keys that come back identical pack.
class DateKeyCodec final : public Codec {
public:
    bool encode(std::string_view s, std::uint64_t &code) const override;
    bool encodeTime(const LocalTime &t, std::uint64_t &code) const override;
    void timeText(const LocalTime &t, std::string &out) const override { out = values::dateKey(t); }
    void decode(std::uint64_t c, std::string &out) const override
    {
        decodeParts(int((c >> 17) & 0xFFFFFF) - (1 << 23), int(c & 0x1FFFF), out);
    }
    [[nodiscard]] bool valid(std::uint64_t c) const override { return c >> 41 == 1ull << 19 && (c & 0x1FFFF) < 86400; }
    [[nodiscard]] std::uint64_t flag() const override { return kFlag; }

private:
    static constexpr std::uint64_t kFlag = 1ull << 60;
    static bool pack(int day, int seconds, std::uint64_t &code)
    {
        if (day < -(1 << 23) || day >= (1 << 23) || seconds < 0 || seconds >= 86400)
            return false;
        code = kFlag | std::uint64_t(day + (1 << 23)) << 17 | std::uint64_t(seconds);
        return true;
    }
    static void decodeParts(int day, int seconds, std::string &out)
    {
        out.clear();
        values::appendDayText(day, out);
        values::appendFractionText(seconds, out);
    }
};

bool DateKeyCodec::encode(std::string_view s, std::uint64_t &code) const
{
    const auto dot = s.find('.');
    const std::size_t fracStart = dot == std::string_view::npos ? s.size() - 1 : dot - 1;
    if (s.size() < 2 || dot == 0 || fracStart == 0 || s[fracStart] != '0')
        return false;
    int day = 0;
    if (!parseInt(s.substr(0, fracStart), day))
        return false;
    const std::string_view frac = s.substr(fracStart);
    double f = 0;
    std::from_chars(frac.data(), frac.data() + frac.size(), f);
    std::uint64_t packed = 0;
    if (!(f < 1.0)) // also keeps a huge exponent from the conversion to int
        return false;
    if (!pack(day, int(f * 86400.0 + 0.5), packed))
        return false;
    std::string back;
    decode(packed, back);
    if (back != s)
        return false;
    code = packed;
    return true;
}

bool DateKeyCodec::encodeTime(const LocalTime &t, std::uint64_t &code) const
{
    return pack(values::dayNumber(t.year, t.month, t.day), t.hour * 3600 + t.minute * 60 + t.second, code);
}

} // namespace

std::unique_ptr<Codec> makeDigitsCodec(std::string_view shape)
{
    return std::make_unique<DigitsCodec>(shape);
}

std::unique_ptr<Codec> makeDateKeyCodec()
{
    return std::make_unique<DateKeyCodec>();
}
