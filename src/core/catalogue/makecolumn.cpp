#include "catalogue/makecolumn.h"

#include "catalogue/codedcolumn.h"
#include "catalogue/columns.h"
#include "catalogue/namecolumn.h"

std::unique_ptr<Column> makeColumn(Storage storage)
{
    switch (storage) {
    case Storage::Text:
        return std::make_unique<TextColumn>();
    case Storage::Name:
        return std::make_unique<NameColumn>();
    case Storage::Shared:
        return std::make_unique<SharedTextColumn>();
    case Storage::DateTime:
        return std::make_unique<CodedTextColumn>(makeDigitsCodec("99/99/9999  99:99:99 XM"));
    case Storage::Date:
        return std::make_unique<CodedTextColumn>(makeDigitsCodec("99/99/9999"));
    case Storage::DateKey:
        return std::make_unique<CodedTextColumn>(makeDateKeyCodec());
    case Storage::Integer:
        return std::make_unique<IntegerColumn>();
    }
    return std::make_unique<TextColumn>();
}
