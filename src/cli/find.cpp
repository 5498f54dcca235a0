// trv find [OPTIONS] PATTERN [FILE|FOLDER...]: the records of the library, or of the
// catalogue files and folders named, whose name (or path) matches.
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "commands.h"
#include "findindex/searchopen.h"
#include "hits.h"
#include "inputs.h"
#include "library/filters.h"
#include "library/library.h"
#include "library/matcher.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::string pattern, size, modified;
    std::vector<std::string> inputs, extensions;
    bool path = false, regex = false, exactCase = false, json = false, csv = false;
    long long limit = 0;
};

// What one search asks, and what it has found so far.
struct Search {
    const library::Matcher &matcher;
    const library::Filters &filters;
    bool path;
    long long limit, hits = 0;
    HitWriter writer;
    library::OnlineVolumes online;
};

std::optional<QDate> modifiedDay(const RecordSet &records, int pos)
{
    int month = 0, day = 0, year = 0;
    if (std::sscanf(records.utf8At(pos, fld::Modified).c_str(), "%2d/%2d/%4d", &month, &day, &year) != 3)
        return std::nullopt;
    const QDate d(year, month, day);
    return d.isValid() ? std::optional(d) : std::nullopt;
}

// Appends the hits of one catalogue file to out.
void searchCatalogue(Search &s, const std::string &file, const RecordSet &records, const Volumes &volumes,
                     std::string &out)
{
    std::string name, folder;
    for (int pos = 0; pos < records.count() && (s.limit == 0 || s.hits < s.limit); ++pos) {
        records.exactAt(pos, fld::LongName, name);
        if (s.path)
            records.exactAt(pos, fld::Path, folder);
        if (!s.matcher.matches(s.path ? folder + name : name) ||
            !s.filters.accepts(records.integerAt(pos, fld::Size), modifiedDay(records, pos), name))
            continue;
        const Volume *volume = volumeOf(records, pos, volumes);
        s.writer.append(out, records, pos, {file, volume, volume && s.online.online(*volume)});
        ++s.hits;
    }
}

bool parseFilters(const Arguments &a, library::Filters &filters)
{
    if (!a.size.empty() && !filters.setSize(a.size)) {
        complain("--size takes +N, -N, N or N..M, N with k, M, G or T: '%s'", a.size.c_str());
        return false;
    }
    if (!a.modified.empty() && !filters.setModified(a.modified)) {
        complain("--modified takes YYYY-MM-DD..YYYY-MM-DD, either end left out: '%s'", a.modified.c_str());
        return false;
    }
    for (const std::string &e : a.extensions)
        filters.extensions.push_back(library::foldText(e.starts_with('.') ? e.substr(1) : e, true));
    return true;
}

bool validPattern(const library::Matcher &matcher)
{
    std::string error;
    if (!matcher.valid(error))
        complain("not a regular expression: %s", error.c_str());
    return error.empty();
}

int find(const Arguments &a)
{
    library::Filters filters;
    const library::Matcher matcher(a.pattern, a.regex, a.exactCase);
    // What the index is searched with: its names are folded with case aside.
    const library::Matcher loose(a.pattern, a.regex, false);
    std::string error;
    if (!parseFilters(a, filters) || !validPattern(matcher))
        return kError;
    bool skipped = false, written = true;
    const std::vector<std::string> files = libraryFiles(a.inputs, skipped);
    Search s{matcher, filters, a.path, a.limit, 0, HitWriter(a.json ? Form::Json : a.csv ? Form::Csv : Form::Text), {}};
    std::string out;
    s.writer.begin(out);
    for (const std::string &file : files) {
        if (a.limit && s.hits >= a.limit)
            break;
        Volumes volumes;
        const std::unique_ptr<RecordSet> records =
            findindex::openForSearch(file, a.path ? nullptr : &loose, volumes, error);
        if (!records) {
            complain("skipped '%s': %s", file.c_str(), error.c_str());
            skipped = true;
            continue;
        }
        searchCatalogue(s, file, *records, volumes, out);
        // Each file's hits are out before the next file is read.
        written = write(out) && std::fflush(stdout) == 0 && written;
        out.clear();
    }
    const int status = printed(written && write(out), "hits");
    if (status != kSuccess)
        return status;
    return s.hits > 0 ? kSuccess : skipped ? kError : kFailed;
}

Run define(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    command.add_option("PATTERN", a->pattern)->required();
    command.add_option("FILE", a->inputs);
    command.add_flag("--path", a->path);
    command.add_flag("--regex", a->regex);
    command.add_flag("--case", a->exactCase);
    command.add_option("--size", a->size);
    command.add_option("--modified", a->modified);
    // Each --ext takes one value, so that the pattern after it stays the pattern.
    command.add_option("--ext", a->extensions)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command.add_option("--limit", a->limit)->check(CLI::PositiveNumber);
    command.add_flag("--json", a->json)->excludes(command.add_flag("--csv", a->csv));
    return [a] { return find(*a); };
}

} // namespace

constinit const Command findCommand{
    "find",
    "usage: trv find [--path] [--regex] [--case] [--size S] [--modified D..D] [--ext E]...\n"
    "                [--limit N] [--json|--csv] PATTERN [FILE|FOLDER...]\n"
    "  Prints the records of the catalogue files whose name (with --path, whole path)\n"
    "  holds PATTERN, matches it as a shell pattern when it holds * ? or [, or as a\n"
    "  regular expression with --regex; case and accents aside unless --case. Searches\n"
    "  the library (~/Documents/Tarvolo) unless given files or folders. Each hit: volume\n"
    "  label, online or offline, path, size, modified. Exit 0 with hits, 1 without.\n",
    define,
};

} // namespace trv
