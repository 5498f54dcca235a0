#pragma once
// Column storage for the record set. A value is read back exactly as it was set; each
// kind only chooses a representation that is small for the values its field usually holds.
// Storing a value may throw std::bad_alloc or std::length_error (see PageBuffer, TextPool).

#include "catalogue/fielddef.h"
#include "catalogue/textpool.h"
#include "platform/filetime.h"
#include "platform/pagedarray.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class SharedTextColumn;

class Column {
public:
    virtual ~Column() = default;
    virtual void appendEmpty() = 0;
    virtual void setText(std::uint32_t row, std::string_view utf8) = 0;
    // The same as setText of the text followed by `blanks` blanks.
    virtual void setPadded(std::uint32_t row, std::string_view utf8, std::size_t blanks);
    virtual void setInteger(std::uint32_t row, qint64 value) { setText(row, std::to_string(value)); }
    // Stores the text the column's kind gives a time (see Storage); text columns take the
    // date and time.
    virtual void setTime(std::uint32_t row, const LocalTime &t);
    virtual void text(std::uint32_t row, std::string &out) const = 0;
    // The value without its trailing blanks and their count; it lives in the column or in scratch.
    [[nodiscard]] virtual std::string_view trimmedText(std::uint32_t row, std::string &scratch,
                                                       std::size_t &blanks) const;
    [[nodiscard]] std::string_view trimmedText(std::uint32_t row, std::string &scratch) const
    {
        std::size_t blanks = 0;
        return trimmedText(row, scratch, blanks);
    }
    // Case-insensitive comparison of a row's value with a text; scratch avoids allocations.
    [[nodiscard]] virtual int compareFolded(std::uint32_t row, std::string_view text, std::string &scratch) const;
    [[nodiscard]] virtual qint64 integer(std::uint32_t row) const;
    // The exact bytes the row's value was derived from; false where the column keeps none.
    virtual bool exactText(std::uint32_t, std::string &) const { return false; }
    // Keeps the bytes a value was derived from, where the column can; `value` is what the
    // field then holds.
    virtual void setExact(std::uint32_t row, std::string_view, std::string_view value) { setText(row, value); }
    [[nodiscard]] virtual bool numeric() const { return false; }
    // For columns that keep each distinct value once: the rank of every row's value in
    // case-insensitive order (equal values share a rank). Empty when not offered.
    [[nodiscard]] virtual std::vector<std::uint32_t> ranks() const { return {}; }
    // The value's packed form, copied without going through text; false when it is kept as text.
    [[nodiscard]] virtual bool packed(std::uint32_t, std::uint64_t &) const { return false; }
    // False, changing nothing, for a form this column would never make.
    virtual bool setPacked(std::uint32_t, std::uint64_t) { return false; }
    // Columns that number their distinct values, so that a copy can move numbers.
    [[nodiscard]] virtual SharedTextColumn *shared() { return nullptr; }
    [[nodiscard]] const SharedTextColumn *shared() const { return const_cast<Column *>(this)->shared(); }
    // Asks the processor to fetch a row's entry, or with `value` the bytes it points to as
    // well (once the entry has been fetched): loops over rows far from their stored order
    // then wait for many rows at once instead of one after the other.
    virtual void prefetch(std::uint32_t row, bool value) const = 0;
    virtual void squeeze() = 0;
    [[nodiscard]] virtual std::size_t memory() const = 0;
};

