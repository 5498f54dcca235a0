// trv diff [--json] OLD NEW: the records added, removed and changed (size, modification
// time) between two catalogue files, keyed by exact folder and name.
#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "commands.h"
#include "escape.h"
#include "hits.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>
#include <xxhash.h>

namespace trv {
namespace {

struct Arguments {
    std::string oldFile, newFile;
    bool json = false;
};

// A catalogue as diff keeps it, read a batch at a time: per record its folder (each kept
// once), name, size and modification time, and a key of its path to match records by.
class Side {
public:
    struct Entry {
        std::uint64_t key = 0;
        std::uint32_t folder = 0, nameAt = 0, nameSize = 0;
        bool packed = false; // modified is the record set's packed form, else where its text is
        std::uint64_t modified = 0;
        std::int64_t size = 0;
    };

    bool load(const std::string &file, std::string &error)
    {
        return cataloguefile::streamRecords(
            file, 4096, [this](RecordSet &batch) { take(batch); }, error);
    }
    std::vector<Entry> entries;

    [[nodiscard]] const std::string &folder(const Entry &e) const { return m_folders[e.folder]; }
    [[nodiscard]] std::string_view name(const Entry &e) const { return {m_texts.data() + e.nameAt, e.nameSize}; }
    [[nodiscard]] std::string path(const Entry &e) const { return folder(e) + std::string(name(e)); }
    [[nodiscard]] bool samePath(const Entry &e, const Side &other, const Entry &o) const
    {
        return name(e) == other.name(o) && folder(e) == other.folder(o);
    }
    [[nodiscard]] bool sameTime(const Entry &e, const Side &other, const Entry &o) const
    {
        return e.packed == o.packed && (e.packed ? e.modified == o.modified : modifiedText(e) == other.modifiedText(o));
    }
    [[nodiscard]] std::string modifiedText(const Entry &e) const
    {
        if (!e.packed)
            return std::string(m_texts.data() + e.modified, m_texts.find('\0', e.modified) - e.modified);
        // The packed form's text, as the grid shows it, through a record set made now and then.
        if (!m_scratch || m_scratch->count() >= 4096) {
            m_scratch = std::make_unique<RecordSet>();
            CreateRecordSet(*m_scratch);
        }
        m_scratch->addNew();
        (void)m_scratch->setPacked(fld::Modified, e.modified);
        return m_scratch->utf8At(m_scratch->count() - 1, fld::Modified);
    }

private:
    void take(RecordSet &batch)
    {
        std::string folder, name;
        for (int pos = 0; pos < batch.count(); ++pos) {
            batch.exactAt(pos, fld::Path, folder);
            batch.exactAt(pos, fld::LongName, name);
            Entry e;
            e.folder = folderId(folder);
            e.nameAt = std::uint32_t(m_texts.size()), e.nameSize = std::uint32_t(name.size());
            m_texts += name;
            e.key = XXH3_64bits_withSeed(name.data(), name.size(), m_folderKeys[e.folder]);
            e.size = batch.integerAt(pos, fld::Size);
            e.packed = batch.packedAt(pos, fld::Modified, e.modified);
            if (!e.packed) {
                e.modified = m_texts.size();
                (m_texts += batch.utf8At(pos, fld::Modified)) += '\0';
            }
            entries.push_back(e);
        }
    }
    std::uint32_t folderId(const std::string &folder)
    {
        const auto [it, added] = m_folderIds.try_emplace(folder, std::uint32_t(m_folders.size()));
        if (added) {
            m_folders.push_back(folder);
            m_folderKeys.push_back(XXH3_64bits(folder.data(), folder.size()));
        }
        return it->second;
    }

