#include "catalogfile/cataloguerows.h"

#include "catalogfile/exactcodec.h"
#include "catalogfile/readshared.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"

#include <array>
#include <climits>
#include <optional>

namespace cataloguefile {
namespace {

using sqlitedb::Db;
using sqlitedb::Failure;
using sqlitedb::Stmt;

// One table of exact values read at any index: the blob that holds it, the values before it
// passed over. Indexes asked for in ascending order reuse the blob.
class ExactAt {
public:
    ExactAt(Db &db, const char *select) : m_st(db, select) {}
    // The value of the `index`th (from 1) value, whose field is `field`; false for none.
    bool take(qint64 index, std::string_view field, std::string &exact)
    {
        if ((index < m_next || !skipTo(index)) && !(load(index) && skipTo(index)))
            return false;
        bool has = false;
        if (!exactcodec::take(m_rest, field, has, exact))
            return m_rest = {}, false;
        ++m_next;
        return has;
    }

private:
    bool load(qint64 index)
    {
        m_st.reset();
        m_st.bind(1, index);
        m_rest = {};
        if (!m_st.step())
            return false;
        m_next = m_st.integer(0);
        m_blob.assign(m_st.blob(1));
        m_rest = m_blob;
        return true;
    }
    bool skipTo(qint64 index)
    {
        for (; m_next < index; ++m_next)
            if (m_rest.empty() || !exactcodec::skip(m_rest))
                return false;
        return !m_rest.empty();
    }

    Stmt m_st;
    std::string m_blob;
    std::string_view m_rest; // of m_blob, from value m_next on
    qint64 m_next = 0;
};

// The folders of the rows read, registered with the record set as they are first met.
class FolderMap {
public:
    FolderMap(Db &db, bool exact, SharedTextColumn &folders)
        : m_path(db, "SELECT path FROM folders WHERE id = ?"), m_folders(folders)
    {
        // Alone in its statement, a maximum of the key is one step down the tree.
        Stmt top(db, "SELECT coalesce(max(id), 0) FROM folders");
        if (!top.step())
            throw Failure("its folder table is damaged");
        ids.assign(std::size_t(top.integerIn(0, 0, INT_MAX - 1)), kNone);
        if (exact)
            m_exact.emplace(db, "SELECT first, paths FROM exact_folders WHERE first <= ? ORDER BY first DESC LIMIT 1");
    }
    // Registers the row's folder; the file's number of it is checked by the record builder.
    void need(const Cell &folder)
    {
        if (folder.kind != Cell::Integer || folder.integer < 1 || folder.integer > qint64(ids.size()) ||
            ids[std::size_t(folder.integer - 1)] != kNone)
            return;
        m_path.reset();
        m_path.bind(1, folder.integer);
        if (!m_path.step())
            throw Failure("its folder table is damaged");
        const std::string path(m_path.text(0));
        const bool exact =
            m_exact && m_exact->take(folder.integer, path, m_value) && values::pathValue(m_value) == path;
        ids[std::size_t(folder.integer - 1)] = exact ? m_folders.idOfExact(m_value, path) : m_folders.idOf(path);
        met.push_back(folder.integer);
    }

    static constexpr std::uint32_t kNone = UINT32_MAX;
    std::vector<std::uint32_t> ids; // the file's folder numbers, less one, to the record set's
    std::vector<qint64> met;        // the file's numbers of the folders registered

private:
    Stmt m_path;
    SharedTextColumn &m_folders;
    std::optional<ExactAt> m_exact;
    std::string m_value;
};

void readVolumesOf(Db &db, const FolderMap &folders, std::size_t count, Volumes &out)
{
    if (!readVolumeList(db, out))
        return;
    out.folderVolume.assign(count, -1);
    Stmt tie(db, "SELECT volume FROM folder_volumes WHERE folder = ?");
    for (const qint64 folder : folders.met) {
        tie.reset();
        tie.bind(1, folder);
        if (tie.step())
            out.folderVolume[folders.ids[std::size_t(folder - 1)]] =
                int(tie.integerIn(0, 1, qint64(out.list.size())) - 1);
    }
}

// Positions index the rows in rowid order; that holds while the rowids are 1 to the count.
// Each extreme is asked for alone, so that it is one step down the tree and not a scan.
void checkRowids(Db &db)
{
    auto one = [&db](const char *sql) {
        Stmt st(db, sql);
        return st.step() ? st.integer(0) : -1;
    };
    const qint64 records = one("SELECT records FROM catalogue");
    if (one("SELECT min(rowid) FROM files") != (records > 0 ? 1 : 0) || one("SELECT max(rowid) FROM files") != records)
        throw Failure("it changed since it was indexed");
}

} // namespace

void readRows(const std::string &path, const std::vector<int> &positions, RecordSet &out, Volumes *volumes)
{
    Db db;
    beginRead(db, path, out);
    checkRowids(db);
    const bool exact = hasTables(db, "'exact_names', 'exact_folders', 'exact_sum'", 3);
    FolderMap folders(db, exact, *out.sharedValues(fld::Path));
    std::optional<ExactAt> names;
    if (exact)
        names.emplace(db, "SELECT first, names FROM exact_names WHERE first <= ? ORDER BY first DESC LIMIT 1");
    RecordBuilder builder(out, folders.ids);
    Stmt st(db, "SELECT name, name_blanks, short, short_blanks, folder, modified, created, accessed, size, datekey, "
                "extension FROM files WHERE rowid = ?");
    std::array<Cell, kFileColumns> row;
    std::string name, derived;
    for (const int pos : positions) {
        st.reset();
        st.bind(1, qint64(pos) + 1);
        if (!st.step())
            throw Failure("it changed since it was indexed");
        for (int c = 0; c < kFileColumns; ++c)
            row[std::size_t(c)] = st.cell(c);
        folders.need(row[Folder]);
        const std::size_t blanks = std::size_t(integerIn(row[NameBlanks], 0, kMaxBlanks));
        const bool hasExact = names && names->take(qint64(pos) + 1, textOf(row[Name]), name) &&
                              givesLongName(name, row[Name].text, blanks, derived);
        builder.record(row.data(), hasExact ? &name : nullptr);
    }
    if (volumes)
        readVolumesOf(db, folders, out.sharedValues(fld::Path)->count(), *volumes);
    db.exec("COMMIT");
}

} // namespace cataloguefile
