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
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void usage(std::FILE *to = stderr)
{
    std::fputs("usage: trv --help | --version\n"
               "  Prints this text, or the version.\n"
               "usage: trv scan DIR...\n"
               "  Walks each DIR and prints one line per file: long name, short name, folder,\n"
               "  modified, created, accessed, size, date key, extension, separated by tabs.\n"
               "  A relative DIR is taken from the current folder and made normal first.\n"
               "usage: trv drives\n"
               "  Prints the drive list, one line per drive, and its root path after a tab.\n"
               "usage: trv save -o FILE DIR...\n"
               "  Walks each DIR into one catalogue and saves it as the catalogue file FILE.\n"
               "usage: trv dump FILE\n"
               "  Prints the records of the catalogue file FILE as trv scan prints them.\n"
               "usage: trv report FILE -o OUT.pdf\n"
               "  Writes the printed report of the catalogue file FILE, in its order, as a PDF.\n"
               "Escapes: a value never holds a raw tab, line break or other control character.\n"
               "  \\t \\n \\r and \\\\ stand for tab, line feed, carriage return and backslash;\n"
               "  \\xHH for any other control character (HH: two hex digits of its code);\n"
               "  \\u{85} \\u{2028} \\u{2029} for the Unicode line and paragraph separators.\n",
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

// Bytes that start an escape, or may start an escaped Unicode line break (C2 85, E2 80 A8/A9).
constexpr std::array<bool, 256> kMayEscape = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[std::size_t(c)] = true;
    t[0x7F] = t[std::size_t('\\')] = t[0xC2] = t[0xE2] = true;
    return t;
}();

// The escape of the character at the start of s, and the bytes it stands for; none for a
// byte that needs no escape.
std::pair<std::string_view, std::size_t> escapeAt(std::string_view s, char (&hex)[5])
{
    const auto c = static_cast<unsigned char>(s[0]);
    switch (c) {
    case '\t':
        return {"\\t", 1};
    case '\n':
        return {"\\n", 1};
    case '\r':
        return {"\\r", 1};
    case '\\':
        return {"\\\\", 1};
    case 0xC2:
        if (s.substr(0, 2) == "\xC2\x85")
            return {"\\u{85}", 2};
        return {{}, 0};
    case 0xE2:
        if (s.substr(0, 3) == "\xE2\x80\xA8")
            return {"\\u{2028}", 3};
        if (s.substr(0, 3) == "\xE2\x80\xA9")
            return {"\\u{2029}", 3};
        return {{}, 0};
    default:
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        return {std::string_view(hex, 4), 1};
    }
}

// Whether eight bytes hold one that may start an escape; most values hold none, and testing
// them a byte at a time took a tenth of a scan.
bool mayEscape(const char *p)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    std::uint64_t w = 0;
    std::memcpy(&w, p, sizeof w);
    const auto hasZero = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
    return ((w - 0x20 * kOnes) & ~w & kHighs) != 0 || hasZero(w ^ (0x7F * kOnes)) || hasZero(w ^ ('\\' * kOnes)) ||
           hasZero(w ^ (0xC2 * kOnes)) || hasZero(w ^ (0xE2 * kOnes));
}

void appendEscaped(std::string &out, std::string_view value)
{
    char hex[5];
    std::size_t run = 0; // start of the bytes not yet appended
    for (std::size_t i = 0; i < value.size();) {
        if (i + 8 <= value.size() && !mayEscape(value.data() + i)) {
            i += 8;
            continue;
        }
        if (!kMayEscape[static_cast<unsigned char>(value[i])]) {
            ++i;
            continue;
        }
        const auto [escape, length] = escapeAt(value.substr(i), hex);
        if (length == 0) {
            ++i;
            continue;
        }
        out.append(value.substr(run, i - run));
        out.append(escape);
        i += length;
        run = i;
    }
    out.append(value.substr(run));
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

// The folder as an absolute, normal path, as the drive roots are: the lexically normal path
// when it names the same folder, else the one the kernel resolves (a link before "..").
std::string normalRoot(const char *dir)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path lexical = fs::absolute(dir, error).lexically_normal();
    if (!error && fs::equivalent(lexical, dir, error))
        return lexical.string();
    const fs::path real = fs::canonical(dir, error);
    return error ? std::string(dir) : real.string();
}

// Numbers, and dates and keys kept packed, are texts of digits and a few separators: they
// never need an escape. Values shared by many records (folders, extensions) usually repeat
// the one before, so their escaped form is kept.
class RecordFormatter {
public:
    explicit RecordFormatter(const RecordSet &layout) : m_fields(std::size_t(layout.fieldCount()))
    {
        for (std::size_t f = 0; f < m_fields.size(); ++f) {
            m_fields[f].numeric = layout.field(int(f)).isNumeric();
            m_fields[f].shared = layout.field(int(f)).storage == Storage::Shared;
        }
    }

    // The lines of the records from first to last, of a record set laid out as the one given.
    void format(const RecordSet &records, int first, int last, std::string &out)
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

private:
    struct Field {
        bool numeric = false, shared = false;
        std::string last, lastEscaped;
    };

    void appendValue(const RecordSet &records, int pos, std::size_t f, std::string &out)
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

