// The floor for the scan bench: the least a walk must do to see every file of a tree. Lists
// each folder with getdents64, examines each entry with statx relative to the folder's
// descriptor and opens subfolders the same way, on one device, on one or more threads.
// Prints the number of files and the sum of their sizes, so that no work is optimised away.
// Usage: floor_walk [-j THREADS] DIR

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kMask = STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_INO;
constexpr int kFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

struct Totals {
    std::uint64_t files = 0, bytes = 0;
};

class Walker {
public:
    Walker(int rootFd, std::uint64_t device, unsigned threads) : m_device(device)
    {
        m_stack.push_back(rootFd);
        m_threads = threads;
    }

    Totals run()
    {
        std::vector<std::thread> workers;
        for (unsigned i = 1; i < m_threads; ++i)
            workers.emplace_back(&Walker::work, this);
        work();
        for (std::thread &t : workers)
            t.join();
        return {m_files.load(), m_bytes.load()};
    }

private:
    void work()
    {
        Totals mine;
        for (;;) {
            int fd;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return !m_stack.empty() || m_busy == 0; });
                if (m_stack.empty())
                    break;
                fd = m_stack.back();
                m_stack.pop_back();
                ++m_busy;
            }
            std::vector<int> found;
            list(fd, mine, found);
            ::close(fd);
            {
                const std::lock_guard lock(m_mutex);
                m_stack.insert(m_stack.end(), found.begin(), found.end());
                --m_busy;
            }
            m_ready.notify_all();
        }
        m_files += mine.files;
        m_bytes += mine.bytes;
    }

    void list(int fd, Totals &t, std::vector<int> &subdirs) const
    {
        alignas(8) char buf[64 * 1024];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
            if (n <= 0)
                return;
            for (long at = 0; at < n;) {
                unsigned short reclen;
                std::memcpy(&reclen, buf + at + 16, sizeof reclen);
                const char *name = buf + at + 19;
                at += reclen;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                struct statx sx {};
                if (::statx(fd, name, kFlags, kMask, &sx) != 0)
                    continue;
                if (!S_ISDIR(sx.stx_mode)) {
                    ++t.files;
                    t.bytes += sx.stx_size;
                    continue;
                }
                if ((std::uint64_t(sx.stx_dev_major) << 32 | sx.stx_dev_minor) != m_device)
                    continue;
                const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0)
                    subdirs.push_back(sub);
            }
        }
    }

    std::uint64_t m_device;
    unsigned m_threads = 1;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<int> m_stack;
    unsigned m_busy = 0;
    std::atomic<std::uint64_t> m_files{0}, m_bytes{0};
};

} // namespace

int main(int argc, char **argv)
{
    unsigned threads = 1;
    int arg = 1;
    if (argc == 4 && std::strcmp(argv[1], "-j") == 0) {
        threads = unsigned(std::max(1, std::atoi(argv[2])));
        arg = 3;
    }
    if (arg != argc - 1) {
        std::fputs("usage: floor_walk [-j THREADS] DIR\n", stderr);
        return 2;
    }
    rlimit lim{};
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0) {
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &lim);
    }
    const int root = ::open(argv[arg], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct statx sx {};
    if (root < 0 || ::statx(root, "", AT_EMPTY_PATH, STATX_TYPE, &sx) != 0) {
        std::perror(argv[arg]);
        return 2;
    }
    Walker walker(root, std::uint64_t(sx.stx_dev_major) << 32 | sx.stx_dev_minor, threads);
    const Totals t = walker.run();
    std::printf("%llu files, %llu bytes\n", static_cast<unsigned long long>(t.files),
                static_cast<unsigned long long>(t.bytes));
    return 0;
}
