#include "saveopen/cataloguefilejob.h"

#include "catalogfile/cataloguefile.h"
#include "catalogue/recordunion.h"

#include <QFile>
#include <QMetaObject>

CatalogueFileJob::CatalogueFileJob(QObject *parent) : QObject(parent) {}

CatalogueFileJob::~CatalogueFileJob()
{
    join();
}

namespace {

// Reads each file into the first one read; the others are passed over, or end the job once
// memory ran out.
std::unique_ptr<RecordSet> openEach(const QStringList &paths, std::string &error, QStringList &skipped)
{
    std::unique_ptr<RecordSet> all;
    for (const QString &path : paths) {
        std::string reason;
        std::unique_ptr<RecordSet> one = cataloguefile::open(QFile::encodeName(path).toStdString(), reason);
        if (reason == cataloguefile::kNoMemoryToOpen)
            throw std::bad_alloc();
        if (!one) {
            skipped.append(QStringLiteral("%1: %2").arg(path, QString::fromStdString(reason)));
            if (error.empty())
                error = reason;
        } else if (!all) {
            all = std::move(one);
        } else {
            appendRecords(*all, *one);
        }
    }
    if (all && paths.size() > 1)
        all->squeeze();
    return all;
}

} // namespace

void CatalogueFileJob::open(const QStringList &paths, const QString &sortOrder)
{
    abandon();
    start([paths, sortOrder](Task &t) {
        t.records = openEach(paths, t.error, t.skipped);
        t.succeeded = t.records != nullptr;
        if (t.succeeded && t.records->count() > 0)
            t.records->setSort(sortOrder);
    });
}

void CatalogueFileJob::save(const RecordSet &records, const Volumes &volumes, const QString &path)
{
    abandon();
    start([&records, &volumes, file = QFile::encodeName(path).toStdString()](Task &t) {
        t.saved = cataloguefile::save(records, volumes, file, t.error);
        t.succeeded = t.saved != atomicfile::Outcome::Failed;
    });
}

void CatalogueFileJob::start(std::function<void(Task &)> work)
{
    m_task = std::make_unique<Task>();
    Task *task = m_task.get();
    // The task lives until its queued end has been seen here, so the pointer stays unique.
    task->thread = std::thread([this, task, work = std::move(work)] {
        // Nothing thrown may leave the worker: a sort that ran out of memory fails the job.
        try {
            work(*task);
        } catch (const std::bad_alloc &) {
            task->records.reset();
            task->succeeded = false;
            task->outOfMemory = true;
        } catch (const std::exception &e) {
            task->records.reset();
            task->succeeded = false;
            task->error = e.what();
        }
        QMetaObject::invokeMethod(
            this, [this, task] { ended(task); }, Qt::QueuedConnection);
    });
}

void CatalogueFileJob::ended(Task *task)
{
    if (task->thread.joinable())
        task->thread.join();
    if (task == m_task.get()) {
        m_done = std::move(m_task);
        emit finished();
        return;
    }
    std::erase_if(m_abandoned, [task](const std::unique_ptr<Task> &t) { return t.get() == task; });
}

void CatalogueFileJob::abandon()
{
    if (m_task)
        m_abandoned.push_back(std::move(m_task));
}

void CatalogueFileJob::wait()
{
    if (m_task && m_task->thread.joinable())
        m_task->thread.join();
}

void CatalogueFileJob::join()
{
    wait();
    for (const std::unique_ptr<Task> &t : m_abandoned)
        if (t->thread.joinable())
            t->thread.join();
}

QStringList CatalogueFileJob::skipped() const
{
    return m_done ? m_done->skipped : QStringList();
}

bool CatalogueFileJob::succeeded() const
{
    return m_done && m_done->succeeded;
}

atomicfile::Outcome CatalogueFileJob::saved() const
{
    return m_done ? m_done->saved : atomicfile::Outcome::Failed;
}

bool CatalogueFileJob::outOfMemory() const
{
    return m_done && m_done->outOfMemory;
}

QString CatalogueFileJob::error() const
{
    return m_done ? QString::fromStdString(m_done->error) : QString();
}

std::unique_ptr<RecordSet> CatalogueFileJob::takeRecords()
{
    return m_done ? std::move(m_done->records) : nullptr;
}
