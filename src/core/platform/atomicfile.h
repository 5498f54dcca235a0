#pragma once
// Replacing a file so that a crash at any moment leaves either the old file or the whole
// new one: write a temporary file beside it, sync it, rename it over the target, sync the
// folder.

#include "platform/uniquefd.h"

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace atomicfile {

// How a replacement ended. Unsynced: the new file is in place, but the folder could not be
// synced, so a crash soon after may still bring back the old one.
enum class Outcome { Failed, Replaced, Unsynced };

// A temporary file beside a target, put in its place by commit() and removed otherwise.
// Everything goes through one descriptor of the folder, so a folder renamed meanwhile
// neither breaks the replacement nor keeps the temporary.
class Replacement {
public:
    Replacement() = default;
    ~Replacement();
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;

    // A symbolic link is followed: the file it names is replaced, beside itself. A target
    // that is there must be a regular file its owner may write. Creates the temporary with
    // the permissions a new file gets there, or, over an old file, with only its owner's.
    [[nodiscard]] bool begin(const std::string &target, std::string &error);
    // Removes the temporaries that killed replacements left in the folder: hidden files of
    // this naming, the saver's own, empty or beginning with header, that no running
    // replacement holds (each holds a lock on its temporary while it writes).
    void removeStale(std::string_view header) const;
    // Names that reach the files through the folder's descriptor, for code that opens by name.
    [[nodiscard]] std::string temporaryPath() const { return viaFolder(m_temporaryName); }
    [[nodiscard]] std::string targetPath() const { return viaFolder(m_name); }
    [[nodiscard]] bool targetExists() const { return m_targetExists; }
    // Files named after the target with a suffix, as databases name their journals.
    [[nodiscard]] bool besideExists(const std::string &suffix) const;
    [[nodiscard]] bool removeBeside(const std::string &suffix, std::string &error) const;
    // Gives the temporary the old target's mode (and owner and group where allowed) and
    // flushes it to the disk.
    [[nodiscard]] bool prepare(std::string &error);
    [[nodiscard]] Outcome commit(std::string &error);

private:
    [[nodiscard]] std::string viaFolder(const std::string &name) const;
    [[nodiscard]] bool checkTarget(struct stat &st, std::string &error);
    [[nodiscard]] bool createTemporary(mode_t mode, std::string &error);
    [[nodiscard]] bool sameFile(int fd, const char *name) const;

    UniqueFd m_folder;
    UniqueFd m_temporary;
    std::string m_name;
    std::string m_temporaryName;
    bool m_targetExists = false;
    bool m_committed = false;
};

// Starts the disk on what has been written to a file so far, without waiting for it, so
// that the sync at the end has less left to do. Failures are left for that sync to report.
class Writeback {
public:
    explicit Writeback(const std::string &path);
    // Any thread may call it while others write the file.
    void start() const;

private:
    UniqueFd m_fd;
};

} // namespace atomicfile
