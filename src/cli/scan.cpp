// trv scan DIR...: prints the records of each folder's walk while it runs.
#include "catalogue/layouts.h"
#include "catalogue/walk.h"
#include "commands.h"
#include "inputs.h"
#include "output.h"
#include "records.h"

#include <CLI/CLI.hpp>
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace trv {
namespace {

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

    void walk(const std::string &dir)
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

int scan(const std::vector<std::string> &dirs)
{
    if (!checkDirectories(dirs))
        return kError;
    bufferStdout();
    StreamingPrinter printer;
    for (std::size_t i = 0; i < dirs.size() && printer.ok(); ++i)
        printer.walk(dirs[i]);
    return printed(printer.finish(), "records");
}

Run define(CLI::App &command)
{
    auto dirs = std::make_shared<std::vector<std::string>>();
    command.add_option("DIR", *dirs)->required();
    return [dirs] { return scan(*dirs); };
}

} // namespace

constinit const Command scanCommand{
    "scan",
    "usage: trv scan DIR...\n"
    "  Walks each DIR and prints one line per file: long name, short name, folder,\n"
    "  modified, created, accessed, size, date key, extension, separated by tabs.\n"
    "  A relative DIR is taken from the current folder and made normal first.\n",
    define,
};

} // namespace trv
