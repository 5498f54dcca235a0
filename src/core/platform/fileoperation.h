#pragma once
// Copy, move, rename and delete of one source (wildcards allowed in its last name) to one
// destination, folders with everything in them, shaped by five option flags. Every
// question, error and progress report goes through an Interaction, so the engine holds no
// widget and tests answer for the user. It runs on whichever thread calls it.
//
// What it guarantees: it acts only on what the source resolves to; symbolic links are
// copied, moved and deleted as links and never followed out of a folder; a copy is written
// under a temporary name and put in place only when complete, so a failed or cancelled
// copy leaves no half file; nothing is replaced or deleted without the confirmation the
// flags call for. A delete or a move never enters a mount inside the tree; a move across
// file systems removes only what it copied and is unchanged; FIFOs and devices are made
// anew, never opened; holes stay holes.

#include <cstdint>
#include <string>

namespace fileop {

enum class Function { Move = 1, Copy = 2, Delete = 3, Rename = 4 };

// The values the flags have in the platform shell's file-operation call.
enum Flag : std::uint16_t {
    Silent = 0x0004,
    RenameOnCollision = 0x0008,
    NoConfirmation = 0x0010,
    FilesOnly = 0x0080,
    NoConfirmMkdir = 0x0200,
};

enum class Question { ReplaceFile, MergeFolder, DeleteFile, DeleteFolder, CreateFolder };
enum class Answer { Yes, YesToAll, No, Cancel };

class Interaction {
public:
    virtual ~Interaction() = default;
    // readOnly: the file has no write permission for anyone.
    virtual Answer confirm(Question question, const std::string &path, bool readOnly) = 0;
    virtual void error(const std::string &text) = 0;
    // items: items finished so far; done and total: bytes of the file under way.
    virtual void progress(const std::string &path, std::int64_t done, std::int64_t total, int items)
    {
        (void)path, (void)done, (void)total, (void)items;
    }
    // Asked between items and between chunks of a file.
    virtual bool cancelled() { return false; }
    // A file, link or folder of the user's that the operation unlinked (a delete, or the
    // source of a move across file systems); never a temporary of the engine's own.
    virtual void removed(const std::string &path) { (void)path; }
};

struct Result {
    int code = 0;         // 0, or the errno of the failure (ECANCELED when cancelled)
    bool aborted = false; // the user answered No or Cancel somewhere
    [[nodiscard]] bool succeeded() const { return code == 0 && !aborted; }
};

[[nodiscard]] Result perform(Function function, const std::string &from, const std::string &to, std::uint16_t flags,
                             Interaction &ui);

// Prefix of the temporary names copies are written under.
inline constexpr const char *kTempPrefix = ".tarvolo-";

} // namespace fileop
