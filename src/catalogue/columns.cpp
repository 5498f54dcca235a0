#include "catalogue/columns.h"

#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <new>
#include <numeric>
#include <stdexcept>

namespace {

constexpr std::size_t kMaxVarint = 10;

char *putVarint(char *out, std::size_t v)
{
    while (v >= 0x80) {
        *out++ = char(0x80 | (v & 0x7F));
        v >>= 7;
    }
    *out++ = char(v);
    return out;
}

std::size_t getVarint(const char *&p)
{
    std::size_t v = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= std::size_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return v;
        shift += 7;
    }
}

bool parseInt(std::string_view s, int &out)
{
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// Fixed-shape texts of digits and fixed characters ('9' a digit, 'X' A or P): the digit
// groups packed 7 bits per pair, 14 bits per four.
class DigitsCodec final : public Codec {
public:
    explicit DigitsCodec(std::string_view shape) : m_shape(shape)
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

    bool encode(std::string_view s, std::uint64_t &code) const override
    {
        if (s.size() != m_shape.size())
            return false;
        for (std::size_t i = 0; i < s.size(); ++i)
            if (m_shape[i] != '9' && m_shape[i] != 'X' && s[i] != m_shape[i])
                return false;
        code = 0;
        for (const Group &g : m_groups) {
            if (g.digits == 0) {
                if (s[g.at] != 'A' && s[g.at] != 'P')
                    return false;
                code = code << 1 | (s[g.at] == 'P' ? 1u : 0u);
                continue;
            }
            unsigned v = 0;
            for (std::size_t k = 0; k < g.digits; ++k) {
                const char c = s[g.at + k];
                if (c < '0' || c > '9')
                    return false;
                v = v * 10 + unsigned(c - '0');
            }
            code = code << g.bits() | v;
        }
        code |= 1ull << 61;
        return true;
    }

    void decode(std::uint64_t code, std::string &out) const override
    {
        out.assign(m_shape);
        for (auto g = m_groups.rbegin(); g != m_groups.rend(); ++g) {
            if (g->digits == 0) {
                out[g->at] = (code & 1) ? 'P' : 'A';
                code >>= 1;
                continue;
            }
            unsigned v = unsigned(code & ((1u << g->bits()) - 1));
            code >>= g->bits();
            for (std::size_t k = g->digits; k-- > 0; v /= 10)
                out[g->at + k] = char('0' + v % 10);
        }
    }

    [[nodiscard]] bool valid(std::uint64_t code) const override
    {
        if (code >> 61 != 1)
            return false;
        code &= ~(1ull << 61);
        for (auto g = m_groups.rbegin(); g != m_groups.rend(); ++g) {
            if (g->digits == 0) {
                code >>= 1;
                continue;
            }
            if ((code & ((1u << g->bits()) - 1)) >= g->limit())
                return false;
            code >>= g->bits();
        }
        return code == 0;
    }
    [[nodiscard]] std::uint64_t flag() const override { return 1ull << 61; }

    // The shapes are the date and time form or its date part, so the fields come in that order.
    bool encodeTime(const LocalTime &t, std::uint64_t &code) const override
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
        code |= 1ull << 61;
        return true;
    }

    void timeText(const LocalTime &t, std::string &out) const override
    {
        out = values::dateTimeText(t);
        out.resize(std::min(out.size(), m_shape.size()));
    }

private:
    struct Group {
        std::size_t at;
        std::size_t digits; // 0 for the A or P
        [[nodiscard]] unsigned bits() const { return digits == 4 ? 14 : 7; }
        [[nodiscard]] unsigned limit() const { return digits == 4 ? 10000 : 100; }
    };

    std::string_view m_shape;
    std::vector<Group> m_groups;
};

