#include "platform/sparsecopy.h"

#include <cerrno>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sparsecopy {
namespace {

constexpr std::size_t kBuffer = std::size_t(1) << 20;

bool rangeUnsupported(int err)
{
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EPERM;
}

class Copier {
public:
    Copier(int in, int out, std::size_t chunk, const std::function<bool(std::int64_t)> &step)
        : m_in(in), m_out(out), m_chunk(chunk), m_step(step)
    {
    }

    Outcome run()
    {
        off_t pos = 0;
        for (;;) {
            const off_t data = ::lseek(m_in, pos, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break; // only a hole, or nothing, from pos on
            if (data < 0 && pos == 0 && errno == EINVAL)
                return dense();
            const off_t hole = data < 0 ? -1 : ::lseek(m_in, data, SEEK_HOLE);
            if (hole < 0)
                return failed(errno, false);
            if (!segment(data, hole, pos))
                return m_outcome;
            if (pos < hole)
                break; // the file got shorter
        }
        struct stat st;
        if (::fstat(m_in, &st) != 0)
            return failed(errno, false);
        if (::ftruncate(m_out, st.st_size) != 0)
            return failed(errno, true);
        m_outcome.length = st.st_size;
        return m_outcome;
    }

private:
    // A source that cannot seek to data: copied to its end, all of it.
    Outcome dense()
    {
        off_t pos = 0;
        if (segment(0, std::numeric_limits<off_t>::max(), pos))
            m_outcome.length = pos;
        return m_outcome;
    }

    // Copies [from, to); pos receives where it ended, short of `to` at the end of the file.
    bool segment(off_t from, off_t to, off_t &pos)
    {
        off_t inAt = from, outAt = from;
        while (inAt < to) {
            const std::size_t want = std::size_t(std::min<off_t>(off_t(m_chunk), to - inAt));
            const ssize_t n = m_useRange ? viaRange(inAt, outAt, want) : viaBuffer(inAt, outAt, want);
            if (n < 0)
                return false;
            if (n == 0)
                break;
            if (!m_step(inAt)) {
                m_outcome.stopped = true;
                return false;
            }
        }
        pos = inAt;
        return true;
    }

    ssize_t viaRange(off_t &inAt, off_t &outAt, std::size_t want)
    {
        for (;;) {
            const ssize_t n = ::copy_file_range(m_in, &inAt, m_out, &outAt, want, 0);
            if (n >= 0) {
                m_rangeWorked = m_rangeWorked || n > 0;
                return n;
            }
            if (errno == EINTR)
                continue;
            if (!m_rangeWorked && rangeUnsupported(errno)) {
                m_useRange = false;
                return viaBuffer(inAt, outAt, want);
            }
            const int err = errno;
            return failed(err, err == ENOSPC || err == EDQUOT || err == EROFS || err == EFBIG), -1;
        }
    }

    ssize_t viaBuffer(off_t &inAt, off_t &outAt, std::size_t want)
    {
        if (m_buffer.empty())
            m_buffer.resize(kBuffer);
        ssize_t n;
        do
            n = ::pread(m_in, m_buffer.data(), std::min(want, m_buffer.size()), inAt);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return failed(errno, false), -1;
        for (ssize_t off = 0; off < n;) {
            const ssize_t w = ::pwrite(m_out, m_buffer.data() + off, std::size_t(n - off), outAt + off);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return failed(w < 0 ? errno : EIO, true), -1;
            off += w;
        }
        inAt += n;
        outAt += n;
        return n;
    }

    Outcome failed(int err, bool atDestination)
    {
        m_outcome.err = err ? err : EIO;
        m_outcome.atDestination = atDestination;
        return m_outcome;
    }

    int m_in, m_out;
    std::size_t m_chunk;
    const std::function<bool(std::int64_t)> &m_step;
    bool m_useRange = true;
    bool m_rangeWorked = false;
    std::vector<char> m_buffer;
    Outcome m_outcome;
};

} // namespace

Outcome copy(int in, int out, std::size_t chunk, const std::function<bool(std::int64_t)> &step)
{
    return Copier(in, out, chunk, step).run();
}

} // namespace sparsecopy
