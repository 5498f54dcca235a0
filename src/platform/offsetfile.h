#pragma once
// A file read and written at given offsets, for code that lays out a file's pages itself.

#include "platform/uniquefd.h"

#include <cstddef>
#include <cstdint>
#include <string>

class OffsetFile {
public:
    // Opens an existing file for reading and writing; see valid() and error().
    explicit OffsetFile(const std::string &path);

    [[nodiscard]] bool valid() const { return m_fd.valid(); }
    // Why the last call failed.
    [[nodiscard]] const std::string &error() const { return m_error; }
    // Every byte or false: a short read means the file ends first.
    [[nodiscard]] bool read(std::uint64_t offset, void *data, std::size_t size);
    [[nodiscard]] bool write(std::uint64_t offset, const void *data, std::size_t size);

private:
    UniqueFd m_fd;
    std::string m_error;
};