// The day number's text followed by the fraction's text ("363450.6359028", "363450"),
// packed as the day and the second of the day; only keys that come back identical pack.
class DateKeyCodec final : public Codec {
public:
    bool encode(std::string_view s, std::uint64_t &code) const override
    {
        const auto dot = s.find('.');
        const std::size_t fracStart = dot == std::string_view::npos ? s.size() - 1 : dot - 1;
        if (s.size() < 2 || dot == 0 || fracStart == 0 || s[fracStart] != '0')
            return false;
        int day = 0;
        if (!parseInt(s.substr(0, fracStart), day) || day < -(1 << 23) || day >= (1 << 23))
            return false;
        const std::string_view frac = s.substr(fracStart);
        double f = 0;
        std::from_chars(frac.data(), frac.data() + frac.size(), f);
        const int seconds = int(f * 86400.0 + 0.5);
        if (seconds < 0 || seconds >= 86400)
            return false;
        std::string back;
        decodeParts(day, seconds, back);
        if (back != s)
            return false;
        code = 1ull << 60 | std::uint64_t(day + (1 << 23)) << 17 | std::uint64_t(seconds);
        return true;
    }
    bool encodeTime(const LocalTime &t, std::uint64_t &code) const override
    {
        const int day = values::dayNumber(t.year, t.month, t.day);
        const int seconds = t.hour * 3600 + t.minute * 60 + t.second;
        if (day < -(1 << 23) || day >= (1 << 23) || seconds < 0 || seconds >= 86400)
            return false;
        code = 1ull << 60 | std::uint64_t(day + (1 << 23)) << 17 | std::uint64_t(seconds);
        return true;
    }
    void timeText(const LocalTime &t, std::string &out) const override { out = values::dateKey(t); }
    void decode(std::uint64_t c, std::string &out) const override
    {
        decodeParts(int((c >> 17) & 0xFFFFFF) - (1 << 23), int(c & 0x1FFFF), out);
    }
    [[nodiscard]] bool valid(std::uint64_t c) const override { return c >> 41 == 1ull << 19 && (c & 0x1FFFF) < 86400; }
    [[nodiscard]] std::uint64_t flag() const override { return 1ull << 60; }

private:
    static void decodeParts(int day, int seconds, std::string &out)
    {
        out.clear();
        values::appendDayText(day, out);
        values::appendFractionText(seconds, out);
    }
};

} // namespace

std::uint32_t TextPool::addPadded(std::string_view value, std::size_t blanks)
{
    if (value.empty() && blanks == 0)
        return kEmpty;
    const std::string_view trimmed = text::trimRight(value);
    blanks += value.size() - trimmed.size();
    const std::size_t at = m_size;
    const std::size_t most = at + trimmed.size() + 2 * kMaxVarint;
    if (most >= kEmpty)
        throw std::length_error("text pool full");
    if (most > m_bytes.capacity())
        m_bytes.resize(std::max({most, m_bytes.capacity() * 2, std::size_t(4096)}));
    char *p = putVarint(m_bytes.data() + at, trimmed.size());
    p = std::copy(trimmed.begin(), trimmed.end(), p);
    p = putVarint(p, blanks);
    m_size = std::size_t(p - m_bytes.data());
    return std::uint32_t(at);
}

void TextPool::squeeze()
{
    m_bytes.resize(m_size);
}

void TextPool::get(std::uint32_t offset, std::string &out) const
{
    out.clear();
    if (offset == kEmpty)
        return;
    const char *p = m_bytes.data() + offset;
    const std::size_t len = getVarint(p);
    out.assign(p, len);
    p += len;
    out.append(getVarint(p), ' ');
}

std::string_view TextPool::trimmed(std::uint32_t offset, std::size_t &blanks) const
{
    blanks = 0;
    if (offset == kEmpty)
        return {};
    const char *p = m_bytes.data() + offset;
    const std::size_t len = getVarint(p);
    const char *after = p + len;
    blanks = getVarint(after);
    return {p, len};
}

std::string_view TextPool::trimmed(std::uint32_t offset) const
{
    if (offset == kEmpty)
        return {};
    const char *p = m_bytes.data() + offset;
    const std::size_t len = getVarint(p);
    return {p, len};
}

int TextPool::compareFolded(std::uint32_t offset, std::string_view text) const
{
    if (offset == kEmpty)
        return text::compareFolded({}, text);
    const char *p = m_bytes.data() + offset;
    const std::size_t len = getVarint(p);
    const std::string_view trimmed(p, len);
    p += len;
    return text::compareFoldedPadded(trimmed, getVarint(p), text);
}

std::string_view Column::trimmedText(std::uint32_t row, std::string &scratch, std::size_t &blanks) const
{
    text(row, scratch);
    const std::string_view trimmed = text::trimRight(scratch);
    blanks = scratch.size() - trimmed.size();
    return trimmed;
}

int Column::compareFolded(std::uint32_t row, std::string_view text, std::string &scratch) const
{
    this->text(row, scratch);
    return text::compareFolded(scratch, text);
}

void Column::setPadded(std::uint32_t row, std::string_view utf8, std::size_t blanks)
{
    std::string value(utf8);
    value.append(blanks, ' ');
    setText(row, value);
}

void Column::setTime(std::uint32_t row, const LocalTime &t)
{
    setText(row, values::dateTimeText(t));
}

