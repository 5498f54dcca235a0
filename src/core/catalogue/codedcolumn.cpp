#include "catalogue/codedcolumn.h"

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
