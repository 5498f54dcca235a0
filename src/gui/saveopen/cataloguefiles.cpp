#include "saveopen/cataloguefiles.h"

#include "catalogue/numberformat.h"
#include "common/filedialogs.h"
#include "common/messagesink.h"
#include "common/windowprocedures.h"
#include "display/displayfiles.h"
#include "grid/datagrid.h"
#include "lookup/sorting.h"
#include "saveopen/cataloguefilejob.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QStandardPaths>

namespace {

const QString kFilter = QStringLiteral("Tarvolo Files (*.trv)");
const QString kExtension = QStringLiteral(".trv");

} // namespace

QString captionName(const QString &fileName)
{
    QString name = fileName;
    return name.replace(kExtension, QStringLiteral("    "), Qt::CaseSensitive);
}

QString withCatalogueExtension(const QString &fileName)
{
    // The Open dialog matches "*.trv" by case, and a dated name may hold dots of its own
    // ("12.05.2026"), so only the ending counts.
    if (fileName.endsWith(kExtension, Qt::CaseSensitive))
        return fileName;
    if (fileName.endsWith(kExtension, Qt::CaseInsensitive))
        return fileName.chopped(kExtension.size()) + kExtension;
    return fileName + kExtension;
}

CatalogueFiles::CatalogueFiles(CatalogueFileControls controls, DisplayState &state)
    : c(std::move(controls)), m_state(state), m_openJob(std::make_unique<CatalogueFileJob>(c.window)),
      m_saveJob(std::make_unique<CatalogueFileJob>(c.window))
{
    m_openJob->setObjectName(QStringLiteral("openJob"));
    m_saveJob->setObjectName(QStringLiteral("saveJob"));
    QObject::connect(m_openJob.get(), &CatalogueFileJob::finished, m_openJob.get(), [this] { openEnded(); });
}

CatalogueFiles::~CatalogueFiles() = default;

QString tarvoloFolder(const QString &folder)
{
    QString path = folder;
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Tarvolo");
    QDir().mkpath(path);
    return path;
}

QString CatalogueFiles::startFolder() const
{
    return tarvoloFolder(c.folder);
}

QString CatalogueFiles::chooseSaveName()
{
    QString name = QStringLiteral("Files As Of  ") + asOfText(QDateTime::currentDateTime());
    for (;;) {
        const QString path =
            c.dialogs->saveFileName({QStringLiteral("Save As A Tarvolo File"), kFilter, startFolder(), name});
        if (path.isEmpty())
            return path;
        const QString saved = withCatalogueExtension(path);
        // The dialog asked before replacing the name it was given, not the one made here.
        if (saved == path || !QFileInfo::exists(saved))
            return saved;
        name = saved;
    }
}

void CatalogueFiles::SaveAs()
{
    DisplayState &s = m_state;
    if (!s.mblnLiveCatalogue || s.TotalFiles == 0 || m_saveJob->running())
        return;
    const QString path = chooseSaveName();
    if (path.isEmpty())
        return;
    m_fileName = path;
    c.window->setCursor(Qt::WaitCursor);
    m_saveJob->save(*s.catalogue, s.volumes, path);
    QEventLoop loop;
    QObject::connect(m_saveJob.get(), &CatalogueFileJob::finished, &loop, &QEventLoop::quit);
    s.catalogueBeingRead = true;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    s.catalogueBeingRead = false;
    c.window->setCursor(m_openJob->running() ? Qt::WaitCursor : Qt::ArrowCursor);
    reportSave(path);
    if (std::exchange(m_openEndedDuringSave, false))
        openEnded();
}

void CatalogueFiles::reportSave(const QString &path)
{
    // A failed save would otherwise lose the user's work without a word.
    const QString file = QDir::toNativeSeparators(path), reason = m_saveJob->error();
    if (m_saveJob->saved() == atomicfile::Outcome::Failed)
        c.messages->showMessage(QStringLiteral("The catalogue was not saved to %1: %2.").arg(file, reason),
                                QStringLiteral("Catalogue Not Saved"));
    else if (m_saveJob->saved() == atomicfile::Outcome::Unsynced)
        c.messages->showMessage(
            QStringLiteral("The catalogue was saved to %1, but it is not yet known to be on disk: %2.")
                .arg(file, reason),
            QStringLiteral("Catalogue Saved, Not Yet On Disk"));
}

