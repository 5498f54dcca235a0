#pragma once
// What the benchmarks measure with: resident memory and the wall time of a call.

#include <chrono>
#include <fstream>
#include <malloc.h>

inline long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

// Resident memory once the allocator has handed back what it holds free.
inline long trimmedResident()
{
    malloc_trim(0);
    return residentBytes();
}

template <typename F> double millis(F &&f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
