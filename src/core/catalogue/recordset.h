#pragma once
// The in-memory table behind the catalogue and the dummy record set: typed columns of
// compact storage (no heap object per record or field), an order as a permutation of row
// ids, and a current record. Bookmarks are row ids, so they survive sorting.

#include "catalogue/fielddef.h"
#include "platform/pagedarray.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Column;
class SharedTextColumn;
struct LocalTime;

class RecordSetObserver {
public:
    virtual ~RecordSetObserver() = default;
    virtual void recordsReset() {} // order or contents changed wholesale
    virtual void recordsAppended(int first, int last) { (void)first, (void)last; }
    virtual void recordRemoved(int position) { (void)position; }
    virtual void currentMoved(int position) { (void)position; }
    // The record set is going away; the observer must forget it.
    virtual void recordSetDestroyed() {}
};

// Failures: adding a record or a value throws std::bad_alloc when memory runs out, and
// std::length_error when a text column passes 4 GiB of text; sorting and finding can throw
// std::bad_alloc for their working arrays, and a large sort std::system_error when it cannot
// start its second thread. After a throw from addNew or a setter the table's
// columns may disagree in length: only close() or destruction are safe then. Sorts change
// nothing when they throw.
class RecordSet {
public:
    using Bookmark = quint32;
    static constexpr Bookmark kNoBookmark = 0xFFFFFFFFu;

    RecordSet();
    ~RecordSet();
    RecordSet(const RecordSet &) = delete;
    RecordSet &operator=(const RecordSet &) = delete;

    // Layout: fields are appended before the table is opened.
    void appendField(const FieldDef &def);
    void open();
    void close(); // drops fields and records; the table can be laid out and opened again
    [[nodiscard]] bool isOpen() const { return m_open; }
    [[nodiscard]] int fieldCount() const { return int(m_fields.size()); }
    [[nodiscard]] const FieldDef &field(int pos) const { return m_fields[std::size_t(pos)]; }
    [[nodiscard]] int fieldIndex(QStringView name) const; // -1 when there is none

    // Appends an empty record at the end of the current order and makes it current.
    void addNew();
    void setField(int pos, std::string_view utf8);
    // The text followed by `blanks` blanks, without making it.
    void setPadded(int pos, std::string_view utf8, std::size_t blanks);
    void setField(int pos, const QString &value);
    // The value together with the bytes it was derived from (see exactAt), where the
    // field's column keeps them; value is what the field holds.
    void setExact(int pos, std::string_view exact, std::string_view value);
    void setField(int pos, qint64 value);
    // A value's packed form (see packedAt); false, changing nothing, for one the field
    // would never hold.
    [[nodiscard]] bool setPacked(int pos, std::uint64_t code);
    // A time in the field's own form (date and time, date or date key), without its text.
    void setField(int pos, const LocalTime &time);

    // Current record.
    [[nodiscard]] int count() const { return int(m_order.size()); }
    [[nodiscard]] int position() const { return m_pos; } // -1 before first, count() past last
    void setPosition(int position);
    void moveFirst() { setPosition(0); }
    void moveLast() { setPosition(count() - 1); }
    void moveNext() { setPosition(m_pos + 1); }
    void movePrevious() { setPosition(m_pos - 1); }
    [[nodiscard]] bool eof() const { return m_pos >= count() || count() == 0; }
    [[nodiscard]] bool bof() const { return m_pos < 0 || count() == 0; }

    // Values of the current record, as stored (trailing blanks included).
    [[nodiscard]] QString value(int field) const { return textAt(m_pos, field); }
    [[nodiscard]] std::string valueUtf8(int field) const { return utf8At(m_pos, field); }
    [[nodiscard]] qint64 integer(int field) const { return integerAt(m_pos, field); }

