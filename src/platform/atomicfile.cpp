#include "platform/atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fail(std::string &error)
{
    error = std::strerror(errno);
    return false;
}

bool syncDescriptor(int fd, std::string &error)
{
    if (fd < 0)
        return fail(error);
    const bool ok = ::fsync(fd) == 0;
    if (!ok)
        fail(error);
    ::close(fd);
    return ok;
}

} // namespace

namespace atomicfile {

std::string createBeside(const std::string &target, std::string &error)
{
    // Created with O_EXCL and mode 0666, so the umask gives it the usual permissions.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(random()));
        std::string temporary = folderOf(target) + "/." + nameOf(target) + suffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return temporary;
        }
        if (errno != EEXIST)
            break;
    }
    fail(error);
    return {};
}

bool sync(const std::string &path, std::string &error)
{
    return syncDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC), error);
}

bool replace(const std::string &temporary, const std::string &target, std::string &error)
{
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return fail(error);
    return syncDescriptor(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), error);
}

void remove(const std::string &path)
{
    ::unlink(path.c_str());
}

Writeback::Writeback(const std::string &path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

void Writeback::start() const
{
    if (m_fd.valid())
        (void)::sync_file_range(m_fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

} // namespace atomicfile
