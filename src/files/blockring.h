#pragma once
// Blocks of rows passed in order from one thread to another through a ring of a few slots:
// each side waits only when the ring is full or empty, and a thread kept for the whole job
// costs nothing to start per block.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>

template <typename Block, std::size_t kSlots> class BlockRing {
public:
    // For the filling side: the slot for the next block once it is free, or nullptr when
    // the other side has stopped. Rethrows what stopped it.
    Block *fillable()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || m_filled - m_released < kSlots; });
        rethrowLocked();
        return m_closed ? nullptr : &m_blocks[m_filled % kSlots];
    }
    void filled()
    {
        change([this] { ++m_filled; });
    }
    // No block follows the ones filled.
    void end()
    {
        change([this] { m_ended = true; });
    }

    // For the taking side: the next block in order, handing the one before back; nullptr
    // after the last one or once the other side has stopped. Rethrows what stopped it.
    Block *next()
    {
        std::unique_lock lock(m_mutex);
        if (m_taking) {
            m_taking = false;
            ++m_released;
            m_changed.notify_all();
        }
        m_changed.wait(lock, [this] { return m_closed || m_ended || m_filled > m_released; });
        rethrowLocked();
        if (m_closed || m_filled == m_released)
            return nullptr;
        m_taking = true;
        return &m_blocks[m_released % kSlots];
    }

    // Either side: stops the other, which sees the failure if there is one.
    void close(std::exception_ptr failure = nullptr)
    {
        change([&] {
            m_closed = true;
            if (!m_failure)
                m_failure = failure;
        });
    }

    // Rethrows what stopped the other side, if anything did.
    void rethrow()
    {
        const std::lock_guard lock(m_mutex);
        rethrowLocked();
    }

private:
    template <typename F> void change(F f)
    {
        const std::lock_guard lock(m_mutex);
        f();
        m_changed.notify_all();
    }
    void rethrowLocked() const
    {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

    std::array<Block, kSlots> m_blocks;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_filled = 0; // blocks, counted from the first
    std::size_t m_released = 0;
    bool m_taking = false;
    bool m_ended = false;
    bool m_closed = false;
    std::exception_ptr m_failure;
};
