#include "catalogue/layouts.h"

void CreateRecordSet(RecordSet &catalogue)
{
    struct Def {
        const char *name;
        int definedSize;
        Storage storage;
    };
    // Sizes of 2 GiB and more are kept whole, so the size field is a 64-bit integer.
    static const Def defs[fld::Count] = {
        {"Field1", 25, Storage::Name},     {"Field2", 14, Storage::Text},     {"Field3", 255, Storage::Shared},
        {"Field4", 25, Storage::DateTime}, {"Field5", 25, Storage::DateTime}, {"Field6", 25, Storage::Date},
        {"Field7", 0, Storage::Integer},   {"Field8", 25, Storage::DateKey},  {"Field9", 25, Storage::Shared},
    };
    for (const Def &d : defs) {
        FieldDef f;
        f.name = QString::fromLatin1(d.name);
        f.adoType = d.storage == Storage::Integer ? ado::adBigInt : ado::adVarChar;
        f.definedSize = d.definedSize;
        f.storage = d.storage;
        catalogue.appendField(f);
    }
    catalogue.open();
}

void BuildDummyRecordSet(RecordSet &dummy)
{
    for (int i = 1; i <= fld::Count; ++i) {
        FieldDef f;
        f.name = QStringLiteral("Field%1").arg(i);
        f.adoType = ado::adBSTR;
        f.definedSize = 0;
        dummy.appendField(f);
    }
    dummy.open();
    for (int i = 0; i < kDummyRows; ++i)
        dummy.addNew();
    dummy.moveFirst();
}
