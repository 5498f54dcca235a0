#include "platform/offsetfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Repeats pread or pwrite until every byte is through.
template <typename Byte, typename Transfer>
bool whole(Transfer transfer, int fd, std::uint64_t offset, Byte *at, std::size_t size, const char *stopped,
           std::string &error)
{
    while (size > 0) {
        const ssize_t n = transfer(fd, at, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? std::strerror(errno) : stopped;
            return false;
        }
        at += n, offset += std::uint64_t(n), size -= std::size_t(n);
    }
    return true;
}

} // namespace

OffsetFile::OffsetFile(const std::string &path, Access access)
    : m_fd(::open(path.c_str(), (access == ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC))
{
    if (!m_fd.valid())
        m_error = std::strerror(errno);
}

std::uint64_t OffsetFile::size() const
{
    struct stat st {};
    return ::fstat(m_fd.get(), &st) == 0 ? std::uint64_t(st.st_size) : 0;
}

bool OffsetFile::read(std::uint64_t offset, void *data, std::size_t size)
{
    return whole(::pread, m_fd.get(), offset, static_cast<char *>(data), size, "the file is shorter than expected",
                 m_error);
}

bool OffsetFile::write(std::uint64_t offset, const void *data, std::size_t size)
{
    return whole(::pwrite, m_fd.get(), offset, static_cast<const char *>(data), size, "nothing could be written",
                 m_error);
}
