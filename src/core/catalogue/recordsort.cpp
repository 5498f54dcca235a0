// The record set's sort orders: permutations of row ids, stable.
#include "catalogue/columns.h"
#include "catalogue/recordset.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

struct ParsedSort {
    QString field;
    bool descending = false;
    bool ok = false;
};

ParsedSort parseSort(QStringView sortText)
{
    const QStringList words = sortText.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ParsedSort p;
    if (words.isEmpty() || words.size() > 2)
        return p;
    p.field = words[0];
    if (words.size() == 2) {
        if (words[1].compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
            p.descending = true;
        else if (words[1].compare(QLatin1String("asc"), Qt::CaseInsensitive) != 0)
            return p;
    }
    p.ok = true;
    return p;
}

// Two halves sorted on two threads, then merged: the order given is total, so the result is
// the one a single sort gives. Sorting a large walk's catalogue by name was most of what a
// Display added to the walk.
template <typename Item, typename Less> void sortOnTwoThreads(std::vector<Item> &items, Less less)
{
    constexpr std::size_t kWorthASecondThread = 65536;
    if (items.size() < kWorthASecondThread) {
        std::sort(items.begin(), items.end(), less);
        return;
    }
    const auto middle = items.begin() + std::ptrdiff_t(items.size() / 2);
    std::thread front([&] { std::sort(items.begin(), middle, less); });
    std::sort(middle, items.end(), less);
    front.join();
    std::inplace_merge(items.begin(), middle, items.end(), less);
}

template <typename Key> void stableSortBy(PagedArray<quint32> &order, const std::vector<Key> &keyOfRow, bool descending)
{
    struct Item {
        Key key;
        quint32 row;
    };
    std::vector<Item> items(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        items[i] = {keyOfRow[order[i]], order[i]};
    if (descending)
        std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return b.key < a.key; });
    else
        std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.key < b.key; });
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = items[i].row;
}

// Text keys: the folded value in one arena, with its first eight bytes as a number so that
// most comparisons never touch the arena.
struct TextKey {
    std::uint64_t prefix;
    std::uint32_t offset, length;
    quint32 position, row;
};

int compareLengths(std::uint32_t a, std::uint32_t b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

int compareTextKeys(const char *arena, const TextKey &a, const TextKey &b)
{
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix ? -1 : 1;
    if (a.length <= 8 || b.length <= 8)
        return compareLengths(a.length, b.length);
    const std::uint32_t n = std::min(a.length, b.length) - 8;
    if (const int c = std::memcmp(arena + a.offset + 8, arena + b.offset + 8, n))
        return c < 0 ? -1 : 1;
    return compareLengths(a.length, b.length);
}

std::uint64_t prefixOf(std::string_view key)
{
    std::uint64_t prefix = 0;
    for (std::size_t k = 0; k < 8; ++k)
        prefix = prefix << 8 | (k < key.size() ? static_cast<unsigned char>(key[k]) : 0u);
    return prefix;
}

// Keys are read in storage order (the values lie in that order in memory), each with the
// row's present position.
std::vector<TextKey> textKeys(const PagedArray<quint32> &order, quint32 rows, const Column &column, std::string &arena)
{
    constexpr quint32 kAbsent = 0xFFFFFFFFu;
    std::vector<quint32> positionOf(rows, kAbsent);
    for (std::size_t i = 0; i < order.size(); ++i)
        positionOf[order[i]] = quint32(i);
    std::vector<TextKey> keys;
    keys.reserve(order.size());
    std::string value;
    for (quint32 r = 0; r < rows; ++r) {
        if (positionOf[r] == kAbsent)
            continue;
        column.text(r, value);
        const std::size_t at = arena.size();
        text::appendFolded(arena, value);
        const std::size_t len = arena.size() - at;
        keys.push_back(
            {prefixOf(std::string_view(arena).substr(at)), std::uint32_t(at), std::uint32_t(len), positionOf[r], r});
    }
    return keys;
}

// Ties are broken by the present position, which makes an unstable sort give the stable result.
void stableSortText(PagedArray<quint32> &order, quint32 rows, const Column &column, bool descending)
{
    std::string arena;
    std::vector<TextKey> keys = textKeys(order, rows, column, arena);
    const char *base = arena.data();
    const int direction = descending ? -1 : 1;
    sortOnTwoThreads(keys, [base, direction](const TextKey &a, const TextKey &b) {
        const int c = compareTextKeys(base, a, b) * direction;
        return c != 0 ? c < 0 : a.position < b.position;
    });
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].row;
}

} // namespace

bool RecordSet::setSort(QStringView sortText)
{
    if (sortText.trimmed().isEmpty()) {
        std::stable_sort(m_order.begin(), m_order.end());
        m_sort.clear();
        m_sortCurrent = false;
    } else {
        const ParsedSort p = parseSort(sortText);
        const int field = p.ok ? fieldIndex(p.field) : -1;
        if (field < 0)
            return false;
        // A stable sort of rows already in this order changes nothing, so the order a
        // walk prepared off the window's thread is taken as it is.
        if (!(m_sortCurrent && sortText == m_sort))
            sortRows(field, p.descending);
        m_sort = sortText.toString();
        m_sortCurrent = true;
    }
    m_pos = count() > 0 ? 0 : -1;
    notifyReset();
    return true;
}

bool RecordSet::orderedAscendingBy(int field) const
{
    if (!m_sortCurrent)
        return false;
    const ParsedSort p = parseSort(m_sort);
    return p.ok && !p.descending && fieldIndex(p.field) == field;
}

void RecordSet::sortRows(int field, bool descending)
{
    const Column &column = *m_columns[std::size_t(field)];
    if (column.numeric()) {
        std::vector<qint64> keys(m_rows);
        for (quint32 r = 0; r < m_rows; ++r)
            keys[r] = column.integer(r);
        stableSortBy(m_order, keys, descending);
        return;
    }
    if (std::vector<std::uint32_t> ranks = column.ranks(); !ranks.empty()) {
        stableSortBy(m_order, ranks, descending);
        return;
    }
    stableSortText(m_order, m_rows, column, descending);
}
