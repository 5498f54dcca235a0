#include "catalogue/recordset.h"

#include "catalogue/columns.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>
#include <thread>
#include <utility>

RecordSet::RecordSet() = default;
RecordSet::~RecordSet()
{
    const auto observers = std::exchange(m_observers, {});
    for (auto *o : observers)
        o->recordSetDestroyed();
}

void RecordSet::appendField(const FieldDef &def)
{
    m_fields.push_back(def);
}

void RecordSet::open()
{
    m_columns.clear();
    for (const FieldDef &f : m_fields)
        m_columns.push_back(makeColumn(f.storage));
    m_order.clear();
    m_deleted.clear();
    m_rows = 0;
    m_pos = -1;
    m_published = 0;
    m_sort.clear();
    m_sortCurrent = false;
    m_open = true;
    notifyReset();
}

void RecordSet::close()
{
    m_fields.clear();
    m_columns.clear();
    m_order = Order();
    std::vector<bool>().swap(m_deleted);
    m_rows = 0;
    m_pos = -1;
    m_published = 0;
    m_sort.clear();
    m_sortCurrent = false;
    m_open = false;
    notifyReset();
}

int RecordSet::fieldIndex(QStringView name) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void RecordSet::addNew()
{
    for (auto &c : m_columns)
        c->appendEmpty();
    m_deleted.push_back(false);
    m_order.push_back(m_rows++);
    m_pos = count() - 1;
    m_sortCurrent = false;
}

void RecordSet::setField(int pos, std::string_view utf8)
{
    if (validPosition(m_pos) && pos >= 0 && pos < fieldCount()) {
        m_columns[std::size_t(pos)]->setText(rowAt(m_pos), utf8);
        m_sortCurrent = false;
    }
}

void RecordSet::setPadded(int pos, std::string_view utf8, std::size_t blanks)
{
    if (validPosition(m_pos) && pos >= 0 && pos < fieldCount()) {
        m_columns[std::size_t(pos)]->setPadded(rowAt(m_pos), utf8, blanks);
        m_sortCurrent = false;
    }
}

bool RecordSet::setPacked(int pos, std::uint64_t code)
{
    if (!validPosition(m_pos) || pos < 0 || pos >= fieldCount() ||
        !m_columns[std::size_t(pos)]->setPacked(rowAt(m_pos), code))
        return false;
    m_sortCurrent = false;
    return true;
}

void RecordSet::setField(int pos, const QString &value)
{
    setField(pos, std::string_view(value.toUtf8().toStdString()));
}

void RecordSet::setField(int pos, qint64 value)
{
    if (validPosition(m_pos) && pos >= 0 && pos < fieldCount()) {
        m_columns[std::size_t(pos)]->setInteger(rowAt(m_pos), value);
        m_sortCurrent = false;
    }
}

void RecordSet::setField(int pos, const LocalTime &time)
{
    if (validPosition(m_pos) && pos >= 0 && pos < fieldCount()) {
        m_columns[std::size_t(pos)]->setTime(rowAt(m_pos), time);
        m_sortCurrent = false;
    }
}

void RecordSet::setPosition(int position)
{
    const int clamped = std::clamp(position, -1, count());
    if (clamped == m_pos)
        return;
    m_pos = clamped;
    for (auto *o : m_observers)
        o->currentMoved(m_pos);
}

QString RecordSet::textAt(int position, int field) const
{
    std::string s;
    utf8At(position, field, s);
    return text::toQString(s);
}

std::string RecordSet::utf8At(int position, int field) const
{
    std::string s;
    utf8At(position, field, s);
    return s;
}

void RecordSet::utf8At(int position, int field, std::string &out) const
{
    out.clear();
    if (validPosition(position) && field >= 0 && field < fieldCount())
        m_columns[std::size_t(field)]->text(rowAt(position), out);
}

std::string_view RecordSet::trimmedAt(int position, int field, std::string &scratch, std::size_t &blanks) const
{
    blanks = 0;
    if (!validPosition(position) || field < 0 || field >= fieldCount())
        return {};
    return m_columns[std::size_t(field)]->trimmedText(rowAt(position), scratch, blanks);
}

void RecordSet::prefetch(int position, bool values) const
{
    if (!validPosition(position))
        return;
    for (const auto &column : m_columns)
        column->prefetch(rowAt(position), values);
}

void RecordSet::prefetch(int position, int field, bool values) const
{
    if (validPosition(position) && field >= 0 && field < fieldCount())
        m_columns[std::size_t(field)]->prefetch(rowAt(position), values);
}

const SharedTextColumn *RecordSet::sharedValues(int field) const
{
    return field >= 0 && field < fieldCount() ? m_columns[std::size_t(field)]->shared() : nullptr;
}

SharedTextColumn *RecordSet::sharedValues(int field)
{
    return field >= 0 && field < fieldCount() ? m_columns[std::size_t(field)]->shared() : nullptr;
}

