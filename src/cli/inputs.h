#pragma once
// What the commands read: the folders they walk and the catalogue files they open. Each says
// on standard error why an input cannot be used.
#include "platform/atomicfile.h"

#include <memory>
#include <string>
#include <vector>

class RecordSet;
class KnownListings;
struct Volumes;

namespace trv {

// Whether every folder can be read; the first that cannot is named.
[[nodiscard]] bool checkDirectories(const std::vector<std::string> &dirs);

// The folder as an absolute, normal path, as the drive roots are.
[[nodiscard]] std::string normalRoot(const std::string &dir);

// Walks the folder into the catalogue and records its volume; with known listings, the
// directories whose stamps they know are listed from them.
void walkInto(RecordSet &catalogue, Volumes &volumes, const std::string &dir, const KnownListings *known = nullptr);

// The status of a save of the file that ended so, its failure said.
[[nodiscard]] int savedAs(atomicfile::Outcome outcome, const std::string &file, const std::string &error);

// Saves the catalogue as the file, with the digests of `digestsFrom` (by default those of the
// file it replaces); the status of the save, its failure said.
[[nodiscard]] int saveCatalogueFile(const RecordSet &catalogue, const Volumes &volumes, const std::string &file,
                                    const std::string &digestsFrom = {});

// The catalogue of a file, or nothing once the reason it was refused has been said.
[[nodiscard]] std::unique_ptr<RecordSet> openCatalogue(const std::string &path);

// The catalogue files the inputs name, the library when there are none; an input that names
// none is said, and makes `skipped` true.
[[nodiscard]] std::vector<std::string> libraryFiles(const std::vector<std::string> &inputs, bool &skipped);

} // namespace trv
