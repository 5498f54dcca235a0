#include "diffside.h"

#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordset.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace trv {
namespace {

std::uint64_t prefixOf(std::string_view name)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < name.size() ? std::uint8_t(name[i]) : 0);
    return prefix;
}

int sign(int n)
{
    return (n > 0) - (n < 0);
}

} // namespace

bool DiffSide::load(const std::string &file, std::string &error)
{
    if (!cataloguefile::streamRecords(
            file, 4096, [this](RecordSet &batch) { take(batch); }, error))
        return false;
    m_folderIds = {};
    order();
    return true;
}

std::string_view DiffSide::unpackedTime(const Entry &e) const
{
    return std::string_view(m_texts.data() + e.modified, m_texts.find('\0', e.modified) - e.modified);
}

void DiffSide::take(RecordSet &batch)
{
    std::string folder, name;
    for (int pos = 0; pos < batch.count(); ++pos) {
        batch.exactAt(pos, fld::Path, folder);
        batch.exactAt(pos, fld::LongName, name);
        Entry e;
        e.folder = folderId(folder);
        e.nameAt = std::uint32_t(m_texts.size()), e.nameSize = std::uint32_t(name.size());
        m_texts += name;
        e.prefix = prefixOf(name);
        e.size = batch.integerAt(pos, fld::Size);
        e.packed = batch.packedAt(pos, fld::Modified, e.modified);
        if (!e.packed) {
            e.modified = m_texts.size();
            (m_texts += batch.utf8At(pos, fld::Modified)) += '\0';
        }
        m_entries.push_back(e);
    }
}

// A folder's files come together in a walk: mostly the folder is the one before.
std::uint32_t DiffSide::folderId(const std::string &folder)
{
    if (m_folders.empty() || folder != m_folders[m_lastId]) {
        const auto [it, added] = m_folderIds.try_emplace(folder, std::uint32_t(m_folders.size()));
        if (added)
            m_folders.push_back(folder);
        m_lastId = it->second;
    }
    return m_lastId;
}

void DiffSide::order()
{
    std::vector<std::uint32_t> sorted(m_folders.size()), rank(m_folders.size());
    std::iota(sorted.begin(), sorted.end(), 0u);
    std::sort(sorted.begin(), sorted.end(), [&](auto a, auto b) { return m_folders[a] < m_folders[b]; });
    std::vector<std::string> folders(m_folders.size());
    for (std::uint32_t r = 0; r < sorted.size(); ++r)
        rank[sorted[r]] = r, folders[r] = std::move(m_folders[sorted[r]]);
    m_folders = std::move(folders);
    for (Entry &e : m_entries)
        e.folder = rank[e.folder];
    std::sort(m_entries.begin(), m_entries.end(), [this](const Entry &a, const Entry &b) { return before(a, b); });
}

// By path; a path held twice by its size and time, so that alike records pair off alike.
bool DiffSide::before(const Entry &a, const Entry &b) const
{
    if (a.folder != b.folder || a.prefix != b.prefix)
        return std::pair(a.folder, a.prefix) < std::pair(b.folder, b.prefix);
    if (const int c = name(a).compare(name(b)); c != 0)
        return c < 0;
    if (a.size != b.size || a.packed != b.packed)
        return std::pair(a.size, a.packed) < std::pair(b.size, b.packed);
    return a.packed ? a.modified < b.modified : unpackedTime(a) < unpackedTime(b);
}

int PathOrder::compare(const DiffSide::Entry &x, const DiffSide::Entry &y)
{
    if (x.folder != m_x || y.folder != m_y)
        m_x = x.folder, m_y = y.folder, m_folders = sign(m_a.folder(x).compare(m_b.folder(y)));
    if (m_folders != 0)
        return m_folders;
    if (x.prefix != y.prefix)
        return x.prefix < y.prefix ? -1 : 1;
    return sign(m_a.name(x).compare(m_b.name(y)));
}

} // namespace trv
