#include "findindex/searchopen.h"

#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "findindex/nameindex.h"

#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace findindex {
namespace {

// Reading a row by itself costs about as much as reading a dozen or more in order; a few
// hundred rows read alone are quick whatever the file.
constexpr int kRowsPerPointRead = 16;
constexpr std::size_t kFewRows = 256;

// The positions whose folded name loose matches; false once they are too many to be worth
// reading one by one.
bool candidatesOf(const NameIndex &index, const library::Matcher &loose, std::vector<int> &out)
{
    const std::size_t most = std::max(std::size_t(index.count() / kRowsPerPointRead), kFewRows);
    const bool substring = loose.kind() == library::PatternKind::Substring;
    auto keep = [&](int pos, std::string_view name) {
        if (substring || loose.matchesFolded(name))
            out.push_back(pos);
        return out.size() <= most;
    };
    const std::string_view required = loose.requiredText();
    if (required.empty())
        index.each(keep);
    else
        index.contains(required, [&](int pos) { return keep(pos, index.name(pos)); });
    return out.size() <= most;
}

// Makes the index of a file just read whole; where it could be made, the positions that
// may match, from it.
std::optional<std::vector<int>> writeIndex(const std::string &file, const SourceStamp &stamp, const RecordSet &records,
                                           const library::Matcher *loose)
{
    std::string name;
    QString error;
    const QString path = indexPathOf(file);
    // An index that cannot be written (a folder that is read-only) only makes the next search slower.
    if (!write(
            path, stamp, records.count(),
            [&](int pos, std::string &folded) {
                records.exactAt(pos, fld::LongName, name);
                folded = library::foldText(name, true);
            },
            error))
        return std::nullopt;
    NameIndex index;
    std::vector<int> candidates;
    if (loose && index.open(path, stamp) && candidatesOf(index, *loose, candidates))
        return candidates;
    return std::nullopt;
}

} // namespace

QString indexPathOf(const std::string &catalogue)
{
    const QFileInfo info(QString::fromStdString(catalogue));
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".index");
}

SearchRecords openForSearch(const std::string &file, const library::Matcher *loose, Volumes &volumes,
                            std::string &error)
{
    // Taken before the file is read, so that a change while it is read makes the index stale.
    SourceStamp stamp;
    const bool stamped = stampOf(file, stamp);
    NameIndex index;
    const bool indexed = stamped && index.open(indexPathOf(file), stamp);
    std::vector<int> candidates;
    if (indexed && loose && candidatesOf(index, *loose, candidates)) {
        if (auto some = cataloguefile::openRows(file, candidates, error, &volumes))
            return {std::move(some), std::nullopt};
        volumes = {};
    }
    SearchRecords all{cataloguefile::open(file, error, &volumes), std::nullopt};
    if (all.records && stamped && !indexed)
        all.positions = writeIndex(file, stamp, *all.records, loose);
    return all;
}

} // namespace findindex