void CatalogueFiles::OpenFile()
{
    c.procedures->cancelWalk();
    const QStringList paths =
        c.dialogs->openFileNames({QStringLiteral("Open A Tarvolo File"), kFilter, startFolder(), m_fileName});
    if (paths.isEmpty())
        return;
    m_opening = paths;
    m_fileName = paths.constFirst();
    c.window->setCursor(Qt::WaitCursor);
    // Clear, which runs first when a catalogue is on show, leaves no order chosen.
    m_openJob->open(paths, c.state->TotalFiles > 0 ? QStringLiteral("Field1") : c.sorting->chosenSortOrder());
}

bool CatalogueFiles::opening() const
{
    return m_openJob->running();
}

void CatalogueFiles::cancelOpen()
{
    if (!opening())
        return;
    m_openJob->abandon();
    c.window->setCursor(Qt::ArrowCursor);
}

void CatalogueFiles::stop()
{
    cancelOpen();
    m_saveJob->wait();
}

void CatalogueFiles::openEnded()
{
    // The catalogue being saved must stay as it is until the save has read it.
    if (m_saveJob->running()) {
        m_openEndedDuringSave = true;
        return;
    }
    c.window->setCursor(Qt::ArrowCursor);
    std::unique_ptr<RecordSet> opened = m_openJob->takeRecords();
    if (!opened) {
        // Not a whole catalogue file: what is on show stays, without a word. Memory that
        // ran out is no fault of the file's, and is said.
        if (m_openJob->outOfMemory())
            c.messages->showMessage(QStringLiteral("There is not enough memory to open %1; what was shown is kept")
                                        .arg(QDir::toNativeSeparators(m_opening.join(QStringLiteral(", ")))),
                                    QStringLiteral("Not Enough Memory"));
        return;
    }
    DisplayState &s = m_state;
    if (s.TotalFiles > 0)
        c.procedures->Clear();
    s.mblnLiveCatalogue = false;
    // The grid lets go of the catalogue before it is replaced.
    c.grdFiles->setDataSource(nullptr);
    s.catalogue = std::move(opened);
    c.grdFiles->setDataSource(s.catalogue.get());
    showOpened();
    reportSkipped();
}

void CatalogueFiles::reportSkipped()
{
    // With one file a damaged one changes nothing; among several, the others are shown, and
    // the user must learn that the catalogue on show lacks some.
    const QStringList skipped = m_openJob->skipped();
    if (!skipped.isEmpty())
        c.messages->showMessage(
            QStringLiteral("These files are not whole Tarvolo catalogue files and were left out:\n") +
                skipped.join(QLatin1Char('\n')),
            QStringLiteral("Catalogue Files Left Out"));
}

void CatalogueFiles::showOpened()
{
    DisplayState &s = m_state;
    s.mstrAsOfText = captionName(QFileInfo(m_opening.constFirst()).fileName());
    if (m_opening.size() > 1)
        s.mstrAsOfText += QStringLiteral(" and %1 more").arg(m_opening.size() - 1);
    c.window->setWindowTitle(QStringLiteral("Tarvolo  -  Display Of ") + s.mstrAsOfText);
    c.procedures->ResetSplitDisplay();
    s.catalogue->moveFirst();
    s.TotalFiles = s.catalogue->count();
    c.sorting->SortIt();
    c.lblTotalFiles->setText(formatNumber(s.TotalFiles, u"###,###"));
    c.lblDrives->setText(QString());
    c.lstDriveNumFiles->clear();
    c.lstDriveNumFiles->addItem(QStringLiteral("File Operations Are Disabled"));
    c.lstDriveNumFiles->addItem(QStringLiteral("File Property Page Is Disabled"));
}
