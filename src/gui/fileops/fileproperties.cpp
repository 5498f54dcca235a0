#include "fileops/fileproperties.h"

#include "platform/pathresolve.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QUrl>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");

QString when(const QDateTime &t)
{
    return t.isValid() ? QLocale().toString(t.toLocalTime(), QLocale::LongFormat) : QStringLiteral("Unknown");
}

QString permissionsText(QFileDevice::Permissions p)
{
    const std::pair<QFileDevice::Permission, char> bits[] = {
        {QFileDevice::ReadOwner, 'r'}, {QFileDevice::WriteOwner, 'w'}, {QFileDevice::ExeOwner, 'x'},
        {QFileDevice::ReadGroup, 'r'}, {QFileDevice::WriteGroup, 'w'}, {QFileDevice::ExeGroup, 'x'},
        {QFileDevice::ReadOther, 'r'}, {QFileDevice::WriteOther, 'w'}, {QFileDevice::ExeOther, 'x'},
    };
    QString s;
    for (const auto &[bit, c] : bits)
        s += p.testFlag(bit) ? QLatin1Char(c) : QLatin1Char('-');
    return s;
}

void showOwnWindow(const FileFacts &facts, QWidget *owner)
{
    auto *w = new FrmProperties(facts, owner);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
}

void askFileManager(const QString &resolved, const FileFacts &facts, QWidget *owner)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        showOwnWindow(facts, owner);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       kService, QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(resolved).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner, [watcher, facts, owner] {
        if (watcher->isError())
            showOwnWindow(facts, owner);
        watcher->deleteLater();
    });
}

} // namespace

std::optional<FileFacts> readFileFacts(const QString &path)
{
    const auto resolved = pathres::resolveExisting(text::fromQString(path));
    if (!resolved)
        return std::nullopt;
    const QFileInfo fi(text::toQString(*resolved));
    FileFacts f;
    f.name = fi.fileName();
    f.folder = fi.absolutePath();
    f.type = fi.isSymLink() ? QStringLiteral("Link to %1").arg(fi.symLinkTarget())
             : fi.isDir()   ? QStringLiteral("Folder")
             : fi.isFile()  ? QStringLiteral("File")
                            : QStringLiteral("Special file");
    f.size = QLocale().toString(fi.size()) + QStringLiteral(" bytes");
    f.modified = when(fi.lastModified());
    f.created = when(fi.birthTime());
    f.accessed = when(fi.lastRead());
    f.owner = fi.owner() + QLatin1Char(':') + fi.group();
    f.permissions = permissionsText(fi.permissions());
    return f;
}

FrmProperties::FrmProperties(const FileFacts &facts, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("Tarvolo  -  Properties Of %1").arg(facts.name));
    setModal(false);
    auto *form = new QFormLayout(this);
    const std::pair<const char *, QString> rows[] = {
        {"Name:", facts.name},         {"Folder:", facts.folder},     {"Type:", facts.type},
        {"Size:", facts.size},         {"Modified:", facts.modified}, {"Created:", facts.created},
        {"Accessed:", facts.accessed}, {"Owner:", facts.owner},       {"Permissions:", facts.permissions},
    };
    for (const auto &[caption, value] : rows) {
        auto *v = new QLabel(value, this);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        v->setTextFormat(Qt::PlainText);
        form->addRow(QLatin1String(caption), v);
    }
    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    form->addRow(ok);
}

void ShowFileProperties(const QString &path, QWidget *owner)
{
    QPointer<QWidget> guard(owner);
    QThread *worker = QThread::create([path, guard] {
        const auto facts = readFileFacts(path);
        if (!facts)
            return;
        const QString resolved = QDir(facts->folder).filePath(facts->name);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, resolved, f = *facts] {
                if (guard)
                    askFileManager(resolved, f, guard);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}
