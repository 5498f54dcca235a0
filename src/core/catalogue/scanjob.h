#pragma once
// One Display's walk of the selected drives on a worker thread. The worker fills a
// catalogue of its own, which the window takes over only when the walk has ended, so no
// record is shared while it is being built. The window polls the running total.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "catalogue/walk.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class ScanJob : public QObject {
    Q_OBJECT
public:
    struct Drive {
        int position = 0; // drive-list position: the entry of DriveFileCounts it counts in
        std::string root;
    };

    explicit ScanJob(QObject *parent = nullptr);
    ~ScanJob() override; // cancels a running walk

    // Walks the drives in the given order into a new catalogue and orders it by sortOrder,
    // so that applying the same order on the window's thread costs nothing. finished() is
    // emitted on the thread that owns this object.
    void start(std::vector<Drive> drives, const QString &sortOrder);
    // Stops a running walk and waits for the worker (it ends within one entry); the
    // partial catalogue is dropped and finished() is not emitted.
    void cancel();
    [[nodiscard]] bool running() const { return m_worker.joinable(); }

    // The last total the walk published: a multiple of 100 while it runs.
    [[nodiscard]] qint64 runningTotal() const { return m_runningTotal.load(std::memory_order_relaxed); }

    // After finished(): what stopped the walk, if anything; then no catalogue is left.
    enum class Failure { None, OutOfMemory, Other };
    [[nodiscard]] Failure failure() const { return m_failure; }
    [[nodiscard]] const std::string &failureText() const { return m_failureText; }
    // After finished(): the catalogue and the counts of the walk.
    std::unique_ptr<RecordSet> takeCatalogue();
    // What identifies each walked drive, and the folders each one gave.
    Volumes takeVolumes() { return std::move(m_volumes); }
    [[nodiscard]] const WalkState &state() const { return m_state; }
    // When the worker had the catalogue ready, for measuring what the window adds.
    [[nodiscard]] std::chrono::steady_clock::time_point walkEnded() const { return m_walkEnded; }

signals:
    void finished();

private:
    void run(std::vector<Drive> drives, QString sortOrder, quint64 generation);
    // False when cancelled; throws what the walk or the sort throws.
    bool walkAndOrder(const std::vector<Drive> &drives, const QString &sortOrder);
    void join();

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_runningTotal{0};
    std::unique_ptr<RecordSet> m_catalogue;
    Volumes m_volumes;
    WalkState m_state;
    std::chrono::steady_clock::time_point m_walkEnded;
    Failure m_failure = Failure::None; // written by the worker, read after finished()
    std::string m_failureText;
    quint64 m_generation = 0; // touched on the owner's thread only
};
