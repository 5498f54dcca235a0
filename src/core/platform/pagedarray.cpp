#include "platform/pagedarray.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Below this the allocator's heap does better than a mapping of its own.
constexpr std::size_t kMapFrom = 64 * 1024;

std::size_t wholePages(std::size_t bytes)
{
    static const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

std::atomic<std::size_t> g_mapped{0};
std::atomic<std::size_t> g_limit{std::numeric_limits<std::size_t>::max()};

// Counts `grow` more bytes as mapped, or throws when that passes the limit.
void reserveMapped(std::size_t grow)
{
    if (g_mapped.fetch_add(grow) + grow > g_limit.load()) {
        g_mapped.fetch_sub(grow);
        throw std::bad_alloc();
    }
}

char *map(std::size_t bytes)
{
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<char *>(p);
}

char *remap(char *data, std::size_t from, std::size_t to)
{
    void *p = mremap(data, from, to, MREMAP_MAYMOVE);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<char *>(p);
}

} // namespace

void PageBuffer::setMappedLimit(std::size_t bytes)
{
    g_limit.store(bytes);
}

std::size_t PageBuffer::mappedBytes()
{
    return g_mapped.load();
}

void PageBuffer::release()
{
    if (m_mapped) {
        munmap(m_data, m_capacity);
        g_mapped.fetch_sub(m_capacity);
    } else
        std::free(m_data);
    m_data = nullptr;
    m_capacity = 0;
    m_mapped = false;
}

void PageBuffer::resize(std::size_t bytes)
{
    if (bytes == 0)
        release();
    else if (bytes < kMapFrom)
        resizeOnHeap(bytes);
    else
        resizeMapped(wholePages(bytes));
}

void PageBuffer::resizeOnHeap(std::size_t bytes)
{
    char *p = static_cast<char *>(m_mapped ? std::malloc(bytes) : std::realloc(m_data, bytes));
    if (!p)
        throw std::bad_alloc();
    if (m_mapped) {
        std::memcpy(p, m_data, bytes);
        munmap(m_data, m_capacity);
        g_mapped.fetch_sub(m_capacity);
    }
    m_data = p;
    m_capacity = bytes;
    m_mapped = false;
}

void PageBuffer::resizeMapped(std::size_t bytes)
{
    const std::size_t before = m_mapped ? m_capacity : 0;
    const std::size_t grow = bytes > before ? bytes - before : 0;
    reserveMapped(grow);
    char *p = nullptr;
    try {
        p = m_mapped ? remap(m_data, m_capacity, bytes) : map(bytes);
    } catch (const std::bad_alloc &) {
        g_mapped.fetch_sub(grow);
        throw;
    }
    if (bytes < before)
        g_mapped.fetch_sub(before - bytes);
    if (!m_mapped) {
        if (m_data)
            std::memcpy(p, m_data, std::min(m_capacity, bytes));
        std::free(m_data);
    }
    m_data = p;
    m_capacity = bytes;
    m_mapped = true;
}
