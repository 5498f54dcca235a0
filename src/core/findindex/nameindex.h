#pragma once
// An index of a catalogue file's names for fast search: every name folded as the search
// compares them, back to back in one file beside the catalogues, read through a memory map.
// It is derived: it names the catalogue file's size, time and inode it was made from, is
// refused once they changed, and deleting it loses nothing.

#include <QFile>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace findindex {

// What tells whether a catalogue file changed since its index was made.
struct SourceStamp {
    std::uint64_t size = 0, inode = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const SourceStamp &) const = default;
};
[[nodiscard]] bool stampOf(const std::string &catalogue, SourceStamp &out);

// Makes an index of names given in the catalogue file's order, written in one go through a
// temporary, so a reader never sees half of one.
class IndexWriter {
public:
    // False once the names are too many for one index.
    bool add(std::string_view folded);
    [[nodiscard]] bool commit(const QString &indexPath, const SourceStamp &source, QString &error);

private:
    std::vector<std::uint32_t> m_offsets{0};
    std::string m_names;
    bool m_tooMany = false;
};

// Writes the index of `count` names, given by position in the catalogue file's order, in
// one go through a temporary, so a reader never sees half of one.
[[nodiscard]] bool write(const QString &indexPath, const SourceStamp &source, int count,
                         const std::function<void(int position, std::string &folded)> &nameAt, QString &error);

class NameIndex {
public:
    // False for an index that is missing, damaged, or made from another state of the file.
    [[nodiscard]] bool open(const QString &indexPath, const SourceStamp &source);
    [[nodiscard]] int count() const { return m_count; }
    // The positions whose folded name holds `folded`, in order; stops when `hit` says so.
    void contains(std::string_view folded, const std::function<bool(int position)> &hit) const;
    // Every folded name, in order; stops when `visit` says so.
    void each(const std::function<bool(int position, std::string_view folded)> &visit) const;
    // The folded name at a position below count(); a NUL follows it.
    [[nodiscard]] std::string_view name(int position) const;

private:
    QFile m_file;
    const std::uint32_t *m_offsets = nullptr; // count + 1 of them, into m_names
    const char *m_names = nullptr;
    int m_count = 0;
};

} // namespace findindex
