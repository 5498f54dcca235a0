#include "catalogue/scanjob.h"

#include "catalogue/layouts.h"

#include <QMetaObject>

ScanJob::ScanJob(QObject *parent) : QObject(parent) {}

ScanJob::~ScanJob()
{
    cancel();
}

void ScanJob::start(std::vector<Drive> drives, const QString &sortOrder)
{
    cancel();
    m_cancel.store(false);
    m_runningTotal.store(0);
    m_state = WalkState{};
    m_volumes = Volumes{};
    m_failure = Failure::None;
    m_failureText.clear();
    m_catalogue = std::make_unique<RecordSet>();
    CreateRecordSet(*m_catalogue);
    m_worker = std::thread(&ScanJob::run, this, std::move(drives), sortOrder, ++m_generation);
}

void ScanJob::run(std::vector<Drive> drives, QString sortOrder, quint64 generation)
{
    // Nothing thrown may leave the worker: a walk that ran out of memory (or met any other
    // failure) drops what it made and is reported as failed on the owner's thread.
    try {
        if (!walkAndOrder(drives, sortOrder))
            return;
    } catch (const std::bad_alloc &) {
        m_failure = Failure::OutOfMemory;
    } catch (const std::exception &e) {
        m_failure = Failure::Other;
        m_failureText = e.what();
    }
    if (m_failure != Failure::None)
        m_catalogue.reset();
    m_walkEnded = std::chrono::steady_clock::now();
    // Queued: the slot runs on the window's thread once this thread has let go.
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            // A walk cancelled and replaced since must not report the new one's end.
            if (generation != m_generation || m_cancel.load())
                return;
            join();
            emit finished();
        },
        Qt::QueuedConnection);
}

bool ScanJob::walkAndOrder(const std::vector<Drive> &drives, const QString &sortOrder)
{
    DirectoryWalk walk(*m_catalogue, m_state);
    walk.setCancelFlag(&m_cancel);
    walk.setProgress([this](qint64 total) { m_runningTotal.store(total, std::memory_order_relaxed); });
    for (const Drive &d : drives) {
        if (walk.cancelled())
            return false;
        m_state.CurrentDrive = d.position;
        m_volumes.walk(walk, *m_catalogue, d.root);
    }
    if (walk.cancelled())
        return false;
    if (m_catalogue->count() > 0)
        m_catalogue->setSort(sortOrder);
    m_catalogue->squeeze();
    return true;
}

void ScanJob::cancel()
{
    m_cancel.store(true);
    join();
}

void ScanJob::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

std::unique_ptr<RecordSet> ScanJob::takeCatalogue()
{
    return std::move(m_catalogue);
}
