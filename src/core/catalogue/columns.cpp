#include "catalogue/columns.h"

#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <numeric>

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
    m_exact.push_back(nullptr);
}

void SharedTextColumn::setText(std::uint32_t row, std::string_view v)
{
    // Records of one folder arrive together, so the last value is usually the one wanted.
    if (m_exact[m_lastId] || *m_values[m_lastId] != v)
        m_lastId = idOf(v);
    m_ids[row] = m_lastId;
}

std::uint32_t SharedTextColumn::idOf(std::string_view v)
{
    if (const auto found = m_index.find(v); found != m_index.end())
        return found->second;
    const auto it = m_index.emplace(std::string(v), std::uint32_t(m_values.size())).first;
    m_values.push_back(&it->first);
    m_exact.push_back(nullptr);
    return it->second;
}

std::uint32_t SharedTextColumn::idOfExact(std::string_view exact, std::string_view value)
{
    if (const auto found = m_exactIndex.find(exact); found != m_exactIndex.end())
        return found->second;
    const auto id = std::uint32_t(m_values.size());
    const auto it = m_exactIndex.emplace(std::string(exact), id).first;
    // Kept out of the index of texts, so that a value set as text never takes these bytes.
    m_derived.push_back(std::make_unique<const std::string>(value));
    m_values.push_back(m_derived.back().get());
    m_exact.push_back(&it->first);
    return id;
}

bool SharedTextColumn::exactText(std::uint32_t row, std::string &out) const
{
    const std::string *exact = m_exact[m_ids[row]];
    if (exact)
        out = *exact;
    return exact != nullptr;
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
    for (const auto *index : {&m_index, &m_exactIndex})
        for (const auto &[value, id] : *index)
            bytes += sizeof(value) + value.capacity() + 2 * sizeof(void *) + sizeof(id);
    for (const auto &value : m_derived)
        bytes += sizeof(std::string) + value->capacity() + sizeof(void *);
    return bytes + (m_index.bucket_count() + m_exactIndex.bucket_count() + m_exact.capacity()) * sizeof(void *);
}

void IntegerColumn::setText(std::uint32_t row, std::string_view v)
{
    qint64 n = 0;
    std::from_chars(v.data(), v.data() + v.size(), n);
    m_values[row] = n;
}
