#pragma once
// Text values kept back to back in one byte buffer, for the record set's text columns.

#include "platform/pagedarray.h"

#include <cstdint>
#include <string>
#include <string_view>

// Each value: its length, the bytes before the trailing blanks, the number of trailing blanks.
// Offsets are 32-bit. A large buffer grows by remapping its pages: a copy would hold the old
// and the new buffer at once, the peak of a large walk's memory.
//
// addPadded throws std::length_error once the pool would pass 4 GiB, and std::bad_alloc
// (from PageBuffer) when the system has no memory; the pool is then unchanged. Callers on a
// worker thread catch both there.
class TextPool {
public:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    TextPool() = default;
    TextPool(const TextPool &) = delete;
    TextPool &operator=(const TextPool &) = delete;
    [[nodiscard]] std::uint32_t add(std::string_view value) { return addPadded(value, 0); }
    [[nodiscard]] std::uint32_t addPadded(std::string_view value, std::size_t blanks);
    // Bytes kept as they are, trailing blanks included: trimmed() gives them back whole.
    [[nodiscard]] std::uint32_t addExact(std::string_view bytes) { return append(bytes, 0); }
    void get(std::uint32_t offset, std::string &out) const;
    [[nodiscard]] std::string_view trimmed(std::uint32_t offset) const;
    [[nodiscard]] std::string_view trimmed(std::uint32_t offset, std::size_t &blanks) const;
    // Case-insensitive comparison of a value with a text, straight from the pool.
    [[nodiscard]] int compareFolded(std::uint32_t offset, std::string_view text) const;
    void prefetch(std::uint32_t offset) const
    {
        if (offset != kEmpty)
            __builtin_prefetch(m_bytes.data() + offset);
    }
    void squeeze();
    [[nodiscard]] std::size_t memory() const { return m_bytes.capacity(); }

private:
    [[nodiscard]] std::uint32_t append(std::string_view kept, std::size_t blanks);
    PageBuffer m_bytes;
    std::size_t m_size = 0;
};