bool RecordSet::setSharedId(int field, std::uint32_t id)
{
    SharedTextColumn *values = sharedValues(field);
    if (!values || !validPosition(m_pos) || !values->setId(rowAt(m_pos), id))
        return false;
    m_sortCurrent = false;
    return true;
}

bool RecordSet::packedAt(int position, int field, std::uint64_t &code) const
{
    return validPosition(position) && field >= 0 && field < fieldCount() &&
           m_columns[std::size_t(field)]->packed(rowAt(position), code);
}

qint64 RecordSet::integerAt(int position, int field) const
{
    if (!validPosition(position) || field < 0 || field >= fieldCount())
        return 0;
    return m_columns[std::size_t(field)]->integer(rowAt(position));
}

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

namespace {

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
// most comparisons never touch the arena. Keys are read in storage order (the values lie
// in that order in memory) and ties are broken by the present position, which makes an
// unstable sort give the stable result.
void stableSortText(PagedArray<quint32> &order, quint32 rows, const Column &column, bool descending)
{
    struct Item {
        std::uint64_t prefix;
        std::uint32_t offset, length;
        quint32 position, row;
    };
    constexpr quint32 kAbsent = 0xFFFFFFFFu;
    std::vector<quint32> positionOf(rows, kAbsent);
    for (std::size_t i = 0; i < order.size(); ++i)
        positionOf[order[i]] = quint32(i);
    std::vector<Item> items;
    items.reserve(order.size());
    std::string arena, value;
    for (quint32 r = 0; r < rows; ++r) {
        if (positionOf[r] == kAbsent)
            continue;
        column.text(r, value);
        const std::size_t at = arena.size();
        text::appendFolded(arena, value);
        const std::size_t len = arena.size() - at;
        std::uint64_t prefix = 0;
        for (std::size_t k = 0; k < 8; ++k)
            prefix = prefix << 8 | (k < len ? static_cast<unsigned char>(arena[at + k]) : 0u);
        items.push_back({prefix, std::uint32_t(at), std::uint32_t(len), positionOf[r], r});
    }
    const char *base = arena.data();
    auto compareKeys = [base](const Item &a, const Item &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        if (a.length <= 8 || b.length <= 8)
            return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
        const std::uint32_t n = std::min(a.length, b.length) - 8;
        if (const int c = std::memcmp(base + a.offset + 8, base + b.offset + 8, n))
            return c < 0 ? -1 : 1;
        return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
    };
    const int direction = descending ? -1 : 1;
    sortOnTwoThreads(items, [&](const Item &a, const Item &b) {
        const int c = compareKeys(a, b) * direction;
        return c != 0 ? c < 0 : a.position < b.position;
    });
    for (std::size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].row;
}

} // namespace

int RecordSet::scanFrom(int position, const std::function<bool(quint32)> &match) const
{
    // A match is usually close; when it is not, the rows are tested in the order they lie
    // in memory, which is many times faster than following the order's random jumps.
    constexpr int kNearby = 4096;
    const int nearbyEnd = std::min(count(), position + kNearby);
    while (position < nearbyEnd && !match(rowAt(position)))
        ++position;
    if (position < nearbyEnd || position == count())
        return position;
    std::vector<bool> hit(m_rows);
    for (quint32 r = 0; r < m_rows; ++r)
        hit[r] = !m_deleted[r] && match(r);
    while (position < count() && !hit[rowAt(position)])
        ++position;
    return position;
}

