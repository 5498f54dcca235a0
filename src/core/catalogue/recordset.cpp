#include "catalogue/recordset.h"

#include "catalogue/columns.h"
#include "catalogue/makecolumn.h"
#include "platform/text.h"

#include <algorithm>
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

void RecordSet::setExact(int pos, std::string_view exact, std::string_view value)
{
    if (validPosition(m_pos) && pos >= 0 && pos < fieldCount()) {
        m_columns[std::size_t(pos)]->setExact(rowAt(m_pos), exact, value);
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

bool RecordSet::exactAt(int position, int field, std::string &out) const
{
    out.clear();
    if (!validPosition(position) || field < 0 || field >= fieldCount())
        return false;
    const Column &column = *m_columns[std::size_t(field)];
    if (column.exactText(rowAt(position), out))
        return true;
    std::string scratch;
    out = column.trimmedText(rowAt(position), scratch);
    return false;
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
