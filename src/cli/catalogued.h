#pragma once
// The files of catalogue files as dups, hash and verify see them: where each is, how large it
// was when catalogued, and whether its volume is mounted now.
#include "catalogfile/hashstore.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "duplicates/contentread.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trv {

struct Catalogue {
    std::string file;
    std::unique_ptr<RecordSet> records;
    Volumes volumes;
    cataloguefile::StoredDigests digests; // loaded where asked for
};

struct CataloguedFile {
    std::uint32_t catalogue = 0; // in Catalogued::catalogues
    int pos = 0;                 // of its record there
    std::int64_t size = 0;       // as catalogued
    bool online = false;
};

struct Catalogued {
    std::vector<Catalogue> catalogues;
    std::vector<CataloguedFile> files;
    bool skipped = false; // an input or a catalogue file could not be read, and was named

    [[nodiscard]] std::string pathOf(const CataloguedFile &f) const;
    [[nodiscard]] const Volume *volumeOf(const CataloguedFile &f) const;
    // What names one file system, so that names of one inode there are one file.
    [[nodiscard]] std::string fileSystemOf(const CataloguedFile &f) const;
    // The digest kept for the file, where it was taken for the stamp given (size, time, inode).
    [[nodiscard]] std::optional<content::Digest> storedFor(const CataloguedFile &f, const std::string &path,
                                                           const content::Stamp &s) const;
};

// The catalogue files the inputs name (the library when none); one that cannot be read is
// named on standard error and skipped. With `digests`, the digests each keeps are loaded.
[[nodiscard]] Catalogued loadCatalogued(const std::vector<std::string> &inputs, bool digests);

// The form a digest is kept in, and back.
[[nodiscard]] std::array<unsigned char, 16> digestBytes(const content::Digest &d);
// False for none (all zero).
[[nodiscard]] bool digestFromBytes(const std::array<unsigned char, 16> &bytes, content::Digest &out);

} // namespace trv
