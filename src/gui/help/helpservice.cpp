#include "help/helpservice.h"

#include "help/helpviewer.h"

HelpService::HelpService(QWidget *owner, QStringList searchPath) : m_owner(owner), m_searchPath(std::move(searchPath))
{
    if (m_searchPath.isEmpty())
        m_searchPath = HelpViewer::defaultSearchPath();
}

HelpService::~HelpService()
{
    if (m_viewer && !m_viewer->parent())
        delete m_viewer;
}

void HelpService::show(const QString &helpFile, int command)
{
    if (!m_viewer)
        m_viewer = new HelpViewer(m_owner);
    // A help file that was missing or damaged is looked for again: it may be there now.
    if (!m_viewer->isLoaded() || helpFile != m_file) {
        m_file = helpFile;
        m_viewer->openHelpFile(helpFile, m_searchPath);
    }
    if (command == HelpFinder)
        m_viewer->showFinder();
    else
        m_viewer->showHome();
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}
