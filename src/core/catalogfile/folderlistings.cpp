#include "catalogfile/folderlistings.h"

#include "catalogfile/readshared.h"
#include "catalogue/layouts.h"

#include <climits>
#include <xxhash.h>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Stmt;

// The listings' sum is that of their rows: a row's own can be taken out and put back.
constexpr const char *kListingSchema = R"sql(
CREATE TABLE folder_listings(seq INTEGER PRIMARY KEY, volume INTEGER NOT NULL, path BLOB NOT NULL,
    inode INTEGER NOT NULL, modified_ns INTEGER NOT NULL, changed_ns INTEGER NOT NULL, entries BLOB NOT NULL,
    entries_sum INTEGER);
CREATE TABLE folder_listings_sum(checksum INTEGER NOT NULL);
)sql";

} // namespace

std::uint64_t listingRowSum(qint64 seq, const FolderListing &l, std::string_view entries)
{
    const std::uint64_t words[] = {std::uint64_t(seq),
                                   std::uint64_t(l.volume),
                                   l.stamp.inode,
                                   std::uint64_t(l.stamp.modifiedNs),
                                   std::uint64_t(l.stamp.changedNs),
                                   l.summed ? l.sum : 0,
                                   std::uint64_t(l.summed),
                                   l.path.size()};
    std::string bytes(reinterpret_cast<const char *>(words), sizeof words);
    bytes.append(l.path).append(entries);
    return XXH3_64bits(bytes.data(), bytes.size());
}

void writeListings(Db &db, const Volumes &volumes, const RecordSet &records)
{
    if (volumes.listings.empty())
        return;
    db.exec(kListingSchema);
    Stmt st(db, "INSERT INTO folder_listings VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    // Records put in another order are no longer a walk's: their folders will be listed anew.
    const bool walkOrder = records.sort().isEmpty();
    std::string expanded;
    qint64 seq = 0;
    std::uint64_t total = 0;
    for (const FolderListing &l : volumes.listings) {
        if (l.firstFile >= 0 && !(walkOrder && l.withFileNames(records, expanded)))
            continue;
        const std::string &entries = l.firstFile >= 0 ? expanded : l.entries;
        // A listing too long to be read back is left out: its directory is listed anew.
        if (entries.size() > sqlitedb::kMaxBlobBytes)
            continue;
        total += listingRowSum(++seq, l, entries);
        st.bind(1, seq);
        st.bind(2, qint64(l.volume) + 1);
        st.bindBlob(3, l.path);
        st.bind(4, qint64(l.stamp.inode));
        st.bind(5, qint64(l.stamp.modifiedNs));
        st.bind(6, qint64(l.stamp.changedNs));
        st.bindBlob(7, entries);
        if (l.summed)
            st.bind(8, qint64(l.sum));
        else
            st.bindNull(8);
        st.run();
    }
    Stmt sum(db, "INSERT INTO folder_listings_sum VALUES (?)");
    sum.bind(1, qint64(total));
    sum.run();
}

namespace {

// The listings, in walk order, and whether their sum (where the file keeps one) is right.
bool readRows(Db &db, std::vector<FolderListing> &out)
{
    // Files of the version before sums were kept have no sums.
    Stmt hasSums(db, "SELECT count(*) FROM pragma_table_info('folder_listings') WHERE name = 'entries_sum'");
    const std::string sums = hasSums.step() && hasSums.integer(0) == 1 ? "entries_sum" : "NULL";
    Stmt st(db, ("SELECT volume, path, inode, modified_ns, changed_ns, entries, " + sums +
                 ", seq FROM folder_listings ORDER BY seq")
                    .c_str());
    std::uint64_t total = 0;
    while (st.step()) {
        const bool summed = !st.isNull(6);
        out.push_back({int(st.integerIn(0, 1, INT_MAX) - 1), std::string(st.blob(1)),
                       DirStamp{std::uint64_t(st.integer(2)), st.integer(3), st.integer(4)}, std::string(st.blob(5)),
                       -1, summed ? std::uint64_t(st.integer(6)) : 0, summed});
        total += listingRowSum(st.integer(7), out.back(), out.back().entries);
    }
    // Files of the version before have no sum of the listings either.
    if (!hasTables(db, "'folder_listings_sum'", 1))
        return true;
    Stmt kept(db, "SELECT checksum FROM folder_listings_sum");
    return kept.step() && std::uint64_t(kept.integer(0)) == total;
}

} // namespace

bool readListings(const std::string &path, std::vector<FolderListing> &out, Volumes &volumes, std::string &error,
                  bool *damaged)
{
    try {
        RecordSet layout;
        CreateRecordSet(layout);
        Db db;
        beginRead(db, path, layout);
        (void)readVolumeList(db, volumes);
        if (!hasTables(db, "'folder_listings'", 1))
            return true;
        if (!readRows(db, out)) {
            out.clear();
            if (damaged)
                *damaged = true;
        }
        return true;
    } catch (const std::exception &e) {
        error = e.what();
        return false;
    }
}

} // namespace cataloguefile