    std::vector<std::string> m_folders;
    std::vector<std::uint64_t> m_folderKeys;
    std::unordered_map<std::string, std::uint32_t> m_folderIds;
    std::string m_texts; // names, and the times that are not packed
    mutable std::unique_ptr<RecordSet> m_scratch;
};

enum class Change { Added, Removed, Changed };

struct Difference {
    Change change;
    const Side::Entry *was = nullptr, *is = nullptr;
};

// The records of each side matched by path: what only one has, and what both have unalike.
std::vector<Difference> compare(Side &oldSide, Side &newSide)
{
    auto byKey = [](const Side::Entry &a, const Side::Entry &b) { return a.key < b.key; };
    std::sort(oldSide.entries.begin(), oldSide.entries.end(), byKey);
    std::sort(newSide.entries.begin(), newSide.entries.end(), byKey);
    std::vector<Difference> out;
    std::vector<bool> matched(newSide.entries.size());
    auto n = newSide.entries.begin();
    for (const Side::Entry &o : oldSide.entries) {
        n = std::lower_bound(n, newSide.entries.end(), o, byKey);
        // Two paths of one key are told apart by their text.
        auto m = n;
        while (m != newSide.entries.end() && m->key == o.key && !oldSide.samePath(o, newSide, *m))
            ++m;
        if (m == newSide.entries.end() || m->key != o.key) {
            out.push_back({Change::Removed, &o, nullptr});
            continue;
        }
        matched[std::size_t(m - newSide.entries.begin())] = true;
        if (o.size != m->size || !oldSide.sameTime(o, newSide, *m))
            out.push_back({Change::Changed, &o, &*m});
    }
    for (std::size_t i = 0; i < matched.size(); ++i)
        if (!matched[i])
            out.push_back({Change::Added, nullptr, &newSide.entries[i]});
    return out;
}

const char *const kChangeWords[] = {"added", "removed", "changed"};

void appendDifference(std::string &out, const Side &oldSide, const Side &newSide, const Difference &d, bool json)
{
    const Side &side = d.is ? newSide : oldSide;
    const Side::Entry &e = d.is ? *d.is : *d.was;
    std::vector<std::pair<const char *, std::string>> values;
    if (d.was) {
        values.emplace_back(d.is ? "old_size" : "size", std::to_string(d.was->size));
        values.emplace_back(d.is ? "old_modified" : "modified", oldSide.modifiedText(*d.was));
    }
    if (d.is) {
        values.emplace_back("size", std::to_string(d.is->size));
        values.emplace_back("modified", newSide.modifiedText(*d.is));
    }
    if (!json) {
        out += kChangeWords[int(d.change)];
        out += '\t';
        appendEscaped(out, side.path(e));
        for (const auto &[key, text] : values)
            (out += '\t') += text;
        out += '\n';
        return;
    }
    std::string path;
    const bool escaped = appendReversible(path, side.path(e));
    out += std::string("{\"change\":\"") + kChangeWords[int(d.change)] + "\",\"path\":";
    appendJsonString(out, path);
    out += escaped ? ",\"escaped\":true" : ",\"escaped\":false";
    for (const auto &[key, text] : values) {
        out += std::string(",\"") + key + "\":";
        std::string_view(key).ends_with("size") ? (void)(out += text) : appendJsonString(out, text);
    }
    out += "}\n";
}

void appendSummary(std::string &out, const std::vector<Difference> &differences, bool json)
{
    long long counts[3] = {}, bytesAdded = 0, bytesRemoved = 0;
    for (const Difference &d : differences) {
        ++counts[int(d.change)];
        bytesAdded += d.change == Change::Added ? d.is->size : 0;
        bytesRemoved += d.change == Change::Removed ? d.was->size : 0;
    }
    char line[256];
    std::snprintf(
        line, sizeof line,
        json ? "{\"added\":%lld,\"removed\":%lld,\"changed\":%lld,\"bytes_added\":%lld,\"bytes_removed\":%lld}\n"
             : "%lld added, %lld removed, %lld changed; %lld bytes added, %lld bytes removed\n",
        counts[0], counts[1], counts[2], bytesAdded, bytesRemoved);
    out += line;
}

int diff(const Arguments &a)
{
    Side oldSide, newSide;
    std::string oldError, newError;
    // One core reads each file.
    bool oldRead = false;
    std::thread reader([&] { oldRead = oldSide.load(a.oldFile, oldError); });
    const bool newRead = newSide.load(a.newFile, newError);
    reader.join();
    for (auto [read, file, error] :
         {std::tuple(oldRead, &a.oldFile, &oldError), std::tuple(newRead, &a.newFile, &newError)})
        if (!read)
            complain("cannot open the catalogue file '%s': %s", file->c_str(), error->c_str());
    if (!oldRead || !newRead)
        return kError;
    std::vector<Difference> differences = compare(oldSide, newSide);
    std::sort(differences.begin(), differences.end(), [&](const Difference &x, const Difference &y) {
        const Side &sx = x.is ? newSide : oldSide, &sy = y.is ? newSide : oldSide;
        const Side::Entry &ex = x.is ? *x.is : *x.was, &ey = y.is ? *y.is : *y.was;
        return std::pair(std::string_view(sx.folder(ex)), sx.name(ex)) <
               std::pair(std::string_view(sy.folder(ey)), sy.name(ey));
    });
    bufferStdout();
    std::string out;
    bool written = true;
    for (const Difference &d : differences) {
        appendDifference(out, oldSide, newSide, d, a.json);
        if (out.size() > (1 << 20))
            written = write(out) && written, out.clear();
    }
    appendSummary(out, differences, a.json);
    const int status = printed(written && write(out), "differences");
    return status != kSuccess ? status : differences.empty() ? kSuccess : kFailed;
}

Run define(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    command.add_option("OLD", a->oldFile)->required();
    command.add_option("NEW", a->newFile)->required();
    command.add_flag("--json", a->json);
    return [a] { return diff(*a); };
}

} // namespace

constinit const Command diffCommand{
    "diff",
    "usage: trv diff [--json] OLD NEW\n"
    "  Prints the records added, removed and changed (size, modification time) from catalogue\n"
    "  file OLD to NEW, by exact folder and name, and a summary line. Exit 0 when they are\n"
    "  alike, 1 when they differ.\n",
    define,
};

} // namespace trv