int RecordSet::findRepeat(int field, int from, int end, std::size_t width) const
{
    end = std::min(end, count());
    if (field < 0 || field >= fieldCount() || from < 0 || from + 1 >= end)
        return end;
    const Column &column = *m_columns[std::size_t(field)];
    std::string scratch[2];
    const auto core = [&](quint32 row, int slot) {
        return text::fittedCore(column.trimmedText(row, scratch[slot & 1]), width);
    };
    // As in scanFrom: a repeat is usually close; beyond that, a hash of every row, taken in
    // memory order, rules out almost every pair without following the order's jumps.
    constexpr int kNearby = 4096;
    const int nearbyEnd = std::min(end, from + kNearby);
    std::string_view previous = core(rowAt(from), from);
    int position = from + 1;
    for (; position < nearbyEnd; ++position) {
        const std::string_view current = core(rowAt(position), position);
        if (current == previous)
            return position;
        previous = current;
    }
    if (position == end)
        return end;
    std::vector<std::uint32_t> hashes(m_rows);
    for (quint32 r = 0; r < m_rows; ++r)
        hashes[r] = std::uint32_t(std::hash<std::string_view>{}(core(r, 0)));
    for (; position < end; ++position) {
        const quint32 a = rowAt(position - 1), b = rowAt(position);
        if (hashes[a] == hashes[b] && core(a, 0) == core(b, 1))
            return position;
    }
    return end;
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

namespace {

enum class Op { Eq, Ne, Lt, Le, Gt, Ge };

struct Criterion {
    int field = -1;
    Op op = Op::Eq;
    std::string literal;
    qint64 number = 0;
    bool quoted = false;
};

bool parseOperator(QStringView &rest, Op &op)
{
    static const std::pair<const char *, Op> ops[] = {{"<>", Op::Ne}, {"<=", Op::Le}, {">=", Op::Ge},
                                                      {"=", Op::Eq},  {"<", Op::Lt},  {">", Op::Gt}};
    for (const auto &[text, value] : ops) {
        if (rest.startsWith(QLatin1String(text))) {
            op = value;
            rest = rest.mid(qsizetype(std::strlen(text))).trimmed();
            return true;
        }
    }
    return false;
}

bool matches(Op op, int c)
{
    switch (op) {
    case Op::Eq:
        return c == 0;
    case Op::Ne:
        return c != 0;
    case Op::Lt:
        return c < 0;
    case Op::Le:
        return c <= 0;
    case Op::Gt:
        return c > 0;
    case Op::Ge:
        return c >= 0;
    }
    return false;
}

} // namespace

bool RecordSet::find(QStringView criterion)
{
    QStringView rest = criterion.trimmed();
    qsizetype nameEnd = 0;
    while (nameEnd < rest.size() && (rest[nameEnd].isLetterOrNumber() || rest[nameEnd] == QLatin1Char('_')))
        ++nameEnd;
    Criterion c;
    c.field = fieldIndex(rest.left(nameEnd));
    rest = rest.mid(nameEnd).trimmed();
    if (c.field < 0 || !parseOperator(rest, c.op))
        return false;
    if (rest.size() >= 2 && rest.front() == QLatin1Char('\'') && rest.back() == QLatin1Char('\'')) {
        c.quoted = true;
        c.literal = rest.mid(1, rest.size() - 2).toUtf8().toStdString();
    } else {
        bool ok = false;
        c.number = rest.toLongLong(&ok);
        if (!ok)
            return false;
    }
    const Column &column = *m_columns[std::size_t(c.field)];
    const bool numeric = column.numeric() && !c.quoted;
    if (!c.quoted)
        c.literal = std::to_string(c.number);
    std::string value;
    auto compareRow = [&](quint32 row) {
        if (!numeric)
            return column.compareFolded(row, c.literal, value);
        const qint64 v = column.integer(row);
        return v < c.number ? -1 : v > c.number ? 1 : 0;
    };
    int position = std::max(m_pos, 0);
    if (orderedAscendingBy(c.field) && (c.op == Op::Ge || c.op == Op::Gt || c.op == Op::Eq)) {
        // Rows ordered by the same comparison: the first match is where the criterion
        // would be inserted, found by halving instead of a scan of a million rows.
        const Op bound = c.op == Op::Eq ? Op::Ge : c.op;
        auto first = std::partition_point(m_order.begin() + position, m_order.end(),
                                          [&](quint32 row) { return !matches(bound, compareRow(row)); });
        position = int(first - m_order.begin());
        if (c.op == Op::Eq && position < count() && compareRow(rowAt(position)) != 0)
            position = count();
    } else {
        position = scanFrom(position, [&](quint32 row) { return matches(c.op, compareRow(row)); });
    }
    setPosition(position);
    return true;
}

RecordSet::Bookmark RecordSet::bookmarkAt(int position) const
{
    return validPosition(position) ? rowAt(position) : kNoBookmark;
}

int RecordSet::positionOf(Bookmark b) const
{
    if (b >= m_rows || m_deleted[b])
        return -1;
    const auto it = std::find(m_order.begin(), m_order.end(), b);
    return it == m_order.end() ? -1 : int(it - m_order.begin());
}

void RecordSet::deleteCurrent()
{
    if (!validPosition(m_pos))
        return;
    const int removed = m_pos;
    m_deleted[rowAt(removed)] = true;
    m_order.erase(m_order.begin() + removed);
    if (m_published > removed)
        --m_published;
    for (auto *o : m_observers)
        o->recordRemoved(removed);
    for (auto *o : m_observers)
        o->currentMoved(m_pos);
}

void RecordSet::squeeze()
{
    for (auto &c : m_columns)
        c->squeeze();
    m_order.shrink_to_fit();
    m_deleted.shrink_to_fit();
}

std::size_t RecordSet::memoryUsage() const
{
    std::size_t bytes = m_order.memory() + m_deleted.capacity() / 8;
    for (const auto &c : m_columns)
        bytes += c->memory();
    return bytes;
}

void RecordSet::addObserver(RecordSetObserver *o)
{
    if (std::find(m_observers.begin(), m_observers.end(), o) == m_observers.end())
        m_observers.push_back(o);
}

void RecordSet::removeObserver(RecordSetObserver *o)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), o), m_observers.end());
}

void RecordSet::publishAppended()
{
    if (count() > m_published) {
        const int first = m_published;
        m_published = count();
        for (auto *o : m_observers)
            o->recordsAppended(first, count() - 1);
    }
}

void RecordSet::notifyReset()
{
    m_published = count();
    for (auto *o : m_observers)
        o->recordsReset();
}
