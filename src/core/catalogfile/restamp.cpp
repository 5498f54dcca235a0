#include "catalogfile/restamp.h"

#include "catalogfile/catalogueformat.h"
#include "catalogfile/retime.h"
#include "platform/sparsecopy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

constexpr std::size_t kCopyChunk = std::size_t(8) << 20;

std::runtime_error systemError(const char *what, int err)
{
    return std::runtime_error(std::string(what) + ": " + std::strerror(err));
}

bool sameFile(int fd, const std::string &path)
{
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Holds another program's writes off the source while it is copied: a read transaction, once
// SQLite has rolled back a journal a killed writer left. A file in WAL mode has part of its
// content beside it, which a copy of the file alone would lose.
void holdStill(Db &source, const std::string &path)
{
    // SQLite opens a file it may not write read-only.
    source.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    source.exec("BEGIN; SELECT count(*) FROM sqlite_schema");
    Stmt mode(source, "PRAGMA journal_mode");
    if (!mode.step() || mode.text(0) == "wal")
        throw std::runtime_error("the file is in WAL mode");
}

void copyInto(int in, const std::string &temporary, const std::atomic<bool> &stop)
{
    const UniqueFd out(::open(temporary.c_str(), O_WRONLY | O_CLOEXEC));
    if (!out.valid())
        throw systemError("cannot write the new file", errno);
    const sparsecopy::Outcome copied = sparsecopy::copy(in, out.get(), kCopyChunk, [&](std::int64_t) { return !stop; });
    if (copied.stopped)
        return;
    if (!copied.ok())
        throw systemError(copied.atDestination ? "cannot write the new file" : "cannot read the file", copied.err);
}

void replaceVolumes(const std::string &temporary, const std::vector<Volume> &volumes, InPlaceChanges *changes)
{
    Db db;
    db.open(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    // Private until it is renamed into place, and synced as a whole then. Its rows are read
    // once, where rows are written over: mapping them would only add the file to our memory.
    db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA mmap_size = 0; "
            "PRAGMA cache_size = -16384; BEGIN");
    Stmt count(db, "SELECT count(*) FROM volumes");
    if (!count.step() || count.integer(0) != qint64(volumes.size()))
        throw std::runtime_error("the file records other volumes than those walked");
    Stmt st(db, "UPDATE volumes SET mount_point = ?2, label = ?3, uuid = ?4, fs_type = ?5, device = ?6, "
                "device_number = ?7, drive_type = ?8, total_bytes = ?9, free_bytes = ?10, walk_began = ?11, "
                "walk_ended = ?12, files = ?13 WHERE id = ?1");
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        bindVolume(st, qint64(i) + 1, volumes[i]);
        st.run();
    }
    if (changes && !changes->folders.listings.empty())
        changes->rowsChanged = retimeRows(db, changes->listings, changes->folders);
    db.exec("COMMIT");
}

} // namespace

bool Restamp::copy(const std::string &from, const std::string &to, const std::atomic<bool> &stop, std::string &error)
{
    if (!m_replacement.begin(to, error))
        return false;
    m_replacement.removeStale(std::string_view("SQLite format 3", 16)); // with its NUL
    try {
        m_in.reset(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
        if (!m_in.valid())
            throw systemError("cannot read the file", errno);
        m_inPlace = m_replacement.targetExists() && sameFile(m_in.get(), m_replacement.targetPath());
        if (m_inPlace && !m_old.settle(m_replacement, error)) // also holds the file still
            return false;
        if (!m_inPlace)
            holdStill(m_from, from);
        copyInto(m_in.get(), m_replacement.temporaryPath(), stop);
    } catch (const std::exception &e) {
        error = e.what();
        return false;
    }
    return !stop && m_replacement.prepare(error);
}

atomicfile::Outcome Restamp::finish(const std::vector<Volume> &volumes, std::string &error, InPlaceChanges *changes)
{
    using atomicfile::Outcome;
    try {
        replaceVolumes(m_replacement.temporaryPath(), volumes, changes);
    } catch (const std::exception &e) {
        error = e.what();
        return Outcome::Failed;
    }
    // The second flush has only the pages written since left to write.
    if (!m_replacement.prepare(error) || (!m_inPlace && !m_old.settle(m_replacement, error)))
        return Outcome::Failed;
    return m_replacement.commit(error);
}

} // namespace cataloguefile
