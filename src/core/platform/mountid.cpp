#include "platform/mountid.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace mountid {

std::optional<std::uint64_t> of(int fd)
{
    struct statx stx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &stx) != 0 || !(stx.stx_mask & STATX_MNT_ID))
        return std::nullopt;
    return stx.stx_mnt_id;
}

bool differs(int parentFd, int childFd)
{
    const auto parent = of(parentFd), child = of(childFd);
    if (parent && child)
        return *parent != *child;
    struct stat a, b;
    if (::fstat(parentFd, &a) != 0 || ::fstat(childFd, &b) != 0)
        return true; // what cannot be told is not entered
    return a.st_dev != b.st_dev;
}

} // namespace mountid
