#include "catalogued.h"

#include "catalogfile/cataloguefile.h"
#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "hits.h"
#include "inputs.h"
#include "library/library.h"
#include "output.h"

#include <thread>

namespace trv {

std::string Catalogued::pathOf(const CataloguedFile &f) const
{
    const RecordSet &rs = *catalogues[f.catalogue].records;
    std::string folder, name;
    rs.exactAt(f.pos, fld::Path, folder);
    rs.exactAt(f.pos, fld::LongName, name);
    return folder + name;
}

const Volume *Catalogued::volumeOf(const CataloguedFile &f) const
{
    const Catalogue &c = catalogues[f.catalogue];
    return trv::volumeOf(*c.records, f.pos, c.volumes);
}

std::string Catalogued::fileSystemOf(const CataloguedFile &f) const
{
    const Volume *v = volumeOf(f);
    if (!v)
        return "file " + catalogues[f.catalogue].file; // an older file: its walk is all it says
    return v->uuid.empty() ? v->deviceNumber + " " + v->mountPoint : v->uuid;
}

std::optional<content::Digest> Catalogued::storedFor(const CataloguedFile &f, const std::string &path,
                                                     const content::Stamp &s) const
{
    const auto &digests = catalogues[f.catalogue].digests;
    const auto it = digests.find(cataloguefile::pathKey(path));
    content::Digest d;
    if (it == digests.end() || it->second.size != s.size || it->second.modifiedNs != s.modifiedNs ||
        it->second.inode != s.inode || !digestFromBytes(it->second.digest, d))
        return std::nullopt;
    return d;
}

Catalogued loadCatalogued(const std::vector<std::string> &inputs, bool digests)
{
    Catalogued out;
    const std::vector<std::string> files = libraryFiles(inputs, out.skipped);
    library::OnlineVolumes online;
    std::string error;
    for (const std::string &file : files) {
        Catalogue c{file, nullptr, {}, {}};
        // The digests are read on another core while the records are.
        std::string digestError;
        bool digestsRead = true;
        std::thread reader;
        if (digests)
            reader = std::thread([&] { digestsRead = cataloguefile::HashStore::load(file, c.digests, digestError); });
        c.records = cataloguefile::open(file, error, &c.volumes);
        if (reader.joinable())
            reader.join();
        if (!digestsRead && c.records)
            error = digestError;
        if (!c.records || !digestsRead) {
            complain("skipped '%s': %s", file.c_str(), error.c_str());
            out.skipped = true;
            continue;
        }
        const auto index = std::uint32_t(out.catalogues.size());
        for (int pos = 0; pos < c.records->count(); ++pos) {
            const Volume *v = trv::volumeOf(*c.records, pos, c.volumes);
            // A file that does not record volumes was walked here: its paths are tried.
            out.files.push_back({index, pos, c.records->integerAt(pos, fld::Size), !v || online.online(*v)});
        }
        out.catalogues.push_back(std::move(c));
    }
    return out;
}

// Big-endian, high half first: XXH128's canonical form, the same on every machine.
std::array<unsigned char, 16> digestBytes(const content::Digest &d)
{
    std::array<unsigned char, 16> out{};
    for (std::size_t i = 0; i < 8; ++i) {
        out[i] = static_cast<unsigned char>(d.high >> (56 - 8 * i));
        out[8 + i] = static_cast<unsigned char>(d.low >> (56 - 8 * i));
    }
    return out;
}

bool digestFromBytes(const std::array<unsigned char, 16> &bytes, content::Digest &out)
{
    out = {};
    for (std::size_t i = 0; i < 8; ++i) {
        out.high = out.high << 8 | bytes[i];
        out.low = out.low << 8 | bytes[8 + i];
    }
    return out.high != 0 || out.low != 0;
}

} // namespace trv
