// trv dups [--by name|size|content] [--min-size N] [--empty] [--verify] [--json] [FILE|FOLDER...]:
// groups of duplicate files across the library, most wasted space first.
#include "commands.h"
#include "dupgroups.h"
#include "escape.h"
#include "hits.h"
#include "library/filters.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::vector<std::string> inputs;
    DupRule rule = DupRule::Name;
    std::string minSize;
    bool empty = false, verify = false, json = false;
};

void appendFileJson(std::string &out, const Catalogued &lib, const CataloguedFile &f)
{
    const Volume *v = lib.volumeOf(f);
    out += "{\"catalogue\":";
    appendJsonString(out, lib.catalogues[f.catalogue].file);
    out += ",\"volume\":";
    appendJsonString(out, v ? v->label : std::string());
    out += f.online ? ",\"online\":true,\"path\":" : ",\"online\":false,\"path\":";
    std::string path;
    const bool escaped = appendReversible(path, lib.pathOf(f));
    appendJsonString(out, path);
    out += ",\"escaped\":" + std::string(escaped ? "true" : "false") + ",\"size\":" + std::to_string(f.size) + "}";
}

void appendGroup(std::string &out, const Catalogued &lib, const DupGroup &g, bool json)
{
    if (json) {
        out += "{\"size\":" + std::to_string(g.size) + ",\"wasted\":" + std::to_string(g.wasted) +
               ",\"verified\":" + (g.verified ? "true" : "false") + ",\"files\":[";
        for (std::size_t m = 0; m < g.members.size(); ++m) {
            out += m ? "," : "";
            appendFileJson(out, lib, lib.files[g.members[m]]);
        }
        out += "]}\n";
        return;
    }
    out += std::to_string(g.members.size()) + " files, " +
           (g.size >= 0 ? std::to_string(g.size) + " bytes each, " : std::string()) + std::to_string(g.wasted) +
           " bytes wasted" + (g.verified ? "" : ", unverified (a volume is not mounted)") + "\n";
    for (const std::size_t m : g.members) {
        const CataloguedFile &f = lib.files[m];
        const Volume *v = lib.volumeOf(f);
        appendEscaped(out, v ? v->label : std::string());
        out += f.online ? "\tonline\t" : "\toffline\t";
        appendEscaped(out, lib.pathOf(f));
        out += '\n';
    }
    out += '\n';
}

void appendSummary(std::string &out, const std::vector<DupGroup> &groups, bool json)
{
    std::size_t files = 0;
    ByteTotal wasted = 0;
    for (const DupGroup &g : groups)
        files += g.members.size(), wasted += g.wasted;
    const std::string g = std::to_string(groups.size()), f = std::to_string(files), w = decimal(wasted);
    out += json ? "{\"groups\":" + g + ",\"files\":" + f + ",\"wasted\":" + w + "}\n"
                : g + " groups, " + f + " files, " + w + " bytes wasted\n";
}

int dups(const Arguments &a)
{
    DupOptions options{a.rule, a.empty ? 0 : 1, a.verify};
    if (!a.minSize.empty()) {
        library::Filters size;
        if (!size.setSize("+" + a.minSize)) {
            complain("--min-size takes N with k, M, G or T: '%s'", a.minSize.c_str());
            return kError;
        }
        options.minSize = std::max(*size.minSize, options.minSize);
    }
    Catalogued lib = loadCatalogued(a.inputs, a.rule == DupRule::Content);
    const std::vector<DupGroup> groups =
        a.rule == DupRule::Content ? contentGroupsOf(lib, options) : catalogueGroups(lib, options);
    bufferStdout();
    std::string out;
    bool written = true;
    for (const DupGroup &g : groups) {
        appendGroup(out, lib, g, a.json);
        if (out.size() > (1 << 20))
            written = write(out) && written, out.clear();
    }
    appendSummary(out, groups, a.json);
    const int status = printed(written && write(out), "groups");
    if (status != kSuccess)
        return status;
    return !groups.empty() ? kSuccess : lib.skipped ? kError : kFailed;
}

Run define(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    const std::map<std::string, DupRule> rules{
        {"name", DupRule::Name}, {"size", DupRule::Size}, {"content", DupRule::Content}};
    command.add_option("--by", a->rule)->transform(CLI::CheckedTransformer(rules, CLI::ignore_case));
    command.add_option("--min-size", a->minSize);
    command.add_flag("--empty", a->empty);
    command.add_flag("--verify", a->verify);
    command.add_flag("--json", a->json);
    command.add_option("FILE", a->inputs);
    return [a] { return dups(*a); };
}

} // namespace

constinit const Command dupsCommand{
    "dups",
    "usage: trv dups [--by name|size|content] [--min-size N] [--empty] [--verify] [--json]\n"
    "                [FILE|FOLDER...]\n"
    "  Prints groups of duplicate files of the library (or of the catalogue files and folders\n"
    "  named), most wasted space first, and a summary: by equal long names (the default), by\n"
    "  equal size and name, or by equal content (files are read, XXH3-128; --verify compares\n"
    "  their bytes too). Empty files only with --empty. Exit 0 with groups, 1 without.\n",
    define,
};

} // namespace trv
