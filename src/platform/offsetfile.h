#pragma once
// A file read and written at given offsets, for code that lays out a file's pages itself.

#include "platform/uniquefd.h"

#include <cstddef>
#include <cstdint>
#include <string>

class OffsetFile {
public:
    enum Access { ReadOnly, ReadWrite };
    // Opens an existing file; see valid() and error().
    OffsetFile(const std::string &path, Access access);

    [[nodiscard]] bool valid() const { return m_fd.valid(); }
    // Why the last call failed.
    [[nodiscard]] const std::string &error() const { return m_error; }
    // The file's length in bytes, 0 when it cannot be found.
    [[nodiscard]] std::uint64_t size() const;
    // Every byte or false: a short read means the file ends first.
    [[nodiscard]] bool read(std::uint64_t offset, void *data, std::size_t size);
    [[nodiscard]] bool write(std::uint64_t offset, const void *data, std::size_t size);

private:
    UniqueFd m_fd;
    std::string m_error;
};
