#pragma once
// The library: the catalogue files in a folder, by default the folder Save As proposes, and
// which of the volumes they record are mounted now.

#include "catalogue/volumes.h"
#include "platform/mounts.h"

#include <map>
#include <string>
#include <vector>

namespace library {

// The Tarvolo folder in the user's documents.
[[nodiscard]] std::string defaultFolder();

// The catalogue files the inputs name: a folder gives its *.trv files in byte order of their
// names, a file itself. An input that is neither is named in `unusable` with the reason.
[[nodiscard]] std::vector<std::string> catalogueFiles(const std::vector<std::string> &inputs,
                                                      std::vector<std::string> &unusable);

// Whether a catalogued volume is mounted now: a file system with its UUID, or, for one
// without, the same device on the same mount point. Mounts are read once.
class OnlineVolumes {
public:
    OnlineVolumes();
    [[nodiscard]] bool online(const Volume &v);

private:
    std::string m_mountInfo;
    std::vector<MountEntry> m_mounts;
    std::map<std::string, bool> m_uuids; // every UUID mounted, once asked for
    bool m_probed = false;
};

} // namespace library