    // A field whose values are kept once each (Storage::Shared), for copies that move value
    // numbers rather than texts; nullptr for other fields.
    [[nodiscard]] const SharedTextColumn *sharedValues(int field) const;
    [[nodiscard]] SharedTextColumn *sharedValues(int field);
    // The current record's value of such a field by number; false, changing nothing, for a
    // number it does not have.
    [[nodiscard]] bool setSharedId(int field, std::uint32_t id);

    // Values at a position of the current order: O(1).
    [[nodiscard]] QString textAt(int position, int field) const;
    [[nodiscard]] std::string utf8At(int position, int field) const;
    void utf8At(int position, int field, std::string &out) const;
    // The value without its trailing blanks, and their count; the view lives in the record
    // set (until it changes) or in scratch.
    [[nodiscard]] std::string_view trimmedAt(int position, int field, std::string &scratch, std::size_t &blanks) const;
    [[nodiscard]] qint64 integerAt(int position, int field) const;
    // The bytes a value was derived from, as the file system gave them (a name or folder in
    // full, case kept, not necessarily UTF-8); false, with the value without its trailing
    // blanks, where the value has none (it was set as text, or came from an older file).
    bool exactAt(int position, int field, std::string &out) const;
    // Asks the processor to fetch a record's values (or one field's): first without, then
    // with `values` (a little later), for loops over many records far from their stored order.
    void prefetch(int position, bool values) const;
    void prefetch(int position, int field, bool values) const;
    // The packed form of a value (dates and date keys in their usual form), so a copy need
    // not go through text; false when the value is kept as text.
    [[nodiscard]] bool packedAt(int position, int field, std::uint64_t &code) const;

    // "Field1", "Field7 Desc", "Field2 ASC"; empty restores insertion order. Stable.
    // Returns false, changing nothing, for a field that does not exist.
    bool setSort(QStringView sortText);
    [[nodiscard]] QString sort() const { return m_sort; }

    // "Field1 >= 'text'" (also =, <>, <, <=, >; a number for a numeric field). Searches
    // forward from the current record, itself included; past the last record when nothing
    // matches. The text between the first and the last quote is taken literally.
    // Returns false, not moving, for a criterion it cannot read.
    bool find(QStringView criterion);

    // The first position after `from` and before `end` whose value, cut to `width` code points
    // and padded with blanks, equals the one before it; `end` when there is none.
    [[nodiscard]] int findRepeat(int field, int from, int end, std::size_t width) const;

    [[nodiscard]] Bookmark bookmark() const { return bookmarkAt(m_pos); }
    [[nodiscard]] Bookmark bookmarkAt(int position) const;
    [[nodiscard]] int positionOf(Bookmark b) const; // -1 when deleted or unknown
    void setBookmark(Bookmark b) { setPosition(positionOf(b)); }

    // Removes the current record; the record after it becomes current.
    void deleteCurrent();

    // Trims spare capacity once a table is complete.
    void squeeze();
    [[nodiscard]] std::size_t memoryUsage() const;

    void addObserver(RecordSetObserver *o);
    void removeObserver(RecordSetObserver *o);
    // Tells observers that records were appended since the last call (used after a build).
    void publishAppended();

private:
    struct SortKey;
    [[nodiscard]] quint32 rowAt(int position) const { return m_order[std::size_t(position)]; }
    [[nodiscard]] bool validPosition(int position) const { return position >= 0 && position < count(); }
    void sortRows(int field, bool descending);
    [[nodiscard]] bool orderedAscendingBy(int field) const;
    [[nodiscard]] int scanFrom(int position, const std::function<bool(quint32)> &match) const;
    void notifyReset();

    using Order = PagedArray<quint32>;
    std::vector<FieldDef> m_fields;
    std::vector<std::unique_ptr<Column>> m_columns;
    Order m_order;
    std::vector<bool> m_deleted;
    quint32 m_rows = 0;
    int m_pos = -1;
    int m_published = 0;
    bool m_open = false;
    QString m_sort;
    bool m_sortCurrent = false; // rows are in m_sort's order
    std::vector<RecordSetObserver *> m_observers;
};
