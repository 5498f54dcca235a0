#include "fileops/fileopjob.h"

#include "fileops/fileopprogress.h"
#include "fileops/fileopprompts.h"
#include "platform/text.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

// The jobs alive, on the window's thread only.
std::vector<FileOpJob *> &liveJobs()
{
    static std::vector<FileOpJob *> jobs;
    return jobs;
}

} // namespace

// The engine's side of the job. It lives as long as the longer of the job and the worker.
class FileOpJob::Bridge final : public fileop::Interaction {
public:
    Bridge(FileOpJob *job, FileOpPrompts &prompts) : m_job(job), m_prompts(prompts) {}

    fileop::Answer confirm(fileop::Question q, const std::string &path, bool readOnly) override
    {
        auto answer = std::make_shared<fileop::Answer>(fileop::Answer::Cancel);
        const QString p = text::toQString(path);
        onWindowThread([this, answer, q, p, readOnly] { *answer = m_prompts.confirm(q, p, readOnly); });
        return *answer;
    }
    void error(const std::string &text) override
    {
        const QString t = text::toQString(text);
        onWindowThread([this, t] { m_prompts.error(t); });
    }
    void progress(const std::string &path, std::int64_t done, std::int64_t total, int items) override
    {
        std::lock_guard lock(m_mutex);
        m_snapshot = {path, done, total, items};
    }
    bool cancelled() override { return m_cancel.load(std::memory_order_relaxed); }
    void removed(const std::string &path) override
    {
        std::lock_guard lock(m_mutex);
        m_removed.push_back(path);
    }
    [[nodiscard]] std::vector<std::string> takeRemoved()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_removed, {});
    }

    void cancel()
    {
        m_cancel = true;
        std::lock_guard lock(m_mutex);
        m_wake.notify_all();
    }
    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_job = nullptr;
    }
    [[nodiscard]] ProgressSnapshot snapshot()
    {
        std::lock_guard lock(m_mutex);
        return m_snapshot;
    }

private:
    // Runs f on the window's thread and waits for it, or for Cancel, which then stands as
    // the answer (the job may be gone and nobody left to ask).
    template <typename F> void onWindowThread(F f)
    {
        auto done = std::make_shared<bool>(false);
        std::unique_lock lock(m_mutex);
        if (!m_job || m_cancel)
            return;
        QMetaObject::invokeMethod(
            m_job,
            [this, f, done] {
                f();
                std::lock_guard l(m_mutex);
                *done = true;
                m_wake.notify_all();
            },
            Qt::QueuedConnection);
        m_wake.wait(lock, [&] { return *done || m_cancel; });
    }

    FileOpJob *m_job;
    FileOpPrompts &m_prompts;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    ProgressSnapshot m_snapshot;
    std::vector<std::string> m_removed;
};

FileOpJob::FileOpJob(FileOpPrompts &prompts, QWidget *progressParent, QObject *parent)
    : QObject(parent), m_prompts(prompts), m_progressParent(progressParent)
{
    liveJobs().push_back(this);
}

FileOpJob::~FileOpJob()
{
    stopAndWait();
    delete m_progress;
    auto &jobs = liveJobs();
    jobs.erase(std::remove(jobs.begin(), jobs.end(), this), jobs.end());
}

void FileOpJob::stopAll()
{
    for (FileOpJob *job : liveJobs())
        job->stopAndWait();
}

// No question is asked any more; the worker's own cleanup runs before the join returns.
void FileOpJob::stopAndWait()
{
    if (m_bridge) {
        m_bridge->detach();
        m_bridge->cancel();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void FileOpJob::start(fileop::Function function, const QString &from, const QString &to, std::uint16_t flags)
{
    if (m_running)
        return;
    if (m_thread.joinable())
        m_thread.join();
    delete m_progress;
    m_running = true;
    m_bridge = std::make_shared<Bridge>(this, m_prompts);
    if (!(flags & fileop::Silent)) {
        auto bridge = m_bridge;
        m_progress = new FileOpProgress(
            function, [bridge] { return bridge->snapshot(); }, m_progressParent);
        connect(m_progress, &FileOpProgress::cancelRequested, this, &FileOpJob::cancel);
    }
    m_thread = std::thread(
        [this, bridge = m_bridge, function, from = text::fromQString(from), to = text::fromQString(to), flags] {
            const fileop::Result r = fileop::perform(function, from, to, flags, *bridge);
            // The job waits for this thread before it goes, so it is still there.
            QMetaObject::invokeMethod(
                this, [this, r] { onWorkerDone(r); }, Qt::QueuedConnection);
        });
}

std::vector<std::string> FileOpJob::takeRemoved()
{
    return m_bridge ? m_bridge->takeRemoved() : std::vector<std::string>{};
}

void FileOpJob::cancel()
{
    if (m_bridge)
        m_bridge->cancel();
}

void FileOpJob::onWorkerDone(fileop::Result result)
{
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
    if (m_progress)
        m_progress->deleteLater();
    emit finished(result);
}
