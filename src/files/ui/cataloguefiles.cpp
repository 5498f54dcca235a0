#include "files/ui/cataloguefiles.h"

#include "catalogue/numberformat.h"
#include "catalogue/ui/displayfiles.h"
#include "files/cataloguefile.h"
#include "grid/datagrid.h"
#include "ui/filedialogs.h"
#include "ui/messagesink.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QStandardPaths>

namespace {

const QString kFilter = QStringLiteral("Tarvolo Files (*.trv)");

} // namespace

QString captionName(const QString &fileName)
{
    QString name = fileName;
    return name.replace(QStringLiteral(".trv"), QStringLiteral("    "), Qt::CaseSensitive);
}

CatalogueFiles::CatalogueFiles(CatalogueFileControls controls) : c(std::move(controls)) {}

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

void CatalogueFiles::SaveAs()
{
    DisplayState &s = *c.state;
    if (!s.mblnLiveCatalogue || s.TotalFiles == 0)
        return;
    m_fileName = QStringLiteral("Files As Of  ") + asOfText(QDateTime::currentDateTime());
    const QString path =
        c.dialogs->saveFileName({QStringLiteral("Save As A Tarvolo File"), kFilter, startFolder(), m_fileName});
    if (path.isEmpty())
        return;
    m_fileName = path;
    // A failed save would otherwise lose the user's work without a word.
    c.window->setCursor(Qt::WaitCursor);
    std::string error;
    const auto saved = cataloguefile::save(*s.catalogue, QFile::encodeName(path).toStdString(), error);
    c.window->setCursor(Qt::ArrowCursor);
    const QString file = QDir::toNativeSeparators(path), reason = QString::fromStdString(error);
    if (saved == atomicfile::Outcome::Failed)
        c.messages->showMessage(QStringLiteral("The catalogue was not saved to %1: %2.").arg(file, reason),
                                QStringLiteral("Catalogue Not Saved"));
    else if (saved == atomicfile::Outcome::Unsynced)
        c.messages->showMessage(
            QStringLiteral("The catalogue was saved to %1, but it is not yet known to be on disk: %2.")
                .arg(file, reason),
            QStringLiteral("Catalogue Saved, Not Yet On Disk"));
}

void CatalogueFiles::OpenFile()
{
    DisplayState &s = *c.state;
    if (s.TotalFiles > 0)
        c.Clear();
    else
        c.cancelWalk();
    s.mblnLiveCatalogue = false;
    const QString path =
        c.dialogs->openFileName({QStringLiteral("Open A Tarvolo File"), kFilter, startFolder(), m_fileName});
    if (path.isEmpty())
        return;
    m_fileName = path;
    c.window->setCursor(Qt::WaitCursor);
    std::string error;
    std::unique_ptr<RecordSet> opened = cataloguefile::open(QFile::encodeName(path).toStdString(), error);
    if (opened) {
        // The grid lets go of the catalogue before it is replaced.
        c.grdFiles->setDataSource(nullptr);
        s.catalogue = std::move(opened);
        c.grdFiles->setDataSource(s.catalogue.get());
        showOpened(path);
    }
    c.window->setCursor(Qt::ArrowCursor);
}

void CatalogueFiles::showOpened(const QString &path)
{
    DisplayState &s = *c.state;
    s.mstrAsOfText = captionName(QFileInfo(path).fileName());
    c.window->setWindowTitle(QStringLiteral("Tarvolo  -  Display Of ") + s.mstrAsOfText);
    c.ResetSplitDisplay();
    s.catalogue->moveFirst();
    s.TotalFiles = s.catalogue->count();
    c.SortIt();
    c.lblTotalFiles->setText(formatNumber(s.TotalFiles, u"###,###"));
    c.lblDrives->setText(QString());
    c.lstDriveNumFiles->clear();
    c.lstDriveNumFiles->addItem(QStringLiteral("File Operations Are Disabled"));
    c.lstDriveNumFiles->addItem(QStringLiteral("File Property Page Is Disabled"));
}
