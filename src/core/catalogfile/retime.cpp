#include "catalogfile/retime.h"

#include "catalogfile/cataloguereader.h"
#include "catalogfile/filerows.h"
#include "catalogfile/folderlistings.h"
#include "catalogfile/readshared.h"

#include <initializer_list>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

// The files a kept listing names: entries of kind 'f', each ended by a NUL.
qint64 filesIn(const std::string &entries)
{
    qint64 files = 0;
    for (std::size_t at = 0; at < entries.size();) {
        const std::size_t end = entries.find('\0', at);
        if (end == std::string::npos)
            throw Failure("its folder listings are damaged");
        files += entries[at] == 'f';
        at = end + 1;
    }
    return files;
}

// The row (from 1) of each retimed folder's first file.
std::vector<qint64> firstRows(const std::vector<FolderListing> &listings, const RetimedFolders &retimed)
{
    std::vector<qint64> out;
    qint64 row = 1;
    for (std::size_t l = 0; l < listings.size() && out.size() < retimed.listings.size(); ++l) {
        const qint64 files = filesIn(listings[l].entries);
        const std::size_t k = out.size();
        if (l == retimed.listings[k]) {
            if (files != retimed.first[k + 1] - retimed.first[k])
                throw Failure("a folder holds other files than its listing");
            out.push_back(row);
        }
        row += files;
    }
    if (out.size() != retimed.listings.size())
        throw Failure("a folder listed anew is not one of the file's");
    return out;
}

bool same(const Cell &a, const Cell &b)
{
    return a.kind == b.kind && (a.kind == Cell::Integer ? a.integer == b.integer : a.text == b.text);
}

bool same(const Cell *kept, const Cell *now, std::initializer_list<int> columns)
{
    for (const int c : columns)
        if (!same(kept[c], now[c]))
            return false;
    return true;
}

// A file keeps its names, folder and extension; the rest is what may have changed.
constexpr std::initializer_list<int> kNames = {Name, NameBlanks, Short, ShortBlanks, Extension};
constexpr std::initializer_list<int> kValues = {Modified, Created, Accessed, Size, DateKey};

// The records' sum with the new values in place of the kept, once every kept row is checked;
// how many rows' values change.
qint64 newSum(Db &db, const std::vector<qint64> &rows, const RetimedFolders &retimed, qint64 &changed)
{
    FileRows fresh(retimed.records);
    Checksum sum;
    qint64 row = 0;
    std::size_t k = 0; // the first folder whose rows are not all behind
    eachCheckedRow(db, [&](const Cell *kept, std::string_view folder) {
        ++row;
        while (k < rows.size() && row >= rows[k] + (retimed.first[k + 1] - retimed.first[k]))
            ++k;
        if (k == rows.size() || row < rows[k])
            return sum.addRow(kept, folder);
        const auto &now = fresh.row(retimed.first[k] + int(row - rows[k]));
        if (!same(kept, now.data(), kNames) || fresh.folder() != folder)
            throw Failure("its rows are not those of the folders it lists");
        changed += !same(kept, now.data(), kValues);
        sum.addRow(now.data(), folder);
    });
    return sum.value();
}

void writeRows(Db &db, const std::vector<qint64> &rows, const RetimedFolders &retimed)
{
    FileRows fresh(retimed.records);
    Stmt st(db, "UPDATE files SET modified = ?2, created = ?3, accessed = ?4, size = ?5, datekey = ?6 "
                "WHERE rowid = ?1");
    for (std::size_t k = 0; k < rows.size(); ++k) {
        for (int pos = retimed.first[k]; pos < retimed.first[k + 1]; ++pos) {
            const auto &row = fresh.row(pos);
            st.bind(1, rows[k] + (pos - retimed.first[k]));
            int c = 2;
            for (const int column : kValues)
                st.bind(c++, row[std::size_t(column)]);
            st.run();
        }
    }
    writeFractions(db, fresh);
}

// The listings' new sums, and the sum of the listings with them, where the file keeps it.
void writeSums(Db &db, const std::vector<FolderListing> &listings, const RetimedFolders &retimed)
{
    // Listings are numbered from 1 in walk order.
    Stmt st(db, "UPDATE folder_listings SET entries_sum = ?2 WHERE seq = ?1 AND path = ?3");
    std::uint64_t added = 0, removed = 0;
    for (std::size_t k = 0; k < retimed.listings.size(); ++k) {
        const std::size_t l = retimed.listings[k];
        st.bind(1, qint64(l) + 1);
        st.bind(2, qint64(retimed.sums[k]));
        st.bindBlob(3, listings[l].path);
        st.run();
        if (sqlite3_changes(db.handle()) != 1)
            throw Failure("its folder listings are not those read");
        FolderListing now = listings[l];
        now.sum = retimed.sums[k], now.summed = true;
        removed += listingRowSum(qint64(l) + 1, listings[l], listings[l].entries);
        added += listingRowSum(qint64(l) + 1, now, now.entries);
    }
    Stmt total(db, "SELECT checksum FROM folder_listings_sum");
    if (!hasTables(db, "'folder_listings_sum'", 1) || !total.step())
        return;
    Stmt put(db, "UPDATE folder_listings_sum SET checksum = ?");
    put.bind(1, qint64(std::uint64_t(total.integer(0)) - removed + added));
    total.reset();
    put.run();
}

} // namespace

qint64 retimeRows(Db &db, const std::vector<FolderListing> &listings, const RetimedFolders &retimed)
{
    const std::vector<qint64> rows = firstRows(listings, retimed);
    qint64 changed = 0;
    const qint64 sum = newSum(db, rows, retimed, changed);
    writeRows(db, rows, retimed);
    Stmt total(db, "UPDATE catalogue SET checksum = ?");
    total.bind(1, sum);
    total.run();
    writeSums(db, listings, retimed);
    return changed;
}

} // namespace cataloguefile
