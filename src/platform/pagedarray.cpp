#include "platform/pagedarray.h"

#include <cstdlib>
#include <cstring>
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

char *map(std::size_t bytes)
{
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<char *>(p);
}

} // namespace

void PageBuffer::release()
{
    if (m_mapped)
        munmap(m_data, m_capacity);
    else
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
    }
    m_data = p;
    m_capacity = bytes;
    m_mapped = false;
}

void PageBuffer::resizeMapped(std::size_t bytes)
{
    char *p = nullptr;
    if (m_mapped) {
        void *moved = mremap(m_data, m_capacity, bytes, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED)
            throw std::bad_alloc();
        p = static_cast<char *>(moved);
    } else {
        p = map(bytes);
        if (m_data)
            std::memcpy(p, m_data, std::min(m_capacity, bytes));
        std::free(m_data);
    }
    m_data = p;
    m_capacity = bytes;
    m_mapped = true;
}
