#include "catalogue/namecolumn.h"

#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <stdexcept>

std::uint32_t NameColumn::checked(std::uint32_t offset)
{
    if (isExact(offset))
        throw std::length_error("name pool full");
    return offset;
}

void NameColumn::setExact(std::uint32_t row, std::string_view exact, std::string_view)
{
    m_offsets[row] = checked(m_pool.addExact(exact)) | kExact;
}

bool NameColumn::exactText(std::uint32_t row, std::string &out) const
{
    const std::uint32_t offset = m_offsets[row];
    if (!isExact(offset))
        return false;
    out = m_pool.trimmed(offset & ~kExact);
    return true;
}

void NameColumn::text(std::uint32_t row, std::string &out) const
{
    const std::uint32_t offset = m_offsets[row];
    if (isExact(offset))
        values::assignLongNameValue(m_pool.trimmed(offset & ~kExact), out);
    else
        m_pool.get(offset, out);
}

std::string_view NameColumn::trimmedText(std::uint32_t row, std::string &scratch, std::size_t &blanks) const
{
    if (!isExact(m_offsets[row]))
        return m_pool.trimmed(m_offsets[row], blanks);
    return Column::trimmedText(row, scratch, blanks);
}

int NameColumn::compareFolded(std::uint32_t row, std::string_view text, std::string &scratch) const
{
    if (!isExact(m_offsets[row]))
        return m_pool.compareFolded(m_offsets[row], text);
    this->text(row, scratch);
    return text::compareFolded(scratch, text);
}

void NameColumn::squeeze()
{
    m_offsets.shrink_to_fit();
    m_pool.squeeze();
}
