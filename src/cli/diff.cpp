// trv diff [--json] OLD NEW: the records added, removed and changed (size, modification
// time) between two catalogue files, keyed by exact folder and name.
#include "catalogue/columns.h"
#include "catalogue/makecolumn.h"
#include "commands.h"
#include "diffside.h"
#include "escape.h"
#include "hits.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::string oldFile, newFile;
    bool json = false;
};

enum class Change { Added, Removed, Changed };

struct Difference {
    Change change;
    const DiffSide::Entry *was = nullptr, *is = nullptr;
};

bool sameTime(const DiffSide &a, const DiffSide::Entry &x, const DiffSide &b, const DiffSide::Entry &y)
{
    return x.packed == y.packed && (x.packed ? x.modified == y.modified : a.unpackedTime(x) == b.unpackedTime(y));
}

// The records of each side matched by path, in the order of their paths: what only one
// has, and what both have unalike. Where one side holds a path twice, each is matched once.
std::vector<Difference> compare(const DiffSide &oldSide, const DiffSide &newSide)
{
    std::vector<Difference> out;
    PathOrder order(oldSide, newSide);
    const std::vector<DiffSide::Entry> &was = oldSide.entries(), &is = newSide.entries();
    std::size_t i = 0, j = 0;
    while (i < was.size() || j < is.size()) {
        const int c = i == was.size() ? 1 : j == is.size() ? -1 : order.compare(was[i], is[j]);
        if (c < 0)
            out.push_back({Change::Removed, &was[i++], nullptr});
        else if (c > 0)
            out.push_back({Change::Added, nullptr, &is[j++]});
        else if (was[i].size != is[j].size || !sameTime(oldSide, was[i], newSide, is[j]))
            out.push_back({Change::Changed, &was[i++], &is[j++]});
        else
            ++i, ++j;
    }
    return out;
}

const char *const kChangeWords[] = {"added", "removed", "changed"};

// Writes differences out as lines of text or of JSON, with no allocation per line.
class Printer {
public:
    Printer(const DiffSide &oldSide, const DiffSide &newSide, bool json) : m_old(oldSide), m_new(newSide), m_json(json)
    {
        m_packedTime->appendEmpty();
    }
    void append(std::string &out, const Difference &d);

private:
    void appendValues(std::string &out, const DiffSide &side, const DiffSide::Entry &e, bool old, bool changed);
    void appendValue(std::string &out, const char *key, std::string_view text, bool number) const;

    void modifiedText(const DiffSide &side, const DiffSide::Entry &e);

    const DiffSide &m_old, &m_new;
    bool m_json;
    std::string m_path, m_escaped, m_time;
    std::unique_ptr<Column> m_packedTime = makeColumn(Storage::DateTime); // one row, for the text of each
};

// The time's text as the grid shows it.
void Printer::modifiedText(const DiffSide &side, const DiffSide::Entry &e)
{
    if (!e.packed) {
        m_time.assign(side.unpackedTime(e));
        return;
    }
    (void)m_packedTime->setPacked(0, e.modified);
    m_packedTime->text(0, m_time);
}

void Printer::append(std::string &out, const Difference &d)
{
    const DiffSide &side = d.is ? m_new : m_old;
    side.path(d.is ? *d.is : *d.was, m_path);
    if (!m_json) {
        out += kChangeWords[int(d.change)];
        out += '\t';
        appendEscaped(out, m_path);
    } else {
        m_escaped.clear();
        const bool escaped = appendReversible(m_escaped, m_path);
        ((out += "{\"change\":\"") += kChangeWords[int(d.change)]) += "\",\"path\":";
        appendJsonString(out, m_escaped);
        out += escaped ? ",\"escaped\":true" : ",\"escaped\":false";
    }
    if (d.was)
        appendValues(out, m_old, *d.was, true, d.is != nullptr);
    if (d.is)
        appendValues(out, m_new, *d.is, false, false);
    out += m_json ? "}\n" : "\n";
}

void Printer::appendValues(std::string &out, const DiffSide &side, const DiffSide::Entry &e, bool old, bool changed)
{
    char size[24];
    const std::to_chars_result end = std::to_chars(size, size + sizeof size, e.size);
    modifiedText(side, e);
    appendValue(out, old && changed ? "old_size" : "size", std::string_view(size, std::size_t(end.ptr - size)), true);
    appendValue(out, old && changed ? "old_modified" : "modified", m_time, false);
}

void Printer::appendValue(std::string &out, const char *key, std::string_view text, bool number) const
{
    if (!m_json) {
        (out += '\t') += text;
        return;
    }
    ((out += ",\"") += key) += "\":";
    number ? (void)(out += text) : appendJsonString(out, text);
}

void appendSummary(std::string &out, const std::vector<Difference> &differences, bool json)
{
    long long counts[3] = {};
    ByteTotal bytesAdded = 0, bytesRemoved = 0;
    for (const Difference &d : differences) {
        ++counts[int(d.change)];
        bytesAdded += d.change == Change::Added ? d.is->size : 0;
        bytesRemoved += d.change == Change::Removed ? d.was->size : 0;
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  json ? "{\"added\":%lld,\"removed\":%lld,\"changed\":%lld,\"bytes_added\":%s,\"bytes_removed\":%s}\n"
                       : "%lld added, %lld removed, %lld changed; %s bytes added, %s bytes removed\n",
                  counts[0], counts[1], counts[2], decimal(bytesAdded).c_str(), decimal(bytesRemoved).c_str());
    out += line;
}

int diff(const Arguments &a)
{
    DiffSide oldSide, newSide;
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
    bufferStdout();
    std::string out;
    bool written = true;
    Printer printer(oldSide, newSide, a.json);
    for (const Difference &d : differences) {
        printer.append(out, d);
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
