#pragma once
// Saving or opening a catalogue file on a worker thread, as the walk does, so a big
// catalogue does not freeze the window. An open reads into a record set of the job's own
// that the window takes only when the file was read whole; a save reads a record set that
// the window leaves unchanged until finished().

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "platform/atomicfile.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CatalogueFileJob : public QObject {
    Q_OBJECT
public:
    explicit CatalogueFileJob(QObject *parent = nullptr);
    ~CatalogueFileJob() override; // waits for every thread it started

    // Reads the files as one catalogue, their records one file after the other, and orders
    // them by sortOrder, so that the window applying it costs nothing. A file that cannot be
    // read is passed over and named in skipped(); the job fails when no file could be read.
    void open(const QStringList &paths, const QString &sortOrder);
    void save(const RecordSet &records, const Volumes &volumes, const QString &path);
    [[nodiscard]] bool running() const { return m_task != nullptr; }

    // Gives the running job up: finished() is not emitted for it and its result is dropped
    // when its thread ends, which it is left to do on its own.
    void abandon();
    // Waits for the running job's thread; finished() still follows from the event loop.
    void wait();
    // Waits for every thread, abandoned ones included.
    void join();

    // After finished(): the outcome of the job that ended.
    [[nodiscard]] bool succeeded() const;
    [[nodiscard]] QString error() const;
    // The job failed for want of memory, not for what the file holds.
    [[nodiscard]] bool outOfMemory() const;
    // A save's outcome: a file in place may still not be known to be on disk.
    [[nodiscard]] atomicfile::Outcome saved() const;
    [[nodiscard]] std::unique_ptr<RecordSet> takeRecords();
    // The files an open passed over, each with the reason.
    [[nodiscard]] QStringList skipped() const;

signals:
    void finished();

private:
    struct Task {
        std::thread thread;
        std::unique_ptr<RecordSet> records; // what an open read
        std::string error;
        QStringList skipped;
        bool succeeded = false;
        bool outOfMemory = false;
        atomicfile::Outcome saved = atomicfile::Outcome::Failed; // of a save
    };
    void start(std::function<void(Task &)> work);
    void ended(Task *task);

    std::unique_ptr<Task> m_task; // running
    std::unique_ptr<Task> m_done; // the last one that ended
    std::vector<std::unique_ptr<Task>> m_abandoned;
};
