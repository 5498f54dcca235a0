#pragma once
// Runs one file operation on a worker thread, so the window stays live. Questions and
// errors are carried to the window's thread and answered there; progress is polled by the
// progress window; Cancel and the job's destruction stop the worker promptly.

#include "fileops/fileopprogress.h"
#include "platform/fileoperation.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

class FileOpPrompts;
class QWidget;

class FileOpJob : public QObject {
    Q_OBJECT
public:
    // prompts must outlive the job; progressParent owns the progress window.
    FileOpJob(FileOpPrompts &prompts, QWidget *progressParent, QObject *parent = nullptr);
    ~FileOpJob() override; // cancels and waits for the worker

    // Cancels every job and waits until each has removed its partial copy: the program's
    // end runs no destructors. Call it on the window's thread.
    static void stopAll();

    void start(fileop::Function function, const QString &from, const QString &to, std::uint16_t flags);
    [[nodiscard]] bool running() const { return m_running; }
    void cancel();
    // What the last operation unlinked of the user's, taken once it has finished.
    [[nodiscard]] std::vector<std::string> takeRemoved();
    // nullptr when the operation is silent or none has started.
    [[nodiscard]] FileOpProgress *progressWindow() const { return m_progress; }

    class Bridge;

signals:
    void finished(fileop::Result result);

private:
    void onWorkerDone(fileop::Result result);
    void stopAndWait();

    FileOpPrompts &m_prompts;
    QWidget *m_progressParent;
    std::shared_ptr<Bridge> m_bridge;
    std::thread m_thread;
    QPointer<FileOpProgress> m_progress;
    bool m_running = false;
};
