#include "findindex/nameindex.h"

#include "platform/filetime.h"

#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace findindex {
namespace {

constexpr char kMagic[8] = {'T', 'R', 'V', 'N', 'A', 'M', 'E', '1'};

struct Header {
    char magic[8];
    SourceStamp source;
    std::uint64_t count;
    std::uint64_t nameBytes;
};
static_assert(sizeof(Header) == 48);

} // namespace

bool stampOf(const std::string &catalogue, SourceStamp &out)
{
    struct stat st {};
    if (::stat(catalogue.c_str(), &st) != 0)
        return false;
    out = {std::uint64_t(st.st_size), st.st_ino, nanosecondsOf(st.st_mtim)};
    return true;
}

bool IndexWriter::add(std::string_view folded)
{
    // A NUL ends each name, so that a match never runs from one name into the next.
    m_names.append(folded.substr(0, folded.find('\0'))).push_back('\0');
    m_tooMany = m_tooMany || m_names.size() > 0xFFFFFFFFu;
    m_offsets.push_back(std::uint32_t(m_names.size()));
    return !m_tooMany;
}

bool IndexWriter::commit(const QString &indexPath, const SourceStamp &source, QString &error)
{
    if (m_tooMany) {
        error = QStringLiteral("the names are too many to index");
        return false;
    }
    Header h{};
    std::memcpy(h.magic, kMagic, sizeof kMagic);
    h.source = source;
    h.count = std::uint64_t(m_offsets.size() - 1);
    h.nameBytes = m_names.size();
    QSaveFile file(indexPath);
    const auto offsetBytes = qint64(m_offsets.size() * 4);
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(reinterpret_cast<const char *>(&h), sizeof h) == sizeof h &&
                    file.write(reinterpret_cast<const char *>(m_offsets.data()), offsetBytes) == offsetBytes &&
                    file.write(m_names.data(), qint64(m_names.size())) == qint64(m_names.size()) && file.commit();
    if (!ok)
        error = file.errorString();
    return ok;
}

bool write(const QString &indexPath, const SourceStamp &source, int count,
           const std::function<void(int position, std::string &folded)> &nameAt, QString &error)
{
    IndexWriter writer;
    std::string folded;
    for (int pos = 0; pos < count; ++pos) {
        folded.clear();
        nameAt(pos, folded);
        (void)writer.add(folded);
    }
    return writer.commit(indexPath, source, error);
}

bool NameIndex::open(const QString &indexPath, const SourceStamp &source)
{
    m_file.setFileName(indexPath);
    if (!m_file.open(QIODevice::ReadOnly) || m_file.size() < qint64(sizeof(Header)))
        return false;
    const uchar *map = m_file.map(0, m_file.size());
    if (!map)
        return false;
    Header h;
    std::memcpy(&h, map, sizeof h);
    const auto size = std::uint64_t(m_file.size());
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || !(h.source == source) || h.count >= 0x7FFFFFFF ||
        size != sizeof h + (h.count + 1) * 4 + h.nameBytes)
        return false;
    m_offsets = reinterpret_cast<const std::uint32_t *>(map + sizeof h);
    m_names = reinterpret_cast<const char *>(map + sizeof h + (h.count + 1) * 4);
    m_count = int(h.count);
    // Damage must not send a search outside the map.
    const bool ordered = m_offsets[0] == 0 && m_offsets[m_count] == h.nameBytes &&
                         std::is_sorted(m_offsets, m_offsets + m_count + 1) &&
                         (h.nameBytes == 0 || m_names[h.nameBytes - 1] == '\0');
    if (!ordered)
        m_count = 0;
    return ordered;
}

std::string_view NameIndex::name(int position) const
{
    const std::uint32_t begin = m_offsets[position], end = m_offsets[position + 1];
    return {m_names + begin, end > begin ? end - begin - 1 : 0};
}

void NameIndex::contains(std::string_view folded, const std::function<bool(int position)> &hit) const
{
    if (m_count == 0)
        return;
    const char *p = m_names, *end = m_names + m_offsets[m_count];
    while (p < end) {
        const void *found = ::memmem(p, std::size_t(end - p), folded.data(), folded.size());
        if (!found)
            return;
        const auto at = std::uint32_t(static_cast<const char *>(found) - m_names);
        const int position = int(std::upper_bound(m_offsets, m_offsets + m_count + 1, at) - m_offsets) - 1;
        if (!hit(position))
            return;
        p = m_names + m_offsets[position + 1]; // the next name
    }
}

void NameIndex::each(const std::function<bool(int position, std::string_view folded)> &visit) const
{
    for (int pos = 0; pos < m_count; ++pos)
        if (!visit(pos, name(pos)))
            return;
}

} // namespace findindex
