#include "fileops/fileopprogress.h"

#include "platform/text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kPollMs = 100;
// Quick operations finish before the window would only flash.
constexpr int kShowAfterMs = 300;

QString doing(fileop::Function f)
{
    switch (f) {
    case fileop::Function::Copy:
        return QStringLiteral("Copying");
    case fileop::Function::Move:
        return QStringLiteral("Moving");
    case fileop::Function::Rename:
        return QStringLiteral("Renaming");
    case fileop::Function::Delete:
        return QStringLiteral("Deleting");
    }
    return {};
}

} // namespace

FileOpProgress::FileOpProgress(fileop::Function function, std::function<ProgressSnapshot()> read, QWidget *parent)
    : QDialog(parent), m_read(std::move(read)), m_doing(doing(function))
{
    m_age.start();
    setObjectName(QStringLiteral("frmFileOpProgress"));
    setWindowTitle(QStringLiteral("Tarvolo  -  %1...").arg(m_doing));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("lblProgressName"));
    m_name->setMinimumWidth(420);
    m_name->setTextFormat(Qt::PlainText);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("barProgress"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblProgressCount"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdProgressCancel"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        emit cancelRequested();
    });
    auto *v = new QVBoxLayout(this);
    v->addWidget(m_name);
    v->addWidget(m_bar);
    v->addWidget(m_count);
    v->addWidget(m_cancel, 0, Qt::AlignRight);
    refresh();

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &FileOpProgress::refresh);
    timer->start(kPollMs);
    QTimer::singleShot(kShowAfterMs, this, &FileOpProgress::showWhenDue);
}

void FileOpProgress::showWhenDue()
{
    // A question being asked (a modal box) is what the user must see: a window that
    // appeared now would stand over it. It appears once the question is answered.
    if (m_appeared || m_age.elapsed() < kShowAfterMs || QApplication::activeModalWidget())
        return;
    m_appeared = true;
    show();
}

void FileOpProgress::refresh()
{
    showWhenDue();
    const ProgressSnapshot s = m_read();
    m_name->setText(
        m_name->fontMetrics().elidedText(m_doing + QLatin1Char(' ') + text::toQString(s.path), Qt::ElideMiddle, 600));
    if (s.total > 0) {
        m_bar->setRange(0, 1000);
        m_bar->setValue(int(std::min<std::int64_t>(1000, s.done * 1000 / s.total)));
    } else {
        m_bar->setRange(0, 0); // busy
    }
    m_count->setText(QStringLiteral("%1 items done").arg(s.items));
}

void FileOpProgress::closeEvent(QCloseEvent *event)
{
    emit cancelRequested();
    event->accept();
}
