// trv: the command-line companion. `trv scan DIR...` walks each DIR with the program's own
// walk and prints one line per record, the nine stored values separated by tabs.
// `trv drives` prints the drive list's lines, each with its root path after a tab.
// `trv save -o FILE DIR...` walks the DIRs into one catalogue and saves it as a catalogue
// file; `trv dump FILE` prints a catalogue file's records as `trv scan` prints them;
// `trv report FILE -o OUT.pdf` writes the catalogue file's printed report as a PDF.

#include "catalogue/drivelist.h"
#include "catalogue/layouts.h"
#include "catalogue/walk.h"
#include "files/cataloguefile.h"
#include "files/report.h"
#include "files/reportoutput.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void usage(std::FILE *to = stderr)
{
    std::fputs("usage: trv --help | --version\n"
               "  Prints this text, or the version.\n"
               "usage: trv scan DIR...\n"
               "  Walks each DIR and prints one line per file: long name, short name, folder,\n"
               "  modified, created, accessed, size, date key, extension, separated by tabs.\n"
               "usage: trv drives\n"
               "  Prints the drive list, one line per drive, and its root path after a tab.\n"
               "usage: trv save -o FILE DIR...\n"
               "  Walks each DIR into one catalogue and saves it as the catalogue file FILE.\n"
               "usage: trv dump FILE\n"
               "  Prints the records of the catalogue file FILE as trv scan prints them.\n"
               "usage: trv report FILE -o OUT.pdf\n"
               "  Writes the printed report of the catalogue file FILE, in its order, as a PDF.\n",
               to);
}

// Asked-for help and the version go to standard output and end in success.
bool option(int argc, char **argv, int &status)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        usage(stdout);
    else if (std::strcmp(argv[1], "--version") == 0)
        std::fputs("trv " TARVOLO_VERSION "\n", stdout);
    else
        return false;
    status = std::fflush(stdout) == 0 ? 0 : 1;
    return true;
}

// A tab, newline or backslash inside a value would break the line format.
void appendEscaped(std::string &out, const std::string &value)
{
    // Three vectorised memchr passes beat one byte-by-byte pass over the padded values.
    const auto absent = [&](char c) { return std::memchr(value.data(), c, value.size()) == nullptr; };
    const bool plain = absent('\t') && absent('\n') && absent('\\');
    if (plain) {
        out += value;
        return;
    }
    for (const char c : value) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out.push_back(c);
        }
    }
}

bool checkDirectory(const char *dir)
{
    const int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "trv: cannot read directory '%s': %s\n", dir, std::strerror(errno));
        return false;
    }
    ::close(fd);
    return true;
}

void formatRecords(const RecordSet &records, int first, int last, std::string &out)
{
    std::string value;
    out.clear();
    for (int pos = first; pos < last; ++pos) {
        for (int f = 0; f < records.fieldCount(); ++f) {
            if (f > 0)
                out.push_back('\t');
            records.utf8At(pos, f, value);
            appendEscaped(out, value);
        }
        out.push_back('\n');
    }
}

bool write(const std::string &text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Formatting the lines costs a good part of a scan, so each block of rows is formatted in
// two halves on two threads; the record set is only read meanwhile.
bool printRecords(const RecordSet &records)
{
    constexpr int kBlock = 32768;
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

bool checkDirectories(int first, int argc, char **argv)
{
    for (int i = first; i < argc; ++i)
        if (!checkDirectory(argv[i]))
            return false;
    return true;
}

void walkInto(RecordSet &catalogue, const char *dir)
{
    WalkState state;
    DirectoryWalk walk(catalogue, state);
    walk.FindDirs(dir);
}

int printed(bool ok)
{
    if (!ok || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "trv: cannot write the records: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

void bufferStdout()
{
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

int scan(int argc, char **argv)
{
    if (argc < 3) {
        usage();
        return 2;
    }
    if (!checkDirectories(2, argc, argv))
        return 2;
    bufferStdout();
    for (int i = 2; i < argc; ++i) {
        RecordSet catalogue;
        CreateRecordSet(catalogue);
        walkInto(catalogue, argv[i]);
        if (!printRecords(catalogue))
            return printed(false);
    }
    return printed(true);
}

int save(int argc, char **argv)
{
    if (argc < 5 || std::strcmp(argv[2], "-o") != 0) {
        usage();
        return 2;
    }
    if (!checkDirectories(4, argc, argv))
        return 2;
    RecordSet catalogue;
    CreateRecordSet(catalogue);
    for (int i = 4; i < argc; ++i)
        walkInto(catalogue, argv[i]);
    std::string error;
    if (!cataloguefile::save(catalogue, argv[3], error)) {
        std::fprintf(stderr, "trv: cannot save the catalogue to '%s': %s\n", argv[3], error.c_str());
        return 1;
    }
    return 0;
}

int dump(int argc, char **argv)
{
    if (argc != 3) {
        usage();
        return 2;
    }
    std::string error;
    const std::unique_ptr<RecordSet> catalogue = cataloguefile::open(argv[2], error);
    if (!catalogue) {
        std::fprintf(stderr, "trv: cannot open the catalogue file '%s': %s\n", argv[2], error.c_str());
        return 2;
    }
    bufferStdout();
    return printed(printRecords(*catalogue));
}

// The report needs fonts, so a GUI application on a platform that shows nothing.
int report(int argc, char **argv)
{
    if (argc != 5 || std::strcmp(argv[3], "-o") != 0) {
        usage();
        return 2;
    }
    std::string error;
    const std::unique_ptr<RecordSet> catalogue = cataloguefile::open(argv[2], error);
    if (!catalogue) {
        std::fprintf(stderr, "trv: cannot open the catalogue file '%s': %s\n", argv[2], error.c_str());
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QString title =
        QStringLiteral("Tarvolo  -  Display Of ") + QFileInfo(QString::fromLocal8Bit(argv[2])).fileName();
    const TRVReport trvReport(*catalogue, {title, QString()});
    if (writeReportPdf(trvReport, QString::fromLocal8Bit(argv[4])) != ReportOutcome::Done) {
        std::fprintf(stderr, "trv: cannot write the report '%s'\n", argv[4]);
        return 1;
    }
    return 0;
}

int drives(int argc)
{
    if (argc != 2) {
        usage();
        return 2;
    }
    DriveTables tables;
    const QStringList lines = GetDrives(tables);
    std::string out;
    for (qsizetype p = 0; p < lines.size(); ++p) {
        appendEscaped(out, lines[p].toStdString());
        out.push_back('\t');
        appendEscaped(out, DriveRootPath(tables.DriveRoots[std::size_t(p)]));
        out.push_back('\n');
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "trv: cannot write the drives: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (int status = 0; option(argc, argv, status))
        return status;
    if (argc >= 2 && std::strcmp(argv[1], "scan") == 0)
        return scan(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "drives") == 0)
        return drives(argc);
    if (argc >= 2 && std::strcmp(argv[1], "save") == 0)
        return save(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "dump") == 0)
        return dump(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "report") == 0)
        return report(argc, argv);
    usage();
    return 2;
}
