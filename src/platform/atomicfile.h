#pragma once
// Replacing a file so that a crash at any moment leaves either the old file or the whole
// new one: write a temporary file beside it, sync it, rename it over the target, sync the
// folder.

#include "platform/uniquefd.h"

#include <string>

namespace atomicfile {

// Creates an empty temporary file in the target's folder with the permissions a new file
// gets there. Returns its path, or empty with the reason in error.
[[nodiscard]] std::string createBeside(const std::string &target, std::string &error);
// Flushes a file's contents to the disk.
[[nodiscard]] bool sync(const std::string &path, std::string &error);
// Renames temporary over target and syncs the folder that holds them.
[[nodiscard]] bool replace(const std::string &temporary, const std::string &target, std::string &error);
void remove(const std::string &path);

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
