#include "catalogue/recordunion.h"

#include "catalogue/columns.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Maps the value numbers of one shared field of `from` to those of `into`, as they are met.
class SharedIds {
public:
    SharedIds(const SharedTextColumn *from, SharedTextColumn *into) : m_from(from), m_into(into)
    {
        if (from)
            m_ids.assign(from->count(), kUnmapped);
    }
    [[nodiscard]] bool shared() const { return m_from != nullptr; }
    std::uint32_t idIn(RecordSet::Bookmark row)
    {
        const std::uint32_t id = m_from->id(row);
        if (m_ids[id] == kUnmapped) {
            const std::string *exact = m_from->exactOf(id);
            m_ids[id] = exact ? m_into->idOfExact(*exact, m_from->value(id)) : m_into->idOf(m_from->value(id));
        }
        return m_ids[id];
    }

private:
    static constexpr std::uint32_t kUnmapped = 0xFFFFFFFFu;
    const SharedTextColumn *m_from;
    SharedTextColumn *m_into;
    std::vector<std::uint32_t> m_ids;
};

void copyValue(RecordSet &into, const RecordSet &from, int pos, int field, std::string &scratch)
{
    if (from.field(field).storage == Storage::Name && from.exactAt(pos, field, scratch))
        return into.setExact(field, scratch, from.utf8At(pos, field));
    if (from.field(field).isNumeric())
        return into.setField(field, from.integerAt(pos, field));
    std::uint64_t code = 0;
    if (from.packedAt(pos, field, code) && into.setPacked(field, code))
        return;
    std::size_t blanks = 0;
    const std::string_view text = from.trimmedAt(pos, field, scratch, blanks);
    into.setPadded(field, text, blanks);
}

} // namespace

namespace {

template <typename EachPosition> void appendEach(RecordSet &into, const RecordSet &from, const EachPosition &each)
{
    std::vector<SharedIds> shared;
    for (int f = 0; f < from.fieldCount(); ++f)
        shared.emplace_back(from.sharedValues(f), into.sharedValues(f));
    std::string scratch;
    each([&](int pos) {
        into.addNew();
        for (int f = 0; f < from.fieldCount(); ++f) {
            SharedIds &ids = shared[std::size_t(f)];
            if (ids.shared())
                (void)into.setSharedId(f, ids.idIn(from.bookmarkAt(pos)));
            else
                copyValue(into, from, pos, f, scratch);
        }
    });
}

} // namespace

void appendRecords(RecordSet &into, const RecordSet &from)
{
    appendEach(into, from, [&](const auto &append) {
        for (int pos = 0; pos < from.count(); ++pos)
            append(pos);
    });
}

void appendRecords(RecordSet &into, const RecordSet &from, const std::vector<int> &positions)
{
    appendEach(into, from, [&](const auto &append) {
        for (const int pos : positions)
            append(pos);
    });
}
