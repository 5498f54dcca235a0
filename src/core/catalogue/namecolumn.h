#pragma once
// The long-name column: a walked file's name is kept once, as the file system gave it (any
// length, case kept, not necessarily UTF-8), and the field's value, fitted and upper-cased,
// is derived from it when read. Values set as text are kept as they are.

#include "catalogue/columns.h"

class NameColumn final : public Column {
public:
    void appendEmpty() override { m_offsets.push_back(TextPool::kEmpty); }
    void setText(std::uint32_t row, std::string_view v) override { m_offsets[row] = checked(m_pool.add(v)); }
    void setPadded(std::uint32_t row, std::string_view v, std::size_t blanks) override
    {
        m_offsets[row] = checked(m_pool.addPadded(v, blanks));
    }
    void setExact(std::uint32_t row, std::string_view exact, std::string_view value) override;
    bool exactText(std::uint32_t row, std::string &out) const override;
    void text(std::uint32_t row, std::string &out) const override;
    using Column::trimmedText;
    [[nodiscard]] std::string_view trimmedText(std::uint32_t row, std::string &scratch,
                                               std::size_t &blanks) const override;
    [[nodiscard]] int compareFolded(std::uint32_t row, std::string_view text, std::string &scratch) const override;
    void prefetch(std::uint32_t row, bool value) const override
    {
        if (!value)
            __builtin_prefetch(&m_offsets[row]);
        else if (m_offsets[row] != TextPool::kEmpty)
            m_pool.prefetch(m_offsets[row] & ~kExact);
    }
    void squeeze() override;
    [[nodiscard]] std::size_t memory() const override { return m_offsets.memory() + m_pool.memory(); }

private:
    // Marks the offset of exact bytes; the pool then holds under 2 GiB of names.
    static constexpr std::uint32_t kExact = 0x80000000u;
    [[nodiscard]] static bool isExact(std::uint32_t offset) { return offset != TextPool::kEmpty && (offset & kExact); }
    // Throws std::length_error for an offset the mark would take.
    [[nodiscard]] static std::uint32_t checked(std::uint32_t offset);
    PagedArray<std::uint32_t> m_offsets;
    TextPool m_pool;
};
