#pragma once
// A field's definition, shared by the record set and its column storage.

#include <QString>

// ADO type codes kept in the layout, so catalogue files can store it.
namespace ado {
constexpr int adInteger = 3;
constexpr int adBSTR = 8;
constexpr int adBigInt = 20;
constexpr int adVarChar = 200;
constexpr int adFldUnspecified = -1;
} // namespace ado

// How a field's values are kept. Every kind stores any value exactly; the hint only
// chooses the representation that is smallest for the values a field usually holds.
enum class Storage {
    Text,     // each value in a shared byte pool
    Name,     // as Text; a file's name may be kept as the file system gave it, the value derived
    Shared,   // values repeat (folder paths, extensions): each distinct value kept once
    DateTime, // "MM/DD/YYYY  HH:MM:SS AM" packed into 8 bytes
    Date,     // "MM/DD/YYYY" packed into 8 bytes
    DateKey,  // the sortable day-and-fraction key packed into 8 bytes
    Integer,  // 64-bit signed
};

struct FieldDef {
    QString name;
    int adoType = ado::adVarChar;
    int definedSize = 0;
    int attributes = ado::adFldUnspecified;
    Storage storage = Storage::Text;

    [[nodiscard]] bool isNumeric() const { return storage == Storage::Integer; }
};