class TextColumn final : public Column {
public:
    void appendEmpty() override { m_offsets.push_back(TextPool::kEmpty); }
    void setText(std::uint32_t row, std::string_view v) override { m_offsets[row] = m_pool.add(v); }
    void setPadded(std::uint32_t row, std::string_view v, std::size_t blanks) override
    {
        m_offsets[row] = m_pool.addPadded(v, blanks);
    }
    void text(std::uint32_t row, std::string &out) const override { m_pool.get(m_offsets[row], out); }
    using Column::trimmedText;
    [[nodiscard]] std::string_view trimmedText(std::uint32_t row, std::string &, std::size_t &blanks) const override
    {
        return m_pool.trimmed(m_offsets[row], blanks);
    }
    [[nodiscard]] int compareFolded(std::uint32_t row, std::string_view text, std::string &) const override
    {
        return m_pool.compareFolded(m_offsets[row], text);
    }
    void prefetch(std::uint32_t row, bool value) const override
    {
        if (!value)
            __builtin_prefetch(&m_offsets[row]);
        else
            m_pool.prefetch(m_offsets[row]);
    }
    void squeeze() override;
    [[nodiscard]] std::size_t memory() const override;

private:
    PagedArray<std::uint32_t> m_offsets;
    TextPool m_pool;
};

class SharedTextColumn final : public Column {
public:
    SharedTextColumn();
    void appendEmpty() override { m_ids.push_back(0); }
    void setText(std::uint32_t row, std::string_view v) override;
    void text(std::uint32_t row, std::string &out) const override { out = *m_values[m_ids[row]]; }
    [[nodiscard]] std::vector<std::uint32_t> ranks() const override;
    [[nodiscard]] SharedTextColumn *shared() override { return this; }
    // Value numbers: 0 is the empty value; the others in the order the values came.
    [[nodiscard]] std::uint32_t id(std::uint32_t row) const { return m_ids[row]; }
    [[nodiscard]] std::uint32_t count() const { return std::uint32_t(m_values.size()); }
    [[nodiscard]] std::string_view value(std::uint32_t id) const { return *m_values[id]; }
    // The number of a value, kept from now on.
    [[nodiscard]] std::uint32_t idOf(std::string_view v);
    // The number of a value derived from exact bytes: values alike whose bytes differ (two
    // folders whose names differ only in case) get numbers of their own.
    [[nodiscard]] std::uint32_t idOfExact(std::string_view exact, std::string_view value);
    // The bytes a value number was derived from; nullptr for a value set as text.
    [[nodiscard]] const std::string *exactOf(std::uint32_t id) const { return m_exact[id]; }
    void setExact(std::uint32_t row, std::string_view exact, std::string_view value) override
    {
        // A folder's records come together.
        if (const std::string *last = m_exact[m_lastId]; !last || *last != exact)
            m_lastId = idOfExact(exact, value);
        m_ids[row] = m_lastId;
    }
    bool exactText(std::uint32_t row, std::string &out) const override;
    // False, changing nothing, for a number no value has.
    bool setId(std::uint32_t row, std::uint32_t id);
    void prefetch(std::uint32_t row, bool value) const override
    {
        if (!value)
            __builtin_prefetch(&m_ids[row]);
    }
    void squeeze() override { m_ids.shrink_to_fit(); }
    [[nodiscard]] std::size_t memory() const override;

private:
    PagedArray<std::uint32_t> m_ids;
    // Looked up by string_view, so a value already kept costs no copy.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> m_index;
    std::vector<const std::string *> m_values; // id 0 is the empty value
    // Of values derived from exact bytes: those bytes, and each value's number by them.
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> m_exactIndex;
    std::vector<const std::string *> m_exact;
    std::vector<std::unique_ptr<const std::string>> m_derived; // their values
    std::uint32_t m_lastId = 0;
};

class IntegerColumn final : public Column {
public:
    void appendEmpty() override { m_values.push_back(0); }
    void setText(std::uint32_t row, std::string_view v) override;
    void setInteger(std::uint32_t row, qint64 v) override { m_values[row] = v; }
    void text(std::uint32_t row, std::string &out) const override { out = std::to_string(m_values[row]); }
    [[nodiscard]] qint64 integer(std::uint32_t row) const override { return m_values[row]; }
    [[nodiscard]] bool numeric() const override { return true; }
    void prefetch(std::uint32_t row, bool value) const override
    {
        if (!value)
            __builtin_prefetch(&m_values[row]);
    }
    void squeeze() override { m_values.shrink_to_fit(); }
    [[nodiscard]] std::size_t memory() const override { return m_values.memory(); }

private:
    PagedArray<qint64> m_values;
};
