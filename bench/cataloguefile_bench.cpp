// Saving and opening a catalogue file at catalogue scale: time, bytes per record, and the
// memory an opened catalogue takes beside the scanned one.
// Usage: cataloguefile_bench [RECORDS] [FILE]   (default 1,000,000 and /tmp)

#include "catalogfile/cataloguefile.h"
#include "measure.h"
#include "synthetic.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const std::string path = argc > 2 ? argv[2] : "/tmp/cataloguefile_bench.trv";
    std::string error;

    long base = trimmedResident();
    auto scanned = std::make_unique<RecordSet>();
    CreateRecordSet(*scanned);
    fillSyntheticCatalogue(*scanned, records);
    const long afterScan = trimmedResident() - base;
    scanned->setSort(QStringLiteral("Field1")); // saved in the order on show, as the window does
    bool ok = true;
    const double save =
        millis([&] { ok = cataloguefile::save(*scanned, path, error) == atomicfile::Outcome::Replaced; });
    if (!ok) {
        std::fprintf(stderr, "save failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("records            %d\n", records);
    std::printf("save               %8.1f ms\n", save);
    std::fflush(stdout);
    struct stat st {};
    ::stat(path.c_str(), &st);
    const std::size_t scannedMemory = scanned->memoryUsage();
    scanned.reset();

    base = trimmedResident();
    std::unique_ptr<RecordSet> opened;
    const double open = millis([&] { opened = cataloguefile::open(path, error); });
    if (!opened) {
        std::fprintf(stderr, "open failed: %s\n", error.c_str());
        return 1;
    }
    const long afterOpen = trimmedResident() - base;
    std::printf("open               %8.1f ms\n", open);
    std::printf("file               %8.1f bytes/record (%lld bytes)\n", double(st.st_size) / records,
                (long long)st.st_size);
    std::printf("resident growth    scan %.1f, open %.1f bytes/record (%+.1f%%)\n", double(afterScan) / records,
                double(afterOpen) / records, 100.0 * (double(afterOpen) - double(afterScan)) / double(afterScan));
    std::printf("own accounting     scan %.1f, open %.1f bytes/record\n", double(scannedMemory) / records,
                double(opened->memoryUsage()) / records);
    ::unlink(path.c_str());
    return 0;
}
