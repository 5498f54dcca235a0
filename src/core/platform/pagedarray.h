#pragma once
// Storage for arrays of one entry per record. Past a few pages the bytes are mapped straight
// from the system and resized with mremap: growing copies nothing, shrinking hands the spare
// pages back at once, and freeing returns them whatever the allocator's own thresholds are.

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>

class PageBuffer {
public:
    PageBuffer() = default;
    PageBuffer(PageBuffer &&o) noexcept
        : m_data(std::exchange(o.m_data, nullptr)), m_capacity(std::exchange(o.m_capacity, 0)),
          m_mapped(std::exchange(o.m_mapped, false))
    {
    }
    PageBuffer &operator=(PageBuffer &&o) noexcept
    {
        std::swap(m_data, o.m_data);
        std::swap(m_capacity, o.m_capacity);
        std::swap(m_mapped, o.m_mapped);
        return *this;
    }
    PageBuffer(const PageBuffer &) = delete;
    PageBuffer &operator=(const PageBuffer &) = delete;
    ~PageBuffer() { resize(0); }

    [[nodiscard]] char *data() const { return m_data; }
    // At least what was asked for: mapped buffers are whole pages.
    [[nodiscard]] std::size_t capacity() const { return m_capacity; }
    // Keeps the bytes that fit; throws std::bad_alloc, changing nothing, when there is no room.
    void resize(std::size_t bytes);

    // A ceiling on the bytes all buffers together may map, past which growing fails as when
    // the system has no room: so tests can run a walk or an open out of memory on purpose.
    static void setMappedLimit(std::size_t bytes);
    [[nodiscard]] static std::size_t mappedBytes();

private:
    void release();
    void resizeOnHeap(std::size_t bytes);
    void resizeMapped(std::size_t bytes); // whole pages
    char *m_data = nullptr;
    std::size_t m_capacity = 0;
    bool m_mapped = false;
};

// A vector of plain values on a PageBuffer. push_back, reserve and shrink_to_fit throw
// std::bad_alloc, changing nothing, when the system has no memory; a worker catches it at its
// thread's boundary.
template <typename T> class PagedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    void push_back(T value)
    {
        if (m_size == capacity())
            reserve(std::max<std::size_t>(16, capacity() * 2));
        data()[m_size++] = value;
    }
    T &operator[](std::size_t i) { return data()[i]; }
    const T &operator[](std::size_t i) const { return data()[i]; }
    T *begin() { return data(); }
    T *end() { return data() + m_size; }
    const T *begin() const { return data(); }
    const T *end() const { return data() + m_size; }
    void erase(T *at)
    {
        std::copy(at + 1, end(), at);
        --m_size;
    }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] std::size_t capacity() const { return m_buffer.capacity() / sizeof(T); }
    [[nodiscard]] std::size_t memory() const { return m_buffer.capacity(); }
    void reserve(std::size_t n)
    {
        if (n > capacity())
            m_buffer.resize(n * sizeof(T));
    }
    void shrink_to_fit() { m_buffer.resize(m_size * sizeof(T)); }
    void clear() { m_size = 0; }

private:
    T *data() const { return reinterpret_cast<T *>(m_buffer.data()); }
    PageBuffer m_buffer;
    std::size_t m_size = 0;
};
