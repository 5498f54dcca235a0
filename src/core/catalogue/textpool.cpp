#include "catalogue/textpool.h"

#include "platform/text.h"

#include <algorithm>
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

} // namespace

std::uint32_t TextPool::addPadded(std::string_view value, std::size_t blanks)
{
    if (value.empty() && blanks == 0)
        return kEmpty;
    const std::string_view trimmed = text::trimRight(value);
    return append(trimmed, blanks + value.size() - trimmed.size());
}

std::uint32_t TextPool::append(std::string_view trimmed, std::size_t blanks)
{
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
