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

    // Orders what it read by sortOrder, so that the window applying it costs nothing.
    void open(const QString &path, const QString &sortOrder);
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

signals:
    void finished();

private:
    struct Task {
        std::thread thread;
        std::unique_ptr<RecordSet> records; // what an open read
        std::string error;
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
