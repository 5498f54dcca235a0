#include "catalogue/filerecords.h"

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <map>
#include <utility>

namespace {

using Key = std::pair<std::string, std::string>; // path value, long-name value, both trimmed

Key keyOfPath(const std::string &path)
{
    const auto slash = path.rfind(values::kSeparator);
    const std::string_view folder =
        slash == std::string::npos ? std::string_view() : std::string_view(path).substr(0, slash);
    const std::string_view name =
        slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    return {std::string(text::trimRight(values::pathValue(folder))),
            std::string(text::trimRight(values::longNameValue(name)))};
}

Key keyAt(const RecordSet &records, int position)
{
    return {std::string(text::trimRight(records.utf8At(position, fld::Path))),
            std::string(text::trimRight(records.utf8At(position, fld::LongName)))};
}

// Takes one of the wanted keys for the record at position, if it has one left.
bool take(std::map<Key, int> &wanted, const Key &key)
{
    const auto it = wanted.find(key);
    if (it == wanted.end())
        return false;
    if (--it->second == 0)
        wanted.erase(it);
    return true;
}

} // namespace

std::vector<RecordSet::Bookmark> recordsOfFiles(const RecordSet &records, const std::vector<std::string> &paths,
                                                RecordSet::Bookmark preferred)
{
    std::map<Key, int> wanted;
    for (const std::string &p : paths)
        ++wanted[keyOfPath(p)];
    std::vector<RecordSet::Bookmark> found;
    const int first = records.positionOf(preferred);
    if (first >= 0 && take(wanted, keyAt(records, first)))
        found.push_back(preferred);
    // The whole catalogue is looked through only when files other than the row's went.
    for (int i = 0; !wanted.empty() && i < records.count(); ++i)
        if (i != first && take(wanted, keyAt(records, i)))
            found.push_back(records.bookmarkAt(i));
    return found;
}
