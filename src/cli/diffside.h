#pragma once
// A catalogue as trv diff keeps it: per record its folder (each kept once), name, size and
// modification time, in the order of their paths as bytes, so that two sides compare in
// one pass.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class RecordSet;

namespace trv {

class DiffSide {
public:
    struct Entry {
        std::uint64_t prefix = 0; // the name's first bytes, as a number that sorts as they do
        std::uint32_t folder = 0; // in the sorted folders
        std::uint32_t nameAt = 0, nameSize = 0;
        bool packed = false; // modified is the record set's packed form, else where its text is
        std::uint64_t modified = 0;
        std::int64_t size = 0;
    };

    // Reads the file's records a batch at a time, then puts them in order.
    bool load(const std::string &file, std::string &error);

    [[nodiscard]] const std::vector<Entry> &entries() const { return m_entries; }
    [[nodiscard]] const std::string &folder(const Entry &e) const { return m_folders[e.folder]; }
    [[nodiscard]] std::string_view name(const Entry &e) const { return {m_texts.data() + e.nameAt, e.nameSize}; }
    void path(const Entry &e, std::string &out) const { out.assign(folder(e)).append(name(e)); }
    // The text of a modification time that is not packed.
    [[nodiscard]] std::string_view unpackedTime(const Entry &e) const;

private:
    void take(RecordSet &batch);
    std::uint32_t folderId(const std::string &folder);
    void order();
    [[nodiscard]] bool before(const Entry &a, const Entry &b) const;

    std::vector<Entry> m_entries;
    std::vector<std::string> m_folders;
    std::string m_texts;                                        // names, and the times that are not packed
    std::unordered_map<std::string, std::uint32_t> m_folderIds; // while loading
    std::uint32_t m_lastId = 0;
};

// Where two entries' paths sort, as bytes: below, at or above zero. Each side's folders are
// compared once for each pair of them met in turn.
class PathOrder {
public:
    PathOrder(const DiffSide &a, const DiffSide &b) : m_a(a), m_b(b) {}
    int compare(const DiffSide::Entry &x, const DiffSide::Entry &y);

private:
    const DiffSide &m_a, &m_b;
    std::uint32_t m_x = UINT32_MAX, m_y = UINT32_MAX;
    int m_folders = 0;
};

} // namespace trv
