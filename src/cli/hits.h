#pragma once
// Records as find and export print them: a line of text for a person, or every field as a
// JSON object per line or a CSV row. Names that are not valid UTF-8 are written reversibly:
// a backslash as \\ and each byte that is not part of valid UTF-8 as \xHH, with "escaped"
// true; other names are written as they are, with "escaped" false.
#include "catalogue/volumes.h"

#include <string>
#include <string_view>
#include <vector>

class RecordSet;

namespace trv {

enum class Form { Text, Json, Csv };

// The catalogue file a record comes from, and the volume it was walked on.
struct Origin {
    const std::string &file;
    const Volume *volume = nullptr; // none in a file that does not record volumes
    bool online = false;
};

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped.
void appendJsonString(std::string &out, std::string_view utf8);

// Appends the bytes, escaped as above where they are not valid UTF-8; says whether they were.
bool appendReversible(std::string &out, std::string_view bytes);

// The volume the record's folder was walked on; nullptr where the file does not say.
[[nodiscard]] const Volume *volumeOf(const RecordSet &records, int pos, const Volumes &volumes);

class HitWriter {
public:
    explicit HitWriter(Form form) : m_form(form) {}
    // The CSV header line; nothing for the other forms.
    void begin(std::string &out);
    void append(std::string &out, const RecordSet &records, int pos, const Origin &origin);

private:
    Form m_form;
    std::string m_folder, m_name;
};

} // namespace trv
