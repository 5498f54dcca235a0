// Guards the per-record arrays' storage: values survive every move between the allocator's
// heap and a mapping of their own, growing, shrinking and erasing.
#include "platform/pagedarray.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <utility>

namespace {

std::uint64_t value(std::size_t i)
{
    return i * 0x9E3779B97F4A7C15ull;
}

bool holdsValues(const PagedArray<std::uint64_t> &a, std::size_t from = 0)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != value(i + from))
            return false;
    return true;
}

TEST(PagedArray, KeepsValuesThroughGrowthShrinkAndMoves)
{
    PagedArray<std::uint64_t> a;
    for (std::size_t i = 0; i < 300'000; ++i) // from the heap to a mapping and on through remaps
        a.push_back(value(i));
    EXPECT_TRUE(holdsValues(a));

    a.shrink_to_fit();
    EXPECT_TRUE(holdsValues(a));
    EXPECT_LT(a.memory(), a.size() * sizeof(std::uint64_t) + 4096 * 4);

    PagedArray<std::uint64_t> moved = std::move(a);
    EXPECT_EQ(moved.size(), 300'000u);
    EXPECT_TRUE(holdsValues(moved));

    moved.erase(moved.begin()); // every value moves down one
    EXPECT_TRUE(holdsValues(moved, 1));

    moved.clear();
    moved.push_back(value(0));
    moved.shrink_to_fit(); // from a mapping back to the heap
    EXPECT_TRUE(holdsValues(moved));
    EXPECT_EQ(moved.memory(), sizeof(std::uint64_t));
}

TEST(PageBuffer, ResizeKeepsTheBytesThatFit)
{
    PageBuffer b;
    std::size_t written = 0;
    for (const std::size_t size :
         {std::size_t(100), std::size_t(70'000), std::size_t(1'000'000), std::size_t(65'000), std::size_t(3)}) {
        const std::size_t kept = std::min(written, size);
        b.resize(size);
        ASSERT_GE(b.capacity(), size);
        for (std::size_t i = 0; i < kept; ++i)
            ASSERT_EQ(b.data()[i], char(i % 251)) << "size " << size << " byte " << i;
        for (std::size_t i = kept; i < size; ++i)
            b.data()[i] = char(i % 251);
        written = size;
    }
    b.resize(0);
    EXPECT_EQ(b.data(), nullptr);
    EXPECT_EQ(b.capacity(), 0u);
}

} // namespace
