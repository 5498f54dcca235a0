// trv export [--json|--csv] FILE...: every record of the catalogue files, every field.
#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "commands.h"
#include "hits.h"
#include "library/library.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    std::vector<std::string> files;
    bool csv = false, json = false;
};

int exportFiles(const Arguments &a)
{
    HitWriter writer(a.csv ? Form::Csv : Form::Json);
    library::OnlineVolumes online;
    std::string out, error;
    bufferStdout();
    writer.begin(out);
    bool refused = false, written = true;
    for (const std::string &file : a.files) {
        Volumes volumes;
        const std::unique_ptr<RecordSet> records = cataloguefile::open(file, error, &volumes);
        if (!records) {
            complain("cannot open the catalogue file '%s': %s", file.c_str(), error.c_str());
            refused = true;
            continue;
        }
        for (int pos = 0; pos < records->count(); ++pos) {
            const Volume *volume = volumeOf(*records, pos, volumes);
            writer.append(out, *records, pos, {file, volume, volume && online.online(*volume)});
            if (out.size() > (1 << 20))
                written = write(out) && written, out.clear();
        }
    }
    const int status = printed(written && write(out), "records");
    return status != kSuccess ? status : refused ? kError : kSuccess;
}

Run define(CLI::App &command)
{
    auto a = std::make_shared<Arguments>();
    command.add_flag("--json", a->json)->excludes(command.add_flag("--csv", a->csv));
    command.add_option("FILE", a->files)->required();
    return [a] { return exportFiles(*a); };
}

} // namespace

constinit const Command exportCommand{
    "export",
    "usage: trv export [--json|--csv] FILE...\n"
    "  Writes every record of each catalogue file FILE with every field: one JSON object\n"
    "  per line (the default), or CSV with a header line.\n",
    define,
};

} // namespace trv
