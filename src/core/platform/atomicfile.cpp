#include "platform/atomicfile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr std::size_t kSuffixBytes = 9; // a dot and eight hex digits

bool fail(std::string &error)
{
    error = std::strerror(errno);
    return false;
}

// The file a symbolic link leads to; any other path as it is.
bool followLink(const std::string &path, std::string &followed, std::string &error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        followed = path;
        return true;
    }
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) {
        error = "it is a symbolic link to a file that cannot be reached (" + std::string(std::strerror(errno)) + ")";
        return false;
    }
    followed = real.get();
    return true;
}

// ".NAME.xxxxxxxx", with NAME cut short where the whole would not be a legal name.
std::string temporaryName(const std::string &name, unsigned random)
{
    std::size_t keep = std::min(name.size(), std::size_t(NAME_MAX) - 1 - kSuffixBytes);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep; // not in the middle of a UTF-8 character
    char suffix[kSuffixBytes + 1];
    std::snprintf(suffix, sizeof suffix, ".%08x", random);
    std::string temporary(1, '.');
    return temporary.append(name, 0, keep).append(suffix);
}

bool isTemporaryName(std::string_view name)
{
    if (name.size() < 2 + kSuffixBytes || name[0] != '.' || name[name.size() - kSuffixBytes] != '.')
        return false;
    const std::string_view digits = name.substr(name.size() - kSuffixBytes + 1);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// Whether the file holds nothing but what a temporary of ours may hold.
bool beginsWith(int fd, const struct stat &st, std::string_view header)
{
    if (st.st_size == 0)
        return true; // killed before anything was written
    std::string bytes(header.size(), '\0');
    return ::pread(fd, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size()) && bytes == header;
}

} // namespace

namespace atomicfile {

Replacement::~Replacement()
{
    if (m_temporary.valid() && !m_committed)
        ::unlinkat(m_folder.get(), m_temporaryName.c_str(), 0);
}

bool Replacement::begin(const std::string &target, std::string &error)
{
    std::string path;
    if (!followLink(target, path, error))
        return false;
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    m_name = slash == std::string::npos ? path : path.substr(slash + 1);
    m_folder.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder.valid())
        return fail(error);
    struct stat st {};
    // Until prepare() gives it the old mode and owner, only the saver may read the new file.
    return checkTarget(st, error) && createTemporary(m_targetExists ? st.st_mode & S_IRWXU : 0666, error);
}

std::string Replacement::viaFolder(const std::string &name) const
{
    return "/proc/self/fd/" + std::to_string(m_folder.get()) + "/" + name;
}

bool Replacement::checkTarget(struct stat &st, std::string &error)
{
    m_targetExists = ::fstatat(m_folder.get(), m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!m_targetExists)
        return errno == ENOENT || fail(error);
    if (!S_ISREG(st.st_mode)) {
        error = "it is not a regular file";
        return false;
    }
    // Root may write anything: the owner's write bit is what says the file is meant to stay.
    if ((st.st_mode & S_IWUSR) == 0) {
        error = "the file is read-only";
        return false;
    }
    return true;
}

bool Replacement::createTemporary(mode_t mode, std::string &error)
{
    // O_EXCL, and a mode the umask narrows as it does for any new file.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporaryName = temporaryName(m_name, unsigned(random()));
        m_temporary.reset(
            ::openat(m_folder.get(), m_temporaryName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!m_temporary.valid() && errno != EEXIST)
            break;
        // Held until the descriptor closes. Another save may have taken it for stale and
        // removed it before the lock was ours: then the name leads elsewhere, or nowhere.
        if (m_temporary.valid() && ::flock(m_temporary.get(), LOCK_EX) == 0 &&
            sameFile(m_temporary.get(), m_temporaryName.c_str()))
            return true;
    }
    return fail(error);
}

bool Replacement::sameFile(int fd, const char *name) const
{
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::fstatat(m_folder.get(), name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void Replacement::removeStale(std::string_view header) const
{
    struct Close {
        void operator()(DIR *d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, Close> dir(::fdopendir(::dup(m_folder.get())));
    if (!dir)
        return; // leaving them does no harm
    while (const dirent *entry = ::readdir(dir.get())) {
        if (!isTemporaryName(entry->d_name) || entry->d_name == m_temporaryName)
            continue;
        const UniqueFd fd(
            ::openat(m_folder.get(), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        // Under the lock, and only while the name still leads to the file locked.
        if (fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            beginsWith(fd.get(), st, header) && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            sameFile(fd.get(), entry->d_name))
            ::unlinkat(m_folder.get(), entry->d_name, 0);
    }
}

bool Replacement::besideExists(const std::string &suffix) const
{
    return ::faccessat(m_folder.get(), (m_name + suffix).c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

bool Replacement::removeBeside(const std::string &suffix, std::string &error) const
{
    return ::unlinkat(m_folder.get(), (m_name + suffix).c_str(), 0) == 0 || errno == ENOENT || fail(error);
}

bool Replacement::prepare(std::string &error)
{
    struct stat st {};
    if (!checkTarget(st, error))
        return false;
    // The owner first: changing it clears the set-user-ID bits.
    if (m_targetExists && ::fchown(m_temporary.get(), st.st_uid, st.st_gid) != 0 && errno != EPERM)
        return fail(error);
    if (m_targetExists && ::fchmod(m_temporary.get(), st.st_mode & 07777) != 0)
        return fail(error);
    return ::fsync(m_temporary.get()) == 0 || fail(error);
}

Outcome Replacement::commit(std::string &error)
{
    if (::renameat(m_folder.get(), m_temporaryName.c_str(), m_folder.get(), m_name.c_str()) != 0) {
        fail(error);
        return Outcome::Failed;
    }
    m_committed = true;
    if (::fsync(m_folder.get()) != 0) {
        fail(error);
        return Outcome::Unsynced;
    }
    return Outcome::Replaced;
}

Writeback::Writeback(const std::string &path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

void Writeback::start() const
{
    if (m_fd.valid())
        (void)::sync_file_range(m_fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

} // namespace atomicfile