    std::vector<Field> m_fields;
    std::string m_value;
};

void formatRecords(const RecordSet &records, int first, int last, std::string &out)
{
    RecordFormatter(records).format(records, first, last, out);
}

bool write(const std::string &text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Formatting the lines costs a good part of a scan, so each block of rows is formatted in
// two halves on two threads; the record set is only read meanwhile.
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
    // Listings are made and freed on other threads, whose heaps keep the freed pages: handing
    // them back now and then keeps a large walk's peak close to what its records need.
    walk.setProgress([](qint64 files) {
        if (files % 100'000 == 0)
            malloc_trim(0);
    });
    walk.FindDirs(normalRoot(dir));
}

// Prints the records of a walk while it runs. The walk fills one batch of whole directories
// while a thread of its own formats and writes the batch before, so that the walk's thread
// never waits for the output; batches are printed in the order they were filled, and each is
// emptied once printed, so the memory of a scan does not grow with the tree.
class StreamingPrinter {
public:
    StreamingPrinter()
    {
        for (RecordSet &batch : m_batches)
            CreateRecordSet(batch);
        m_formatter.emplace(m_batches[0]);
        m_thread = std::thread(&StreamingPrinter::print, this);
    }
    ~StreamingPrinter()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    StreamingPrinter(const StreamingPrinter &) = delete;
    StreamingPrinter &operator=(const StreamingPrinter &) = delete;

    void walk(const char *dir)
    {
        WalkState state;
        DirectoryWalk walk(*m_filling, state);
        walk.setCancelFlag(&m_failed);
        walk.setDirectoryRecorded([this, &walk] {
            if (m_filling->count() >= kBatch) {
                handOver();
                walk.setCatalogue(*m_filling);
            }
        });
        walk.FindDirs(normalRoot(dir));
        handOver();
    }

    // Waits until every batch handed over is printed; false when the output failed.
    [[nodiscard]] bool finish()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_printing == nullptr; });
        return ok();
    }
    [[nodiscard]] bool ok() const { return !m_failed.load(std::memory_order_relaxed); }

private:
    static constexpr int kBatch = 4096;

    // Gives the filled batch to the printing thread once it is done with the one before, and
    // fills the other meanwhile.
    void handOver()
    {
        if (m_filling->count() == 0)
            return;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_printing == nullptr; });
            m_printing = m_filling;
        }
        m_changed.notify_all();
        m_filling = m_filling == &m_batches[0] ? &m_batches[1] : &m_batches[0];
    }

    void print()
    {
        for (;;) {
            RecordSet *batch = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_printing != nullptr || m_stop; });
                if (!m_printing)
                    return;
                batch = m_printing;
            }
            if (ok()) {
                m_formatter->format(*batch, 0, batch->count(), m_text);
                if (!write(m_text))
                    m_failed.store(true, std::memory_order_relaxed); // ends the walk
            }
            batch->open(); // the same fields, no records
            {
                const std::lock_guard lock(m_mutex);
                m_printing = nullptr;
            }
            m_changed.notify_all();
        }
    }

    std::array<RecordSet, 2> m_batches;
    RecordSet *m_filling = &m_batches[0];       // the walk's thread's
    RecordSet *m_printing = nullptr;            // guarded by m_mutex
    std::optional<RecordFormatter> m_formatter; // the printing thread's, as is m_text
    std::string m_text;
    std::atomic<bool> m_failed{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    std::thread m_thread;
};

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
    static char buffer[1 << 16];
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
    StreamingPrinter printer;
    for (int i = 2; i < argc && printer.ok(); ++i)
        printer.walk(argv[i]);
    return printed(printer.finish());
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
    switch (cataloguefile::save(catalogue, argv[3], error)) {
    case atomicfile::Outcome::Replaced:
        return 0;
    case atomicfile::Outcome::Unsynced:
        std::fprintf(stderr, "trv: saved the catalogue to '%s', but it is not yet known to be on disk: %s\n", argv[3],
                     error.c_str());
        return 1;
    case atomicfile::Outcome::Failed:
        break;
    }
    std::fprintf(stderr, "trv: cannot save the catalogue to '%s': %s\n", argv[3], error.c_str());
    return 1;
}

// The catalogue of a file, or nothing once the reason it was refused has been said.
std::unique_ptr<RecordSet> openCatalogue(const char *path)
{
    std::string error;
    std::unique_ptr<RecordSet> catalogue = cataloguefile::open(path, error);
    if (!catalogue)
        std::fprintf(stderr, "trv: cannot open the catalogue file '%s': %s\n", path, error.c_str());
    return catalogue;
}

int dump(int argc, char **argv)
{
    if (argc != 3) {
        usage();
        return 2;
    }
    const std::unique_ptr<RecordSet> catalogue = openCatalogue(argv[2]);
    if (!catalogue)
        return 2;
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
    const std::unique_ptr<RecordSet> catalogue = openCatalogue(argv[2]);
    if (!catalogue)
        return 2;
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
    // A fixed threshold keeps large buffers mapped on their own: freed, they leave the
    // process, and they grow by remapping. The adaptive one moves them into the heap.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
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
