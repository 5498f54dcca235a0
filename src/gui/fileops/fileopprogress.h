#pragma once
// The progress window of a file operation: what is under way, how far the current file is,
// and Cancel. It reads the worker's progress on a timer and never waits for it.

#include "platform/fileoperation.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

struct ProgressSnapshot {
    std::string path;
    std::int64_t done = 0;
    std::int64_t total = 0;
    int items = 0;
};

class FileOpProgress : public QDialog {
    Q_OBJECT
public:
    FileOpProgress(fileop::Function function, std::function<ProgressSnapshot()> read, QWidget *parent);

    void refresh();

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showWhenDue();

    std::function<ProgressSnapshot()> m_read;
    QElapsedTimer m_age;
    bool m_appeared = false;
    QString m_doing;
    QLabel *m_name;
    QProgressBar *m_bar;
    QLabel *m_count;
    QPushButton *m_cancel;
};
