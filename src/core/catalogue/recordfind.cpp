// Finding records: by a criterion, and the next repeated value.
#include "catalogue/columns.h"
#include "catalogue/recordset.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

namespace {

// A match is usually close; when it is not, rows are tested in the order they lie in memory,
// which is many times faster than following the order's random jumps.
constexpr int kNearby = 4096;

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

// The text between the first and the last quote, or a number.
bool parseOperand(QStringView rest, Criterion &c)
{
    if (rest.size() >= 2 && rest.front() == QLatin1Char('\'') && rest.back() == QLatin1Char('\'')) {
        c.quoted = true;
        c.literal = rest.mid(1, rest.size() - 2).toUtf8().toStdString();
        return true;
    }
    bool ok = false;
    c.number = rest.toLongLong(&ok);
    c.literal = std::to_string(c.number);
    return ok;
}

QStringView fieldName(QStringView criterion)
{
    qsizetype end = 0;
    while (end < criterion.size() && (criterion[end].isLetterOrNumber() || criterion[end] == QLatin1Char('_')))
        ++end;
    return criterion.left(end);
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

std::optional<Criterion> parseCriterion(const RecordSet &records, QStringView criterion)
{
    QStringView rest = criterion.trimmed();
    const QStringView name = fieldName(rest);
    Criterion c;
    c.field = records.fieldIndex(name);
    rest = rest.mid(name.size()).trimmed();
    if (c.field < 0 || !parseOperator(rest, c.op) || !parseOperand(rest, c))
        return std::nullopt;
    return c;
}

// Rows ordered by the same comparison: the first match is where the criterion would be
// inserted, found by halving instead of a scan of a million rows.
template <typename Compare> int firstInOrder(const PagedArray<quint32> &order, int from, Op op, Compare &compareRow)
{
    const Op bound = op == Op::Eq ? Op::Ge : op;
    const auto first = std::partition_point(order.begin() + from, order.end(),
                                            [&](quint32 row) { return !matches(bound, compareRow(row)); });
    const int position = int(first - order.begin());
    if (op == Op::Eq && first != order.end() && compareRow(*first) != 0)
        return int(order.size());
    return position;
}

// The first position after `from` and before `end` whose core equals the one before it.
template <typename Core> int repeatNearby(const PagedArray<quint32> &order, int from, int end, Core &core)
{
    std::string_view previous = core(order[std::size_t(from)], from);
    for (int position = from + 1; position < end; ++position) {
        const std::string_view current = core(order[std::size_t(position)], position);
        if (current == previous)
            return position;
        previous = current;
    }
    return end;
}

// The same far from `from`: a hash of every row, taken in memory order, rules out almost
// every pair without following the order's jumps.
template <typename Core> int repeatByHash(const PagedArray<quint32> &order, quint32 rows, int from, int end, Core &core)
{
    std::vector<std::uint32_t> hashes(rows);
    for (quint32 r = 0; r < rows; ++r)
        hashes[r] = std::uint32_t(std::hash<std::string_view>{}(core(r, 0)));
    for (int position = from; position < end; ++position) {
        const quint32 a = order[std::size_t(position) - 1], b = order[std::size_t(position)];
        if (hashes[a] == hashes[b] && core(a, 0) == core(b, 1))
            return position;
    }
    return end;
}

} // namespace

int RecordSet::scanFrom(int position, const std::function<bool(quint32)> &match) const
{
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

bool RecordSet::find(QStringView criterion)
{
    const std::optional<Criterion> c = parseCriterion(*this, criterion);
    if (!c)
        return false;
    const Column &column = *m_columns[std::size_t(c->field)];
    const bool numeric = column.numeric() && !c->quoted;
    std::string value;
    auto compareRow = [&](quint32 row) {
        if (!numeric)
            return column.compareFolded(row, c->literal, value);
        const qint64 v = column.integer(row);
        return v < c->number ? -1 : v > c->number ? 1 : 0;
    };
    const int from = std::max(m_pos, 0);
    if (orderedAscendingBy(c->field) && (c->op == Op::Ge || c->op == Op::Gt || c->op == Op::Eq))
        setPosition(firstInOrder(m_order, from, c->op, compareRow));
    else
        setPosition(scanFrom(from, [&](quint32 row) { return matches(c->op, compareRow(row)); }));
    return true;
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
    const int nearbyEnd = std::min(end, from + kNearby);
    const int nearby = repeatNearby(m_order, from, nearbyEnd, core);
    if (nearby < nearbyEnd || nearbyEnd == end)
        return nearby;
    return repeatByHash(m_order, m_rows, nearbyEnd, end, core);
}
