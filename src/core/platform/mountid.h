#pragma once
// Which mount a file lies on. A device number tells file systems apart, not mounts: a bind
// mount of a folder of the same file system has its parent's device.

#include <cstdint>
#include <optional>

namespace mountid {

// Nothing where the kernel does not say (before Linux 5.8).
[[nodiscard]] std::optional<std::uint64_t> of(int fd);
// True when the folder child, opened through parent, lies on another mount: it is a mount
// point of any kind. Where mount ids are unknown, the device numbers decide.
[[nodiscard]] bool differs(int parentFd, int childFd);

} // namespace mountid
