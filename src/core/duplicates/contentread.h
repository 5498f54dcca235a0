#pragma once
// Reading files for their content: digests of a sample and of the whole, a byte comparison,
// and where a file lies on its disk. A file is opened without following a link, and what it
// was when it was chosen (its stamp) is checked before and after, so a file that changed or
// vanished meanwhile is told apart from one that was read.

#include <cstdint>
#include <string>

namespace content {

// XXH3-128 of a file's bytes (or of its sample).
struct Digest {
    std::uint64_t high = 0, low = 0;
    bool operator==(const Digest &) const = default;
    auto operator<=>(const Digest &) const = default;
    [[nodiscard]] std::string hex() const;
    // False for a text that is not 32 hex digits.
    static bool fromHex(const std::string &text, Digest &out);
};

// What identifies the state of a file a digest belongs to.
struct Stamp {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // since the epoch
    std::uint64_t device = 0, inode = 0;
    bool operator==(const Stamp &) const = default;
};

enum class Read { Ok, Vanished, Changed, Failed };

// The stamp of a file now, not following a link; Vanished when it is gone, Failed when it
// is not a regular file or cannot be read.
Read stampOf(const std::string &path, Stamp &out, std::string &error);

// Up to kSampleBytes from the start and as many from the end: most files of equal size that
// differ, differ there. A file no longer than twice that is read whole.
constexpr std::int64_t kSampleBytes = 16 * 1024;
Read sampleDigest(const std::string &path, const Stamp &expected, Digest &out, std::string &error);
Read fullDigest(const std::string &path, const Stamp &expected, Digest &out, std::string &error);
// Ok with `same` saying whether the two files hold the same bytes.
Read sameBytes(const std::string &a, const Stamp &sa, const std::string &b, const Stamp &sb, bool &same,
               std::string &error);

// Where the file's first extent lies on its device (FIEMAP), so that files are read in the
// order the disk holds them; the inode for a file under 1 MiB, or where the file system does
// not say.
std::uint64_t diskOrder(const std::string &path, const Stamp &stamp);

} // namespace content
