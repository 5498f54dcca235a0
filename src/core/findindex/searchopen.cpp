#include "findindex/searchopen.h"

#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "findindex/nameindex.h"

#include <QFileInfo>
#include <algorithm>
#include <unistd.h>
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

// Makes the index of the file from a stream of its records, a batch at a time, so that the
// whole catalogue is never in memory; false with the reason where the file cannot be read.
bool indexFile(const std::string &file, const SourceStamp &stamp, bool &written, std::string &error)
{
    IndexWriter writer;
    std::string name;
    const bool read = cataloguefile::streamRecords(
        file, 4096,
        [&](RecordSet &batch) {
            for (int pos = 0; pos < batch.count(); ++pos) {
                batch.exactAt(pos, fld::LongName, name);
                (void)writer.add(library::foldText(name, true));
            }
        },
        error);
    QString ignored;
    written = read && writer.commit(indexPathOf(file), stamp, ignored);
    return read;
}

// Whether an index may be made beside the file.
bool mayIndex(const std::string &file)
{
    return ::access(QFileInfo(QString::fromStdString(file)).path().toLocal8Bit().constData(), W_OK) == 0;
}

} // namespace

QString indexPathOf(const std::string &catalogue)
{
    const QFileInfo info(QString::fromStdString(catalogue));
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".index");
}

std::unique_ptr<RecordSet> openForSearch(const std::string &file, const library::Matcher *loose, Volumes &volumes,
                                         std::string &error)
{
    // Taken before the file is read, so that a change while it is read makes the index stale.
    SourceStamp stamp;
    const bool stamped = stampOf(file, stamp);
    NameIndex index;
    // A search of whole paths reads every record: it neither uses an index nor makes one.
    bool indexed = stamped && loose && index.open(indexPathOf(file), stamp);
    if (!indexed && stamped && loose && mayIndex(file)) {
        bool written = false;
        if (!indexFile(file, stamp, written, error))
            return nullptr;
        indexed = written && index.open(indexPathOf(file), stamp);
    }
    std::vector<int> candidates;
    if (indexed && candidatesOf(index, *loose, candidates)) {
        if (auto some = cataloguefile::openRows(file, candidates, error, &volumes))
            return some;
        volumes = {};
    }
    return cataloguefile::open(file, error, &volumes);
}

} // namespace findindex
