// A library for the find benchmark: catalogue files of synthetic records, saved as the
// program saves them, and every path of them a line of a text file for the tools we are
// measured against (plocate-build --plaintext, grep -F).
// Usage: makelibrary FOLDER [FILES] [RECORDS PER FILE]   (default 10 and 1,000,000)

#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "measure.h"
#include "synthetic.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: makelibrary FOLDER [FILES] [RECORDS PER FILE]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 10, records = argc > 3 ? std::atoi(argv[3]) : 1'000'000;
    std::FILE *names = std::fopen((folder + "/names.txt").c_str(), "w");
    if (!names)
        return 2;
    double saving = 0;
    std::string error, path, name;
    for (int f = 0; f < files; ++f) {
        RecordSet rs;
        CreateRecordSet(rs);
        fillSyntheticCatalogue(rs, records, 42 + unsigned(f));
        char file[32];
        std::snprintf(file, sizeof file, "/disk-%02d.trv", f);
        bool ok = true;
        saving += millis([&] { ok = cataloguefile::save(rs, folder + file, error) != atomicfile::Outcome::Failed; });
        if (!ok) {
            std::fprintf(stderr, "save failed: %s\n", error.c_str());
            return 1;
        }
        for (int pos = 0; pos < rs.count(); ++pos) {
            rs.exactAt(pos, fld::Path, path);
            rs.exactAt(pos, fld::LongName, name);
            std::fprintf(names, "%s%s\n", path.c_str(), name.c_str());
        }
    }
    std::fclose(names);
    std::printf("saved %d files of %d records in %.0f ms\n", files, records, saving);
    return 0;
}
