#include "hits.h"

#include "catalogue/columns.h"
#include "catalogue/layouts.h"
#include "escape.h"
#include "platform/text.h"

#include <cstdio>
#include <vector>

namespace trv {

namespace {

// The length of the valid UTF-8 sequence at the start of s, or 0.
std::size_t sequenceAt(std::string_view s)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    return n && n <= s.size() && text::isValidUtf8(s.substr(0, n)) ? n : 0;
}

} // namespace

void appendJsonString(std::string &out, std::string_view utf8)
{
    out += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

bool appendReversible(std::string &out, std::string_view bytes)
{
    if (text::isValidUtf8(bytes)) {
        out += bytes;
        return false;
    }
    while (!bytes.empty()) {
        const std::size_t n = sequenceAt(bytes);
        if (n == 1 && bytes[0] == '\\') {
            out += "\\\\";
        } else if (n > 0) {
            out += bytes.substr(0, n);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(static_cast<unsigned char>(bytes[0])));
            out += hex;
        }
        bytes.remove_prefix(n ? n : 1);
    }
    return true;
}

namespace {

// RFC 4180: quoted, with quotes doubled.
void appendCsvString(std::string &out, std::string_view utf8)
{
    out += '"';
    for (const char c : utf8)
        out.append(c == '"' ? 2 : 1, c);
    out += '"';
}

struct Value {
    std::string key, text;
    bool literal = false; // a number or a truth value, unquoted in JSON
};

std::string reversible(std::string_view bytes, bool &escaped)
{
    std::string out;
    escaped = appendReversible(out, bytes) || escaped;
    return out;
}

const char *truth(bool b)
{
    return b ? "true" : "false";
}

// Every value of a hit, named, in the order the forms give them.
std::vector<Value> describe(const RecordSet &records, int pos, const Origin &origin, std::string &folder,
                            std::string &name)
{
    const bool exact = records.exactAt(pos, fld::Path, folder) & records.exactAt(pos, fld::LongName, name);
    bool escaped = false, unused = false;
    const Volume none;
    const Volume &v = origin.volume ? *origin.volume : none;
    std::vector<Value> values{{"file", reversible(origin.file, unused)},
                              {"volume_label", v.label},
                              {"volume_uuid", v.uuid},
                              {"online", truth(origin.online), true},
                              {"folder", reversible(folder, escaped)},
                              {"name", reversible(name, escaped)},
                              {"escaped", truth(escaped), true},
                              {"exact", truth(exact), true},
                              {"size", std::to_string(records.integerAt(pos, fld::Size)), true},
                              {"modified", std::string(text::trimRight(records.utf8At(pos, fld::Modified)))}};
    for (int f = 0; f < records.fieldCount(); ++f)
        values.push_back({"Field" + std::to_string(f + 1), reversible(records.utf8At(pos, f), unused)});
    return values;
}

} // namespace

const Volume *volumeOf(const RecordSet &records, int pos, const Volumes &volumes)
{
    const std::uint32_t folder = records.sharedValues(fld::Path)->id(records.bookmarkAt(pos));
    const int v = folder < volumes.folderVolume.size() ? volumes.folderVolume[folder] : -1;
    return v >= 0 ? &volumes.list[std::size_t(v)] : nullptr;
}

void HitWriter::begin(std::string &out)
{
    if (m_form != Form::Csv)
        return;
    // The names are those of any record's values.
    RecordSet layout;
    CreateRecordSet(layout);
    layout.addNew();
    const std::string file;
    const std::vector<Value> values = describe(layout, 0, {file}, m_folder, m_name);
    for (std::size_t i = 0; i < values.size(); ++i)
        out += values[i].key + (i + 1 < values.size() ? "," : "\r\n");
}

void HitWriter::append(std::string &out, const RecordSet &records, int pos, const Origin &origin)
{
    const std::vector<Value> values = describe(records, pos, origin, m_folder, m_name);
    if (m_form == Form::Text) {
        // Label, online, path, size, time: what a person looks for first; the path's bytes as
        // they are, so that a terminal shows them as ls does.
        for (const std::string &text : {values[1].text, std::string(origin.online ? "online" : "offline"),
                                        m_folder + m_name, values[8].text, values[9].text}) {
            appendEscaped(out, text);
            out += '\t';
        }
        out.back() = '\n';
        return;
    }
    char separator = m_form == Form::Json ? '{' : '\0';
    for (const Value &value : values) {
        if (separator)
            out += separator;
        separator = ',';
        if (m_form == Form::Csv) {
            appendCsvString(out, value.text);
            continue;
        }
        appendJsonString(out, value.key);
        out += ':';
        value.literal ? (void)(out += value.text) : appendJsonString(out, value.text);
    }
    out += m_form == Form::Json ? "}\n" : "\r\n";
}

} // namespace trv
