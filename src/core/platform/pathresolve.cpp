#include "platform/pathresolve.h"

#include "platform/text.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace pathres {

std::optional<std::vector<std::string>> splitAbsolute(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    std::vector<std::string> names;
    std::size_t i = 0;
    while (i < path.size()) {
        const std::size_t j = std::min(path.find('/', i), path.size());
        const std::string_view part = path.substr(i, j - i);
        if (part == "..") {
            if (!names.empty())
                names.pop_back();
        } else if (!part.empty() && part != ".") {
            names.emplace_back(part);
        }
        i = j + 1;
    }
    return names;
}

std::string joinPath(const std::vector<std::string> &names, std::size_t count)
{
    std::string out = "/";
    for (std::size_t i = 0; i < count && i < names.size(); ++i)
        out += names[i] + (i + 1 < count ? "/" : "");
    return out;
}

std::vector<std::string> listNames(int dirFd, bool *ok)
{
    std::vector<std::string> names;
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        if (ok)
            *ok = false;
        return names;
    }
    errno = 0;
    while (const dirent *e = ::readdir(dir)) {
        const std::string_view n = e->d_name;
        if (n != "." && n != "..")
            names.emplace_back(n);
    }
    const int err = errno;
    ::closedir(dir);
    if (ok)
        *ok = err == 0;
    errno = err;
    return names;
}

Lookup lookupName(int dirFd, std::string_view wanted, bool lastName)
{
    const std::string_view core = lastName ? text::trimRight(wanted) : wanted;
    if (core.empty())
        return {};
    struct stat st;
    for (std::string_view exact : {wanted, core})
        if (::fstatat(dirFd, std::string(exact).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return {Found::One, std::string(exact)};
    Lookup result;
    for (const std::string &n : listNames(dirFd)) {
        const std::string_view candidate = lastName ? text::trimRight(n) : std::string_view(n);
        if (text::compareFolded(candidate, core) != 0)
            continue;
        if (result.found == Found::One)
            return {Found::Several, {}};
        result = {Found::One, n};
    }
    return result;
}

bool hasWildcards(std::string_view name)
{
    return name.find_first_of("*?") != std::string_view::npos;
}

namespace {

std::size_t codePointLength(std::string_view s, std::size_t i)
{
    std::size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

bool globFolded(std::string_view p, std::string_view s)
{
    std::size_t pi = 0, si = 0, starP = std::string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starS = si;
        } else if (pi < p.size() && p[pi] == '?') {
            ++pi;
            si += codePointLength(s, si);
        } else if (pi < p.size() && p[pi] == s[si]) {
            ++pi, ++si;
        } else if (starP != std::string_view::npos) {
            pi = starP;
            starS += codePointLength(s, starS);
            si = starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*")
        pattern = "*";
    std::string p, s;
    text::appendFolded(p, pattern);
    text::appendFolded(s, name);
    return globFolded(p, s);
}

std::optional<Folder> openFolder(const std::vector<std::string> &names, std::size_t count)
{
    Folder f{UniqueFd(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), "/"};
    if (!f.fd.valid())
        return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        const Lookup l = lookupName(f.fd.get(), names[i], false);
        if (l.found != Found::One) {
            errno = l.found == Found::None ? ENOENT : EEXIST;
            return std::nullopt;
        }
        UniqueFd next(::openat(f.fd.get(), l.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next.valid())
            return std::nullopt;
        f.fd = std::move(next);
        f.path += l.name + "/";
    }
    return f;
}

std::optional<std::string> resolveExisting(std::string_view path)
{
    const auto names = splitAbsolute(text::trimRight(path));
    if (!names || names->empty())
        return std::nullopt;
    auto folder = openFolder(*names, names->size() - 1);
    if (!folder)
        return std::nullopt;
    const Lookup l = lookupName(folder->fd.get(), names->back(), true);
    if (l.found != Found::One)
        return std::nullopt;
    return folder->path + l.name;
}

} // namespace pathres
