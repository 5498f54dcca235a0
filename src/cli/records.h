#pragma once
// The lines trv prints for records: the nine values of each, escaped, separated by tabs.
#include <string>
#include <vector>

class RecordSet;

namespace trv {

// Numbers, and dates and keys kept packed, are texts of digits and a few separators: they
// never need an escape. Values shared by many records (folders, extensions) usually repeat
// the one before, so their escaped form is kept.
class RecordFormatter {
public:
    explicit RecordFormatter(const RecordSet &layout);

    // The lines of the records from first to last, of a record set laid out as the one given.
    void format(const RecordSet &records, int first, int last, std::string &out);

private:
    struct Field {
        bool numeric = false, shared = false;
        std::string last, lastEscaped;
    };

    void appendValue(const RecordSet &records, int pos, std::size_t f, std::string &out);

    std::vector<Field> m_fields;
    std::string m_value;
};

// Writes the lines of every record to standard output; false when they could not be.
[[nodiscard]] bool printRecords(const RecordSet &records);

} // namespace trv
