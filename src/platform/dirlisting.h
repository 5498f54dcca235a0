#pragma once
// One directory's entries with their times and sizes, straight from the kernel.

#include "platform/filetime.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct DirEntry {
    std::string name;         // raw bytes, never "." or ".."
    std::string shortName;    // the 8.3 alias, empty when the name is its own
    bool isDirectory = false; // a symbolic link is not a directory
    std::uint64_t device = 0;
    std::int64_t size = 0;
    FileTimestamp created, accessed, modified;
};

struct DirListing {
    bool opened = false;
    std::uint64_t device = 0;
    std::vector<DirEntry> entries;
};

// Lists a directory with the short names Windows would give its entries. An entry that
// vanishes before it can be examined is left out. With a cancel flag the listing stops
// early once the flag is set.
void listDirectory(const std::string &path, DirListing &out, const std::atomic<bool> *cancel = nullptr);

// The device of a path, or false when it cannot be examined.
bool deviceOf(const std::string &path, std::uint64_t &device);
