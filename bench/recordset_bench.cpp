// Memory per record and the cost of the record set's sorts and finds at catalogue scale.
// Usage: recordset_bench [RECORDS]   (default 1,000,000)

#include "measure.h"
#include "synthetic.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>

int main(int argc, char **argv)
{
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    malloc_trim(0);
    const long before = residentBytes();
    RecordSet rs;
    CreateRecordSet(rs);
    const double build = millis([&] { fillSyntheticCatalogue(rs, records); });
    malloc_trim(0);
    const long after = residentBytes();
    std::printf("records            %d\n", records);
    std::printf("build              %8.1f ms\n", build);
    std::printf("resident growth    %8.1f bytes/record (own accounting %.1f)\n", double(after - before) / records,
                double(rs.memoryUsage()) / records);

    const char *const sorts[] = {"Field1", "Field2", "Field3",      "Field7",
                                 "Field8", "Field9", "Field1 Desc", "Field7 Desc"};
    for (const char *sortText : sorts)
        std::printf("sort %-13s %8.1f ms\n", sortText, millis([&] { rs.setSort(QString::fromLatin1(sortText)); }));

    // Ordered by the long name the find halves; ordered by the short name it must scan.
    const char *const finds[] = {"Field1 >= 'a'", "Field1 >= 'notes_4'", "Field1 >= 'template_9'", "Field1 >= 'zzz'"};
    for (const char *order : {"Field1", "Field2"}) {
        rs.setSort(QStringLiteral("Field3")); // so that equal short names are not left in long-name order
        rs.setSort(QString::fromLatin1(order));
        for (const char *criterion : finds) {
            const double ms = millis([&] {
                rs.moveFirst();
                rs.find(QString::fromLatin1(criterion));
            });
            std::printf("by %s find %-22s %6.1f ms (position %d)\n", order, criterion, ms, rs.position());
        }
    }
    return 0;
}