qint64 Column::integer(std::uint32_t row) const
{
    std::string s;
    text(row, s);
    qint64 v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

void TextColumn::squeeze()
{
    m_offsets.shrink_to_fit();
    m_pool.squeeze();
}

std::size_t TextColumn::memory() const
{
    return m_offsets.memory() + m_pool.memory();
}

SharedTextColumn::SharedTextColumn()
{
    const auto it = m_index.emplace(std::string(), 0).first;
    m_values.push_back(&it->first);
}

void SharedTextColumn::setText(std::uint32_t row, std::string_view v)
{
    // Records of one folder arrive together, so the last value is usually the one wanted.
    if (*m_values[m_lastId] != v)
        m_lastId = idOf(v);
    m_ids[row] = m_lastId;
}

std::uint32_t SharedTextColumn::idOf(std::string_view v)
{
    if (const auto found = m_index.find(v); found != m_index.end())
        return found->second;
    const auto it = m_index.emplace(std::string(v), std::uint32_t(m_values.size())).first;
    m_values.push_back(&it->first);
    return it->second;
}

bool SharedTextColumn::setId(std::uint32_t row, std::uint32_t id)
{
    if (id >= m_values.size())
        return false;
    m_ids[row] = id;
    return true;
}

std::vector<std::uint32_t> SharedTextColumn::ranks() const
{
    std::vector<std::uint32_t> ids(m_values.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::vector<std::string> folded(m_values.size());
    for (std::size_t i = 0; i < m_values.size(); ++i)
        text::appendFolded(folded[i], *m_values[i]);
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });
    std::vector<std::uint32_t> rankOfId(m_values.size());
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0 && folded[ids[i]] != folded[ids[i - 1]])
            ++rank;
        rankOfId[ids[i]] = rank;
    }
    std::vector<std::uint32_t> byRow(m_ids.size());
    for (std::size_t r = 0; r < m_ids.size(); ++r)
        byRow[r] = rankOfId[m_ids[r]];
    return byRow;
}

std::size_t SharedTextColumn::memory() const
{
    std::size_t bytes = m_ids.memory() + m_values.capacity() * sizeof(void *);
    for (const auto &[value, id] : m_index)
        bytes += sizeof(value) + value.capacity() + 2 * sizeof(void *) + sizeof(id);
    return bytes + m_index.bucket_count() * sizeof(void *);
}

void IntegerColumn::setText(std::uint32_t row, std::string_view v)
{
    qint64 n = 0;
    std::from_chars(v.data(), v.data() + v.size(), n);
    m_values[row] = n;
}

void CodedTextColumn::setText(std::uint32_t row, std::string_view v)
{
    std::uint64_t code = 0;
    if (v.empty())
        code = 0;
    else if (!m_codec->encode(v, code))
        code = kPooled | m_pool.add(v);
    m_codes[row] = code;
}

void CodedTextColumn::setTime(std::uint32_t row, const LocalTime &t)
{
    std::uint64_t code = 0;
    if (m_codec->encodeTime(t, code)) {
        m_codes[row] = code;
        return;
    }
    std::string text;
    m_codec->timeText(t, text);
    setText(row, text);
}

void CodedTextColumn::text(std::uint32_t row, std::string &out) const
{
    const std::uint64_t code = m_codes[row];
    if (code == 0)
        out.clear();
    else if (code & kPooled)
        m_pool.get(std::uint32_t(code), out);
    else
        m_codec->decode(code, out);
}

bool CodedTextColumn::packed(std::uint32_t row, std::uint64_t &code) const
{
    code = m_codes[row];
    if (code == 0 || (code & kPooled))
        return false;
    code &= ~m_codec->flag();
    return true;
}

bool CodedTextColumn::setPacked(std::uint32_t row, std::uint64_t code)
{
    const std::uint64_t flag = m_codec->flag();
    if ((code & flag) || !m_codec->valid(code | flag))
        return false;
    m_codes[row] = code | flag;
    return true;
}

void CodedTextColumn::squeeze()
{
    m_codes.shrink_to_fit();
    m_pool.squeeze();
}

std::size_t CodedTextColumn::memory() const
{
    return m_codes.memory() + m_pool.memory();
}

std::unique_ptr<Column> makeColumn(Storage storage)
{
    switch (storage) {
    case Storage::Text:
        return std::make_unique<TextColumn>();
    case Storage::Shared:
        return std::make_unique<SharedTextColumn>();
    case Storage::DateTime:
        return std::make_unique<CodedTextColumn>(std::make_unique<DigitsCodec>("99/99/9999  99:99:99 XM"));
    case Storage::Date:
        return std::make_unique<CodedTextColumn>(std::make_unique<DigitsCodec>("99/99/9999"));
    case Storage::DateKey:
        return std::make_unique<CodedTextColumn>(std::make_unique<DateKeyCodec>());
    case Storage::Integer:
        return std::make_unique<IntegerColumn>();
    }
    return std::make_unique<TextColumn>();
}
