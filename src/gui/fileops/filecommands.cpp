#include "fileops/filecommands.h"

#include "fileops/fileopjob.h"
#include "fileops/fileproperties.h"
#include "fileops/frmoptions.h"
#include "grid/datagrid.h"

namespace {

constexpr int kRightButton = 2;
constexpr int kPathColumn = 2;
constexpr int kLongNameColumn = 0;

} // namespace

FileCommands::FileCommands(FileCommandsControls controls, DisplayState &state)
    : m_c(std::move(controls)), m_state(state)
{
    if (!m_c.showProperties)
        m_c.showProperties = [w = m_c.fileOps.window](const QString &path) { ShowFileProperties(path, w); };
}

FrmOptions *FileCommands::optionsDialog()
{
    if (!m_options)
        m_options = new FrmOptions(m_c.fileOps.window);
    return m_options;
}

void FileCommands::mnuOptions_Click()
{
    FrmOptions *o = optionsDialog();
    o->show();
    o->raise();
    o->activateWindow();
}

bool FileCommands::mayWorkOnFiles() const
{
    return m_c.fileOps.state->mblnLiveCatalogue && !m_c.fileOps.state->mblnDupMode;
}

void FileCommands::grdFiles_RowActivated()
{
    if (!mayWorkOnFiles())
        return;
    DataGrid *g = m_c.fileOps.grdFiles;
    QString path = g->columnText(kPathColumn);
    while (path.endsWith(QLatin1Char(' ')))
        path.chop(1);
    m_c.showProperties(path + g->columnText(kLongNameColumn));
}

void FileCommands::grdFiles_MouseDown(int button)
{
    if (!m_c.fileOps.state->mblnLiveCatalogue || button != kRightButton || m_c.fileOps.state->mblnDupMode)
        return;
    if (!m_fileOps) {
        m_fileOps = new FrmFileOps(m_c.fileOps, m_state, *this, m_c.fileOps.window);
        m_fileOps->setAttribute(Qt::WA_DeleteOnClose);
    } else if (!m_fileOps->job().running()) {
        // Brought forward with the row now pointed at, or a Delete would take the old one.
        m_fileOps->Form_Load();
    }
    m_fileOps->show();
    m_fileOps->raise();
    m_fileOps->activateWindow();
}
