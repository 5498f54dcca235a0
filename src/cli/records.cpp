#include "records.h"

#include "catalogue/recordset.h"
#include "escape.h"
#include "output.h"

#include <algorithm>
#include <cstdint>
#include <future>

namespace trv {

RecordFormatter::RecordFormatter(const RecordSet &layout) : m_fields(std::size_t(layout.fieldCount()))
{
    for (std::size_t f = 0; f < m_fields.size(); ++f) {
        m_fields[f].numeric = layout.field(int(f)).isNumeric();
        m_fields[f].shared = layout.field(int(f)).storage == Storage::Shared;
    }
}

void RecordFormatter::format(const RecordSet &records, int first, int last, std::string &out)
{
    out.clear();
    for (int pos = first; pos < last; ++pos) {
        for (std::size_t f = 0; f < m_fields.size(); ++f) {
            if (f > 0)
                out.push_back('\t');
            appendValue(records, pos, f, out);
        }
        out.push_back('\n');
    }
}

void RecordFormatter::appendValue(const RecordSet &records, int pos, std::size_t f, std::string &out)
{
    Field &field = m_fields[f];
    std::uint64_t code = 0;
    records.utf8At(pos, int(f), m_value);
    if (field.numeric || records.packedAt(pos, int(f), code)) {
        out.append(m_value);
    } else if (field.shared) {
        if (m_value != field.last) {
            field.last = m_value;
            field.lastEscaped.clear();
            appendEscaped(field.lastEscaped, m_value);
        }
        out.append(field.lastEscaped);
    } else {
        appendEscaped(out, m_value);
    }
}

namespace {

void formatRecords(const RecordSet &records, int first, int last, std::string &out)
{
    RecordFormatter(records).format(records, first, last, out);
}

} // namespace

// Formatting the lines costs a good part of a dump, so each block of rows is formatted in two
// halves on two threads; the record set is only read meanwhile.
bool printRecords(const RecordSet &records)
{
    constexpr int kBlock = 1024; // its lines are held twice over, beside the whole catalogue
    std::string front, back;
    for (int first = 0; first < records.count(); first += kBlock) {
        const int last = std::min(records.count(), first + kBlock), middle = first + (last - first) / 2;
        auto formatBack = std::async(std::launch::async, [&] { formatRecords(records, middle, last, back); });
        formatRecords(records, first, middle, front);
        formatBack.get();
        if (!write(front) || !write(back))
            return false;
    }
    return true;
}

} // namespace trv
