// The main window's menu tree and toolbar, and the one table of commands both dispatch to.
#include "app/frmdisplay.h"

#include "app/toolbaricons.h"
#include "lookup/quicksearch.h"
#include "lookup/sorting.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {

struct SortKeyMenu {
    const char *name;
    const char *caption;
};
// Submenus in order; each holds the Asc and Dsc items of two consecutive SortItems.
constexpr SortKeyMenu kSortMenus[] = {
    {"mnuLongName", "&Long Name"}, {"mnuShortName", "&Short Name"},
    {"mnuPath", "&Path"},          {"mnuDateLastModified", "&Date Last Modified"},
    {"mnuSize", "&Size"},          {"mnuExtension", "&Extension"},
};
// The submenus' keys in SortItem order (size comes before date there).
constexpr int kSortMenuOfItemPair[] = {0, 1, 2, 4, 3, 5};

} // namespace

QAction *FrmDisplay::addAction(QWidget *menu, const QString &name, const QString &caption)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(name);
    menu->addAction(a);
    m_actions.insert(name, a);
    return a;
}

void FrmDisplay::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto addMenu = [this](QWidget *parentMenu, const QString &name, const QString &caption) {
        auto *m = new QMenu(caption, parentMenu);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        parentMenu->addAction(m->menuAction());
        return m;
    };
    QMenu *file = addMenu(bar, QStringLiteral("mnuFile"), QStringLiteral("&File"));
    addAction(file, QStringLiteral("mnuOpen"), QStringLiteral("&Open"));
    addAction(file, QStringLiteral("mnuSaveAs"), QStringLiteral("&Save As"));
    addAction(file, QStringLiteral("mnuPrint"), QStringLiteral("&Print"));
    addAction(file, QStringLiteral("mnuExit"), QStringLiteral("E&xit"));
    addMenu(bar, QStringLiteral("mnuEdit"), QStringLiteral("&Edit"));
    QMenu *search = addMenu(bar, QStringLiteral("mnuSearch"), QStringLiteral("Sea&rch"));
    addAction(search, QStringLiteral("mnuQuickSearch"), QStringLiteral("&Quick Search"));
    addAction(search, QStringLiteral("mnuFindDuplicateFiles"), QStringLiteral("&Find Duplicate Files"));
    QMenu *sort = addMenu(bar, QStringLiteral("mnuSort"), QStringLiteral("&Sort"));
    std::array<QMenu *, 6> sortMenus{};
    for (std::size_t i = 0; i < std::size(kSortMenus); ++i)
        sortMenus[i] = addMenu(sort, QLatin1String(kSortMenus[i].name), QLatin1String(kSortMenus[i].caption));
    for (int item = 0; item < SortItemCount; ++item) {
        const int pair = item / 2;
        QMenu *m = sortMenus[std::size_t(kSortMenuOfItemPair[pair])];
        const QString base = QLatin1String(kSortMenus[kSortMenuOfItemPair[pair]].name);
        const bool asc = item % 2 == 0;
        QAction *a = addAction(m, base + (asc ? QStringLiteral("Asc") : QStringLiteral("Dsc")),
                               asc ? QStringLiteral("&Ascending") : QStringLiteral("&Descending"));
        a->setCheckable(true);
        m_lookup.sortItems[std::size_t(item)] = a;
    }
    addAction(bar, QStringLiteral("mnuOptions"), QStringLiteral("&Options"));
    QMenu *help = addMenu(bar, QStringLiteral("mnuHelp"), QStringLiteral("&Help"));
    addAction(help, QStringLiteral("mnuHelpFile"), QStringLiteral("&Help File"));
    addAction(help, QStringLiteral("mnuAbout"), QStringLiteral("&About"));
}

void FrmDisplay::buildToolbar()
{
    for (const Command &cmd : m_commands) {
        if (!cmd.key)
            continue;
        const QString key = QLatin1String(cmd.key);
        auto *a = new QAction(toolbarIcon(key, style()), QString(), this);
        a->setObjectName(key);
        a->setToolTip(QLatin1String(cmd.tooltip));
        a->setCheckable(key == u"Search" || key == u"FindDups");
        connect(a, &QAction::triggered, this, [this, a, key] {
            // Pressed or released is the commands' to say, not the click's.
            if (a->isCheckable())
                a->setChecked(!a->isChecked());
            tbrTRVStd_ButtonClick(key);
        });
        tbrTRVStd->addAction(a);
        m_actions.insert(key, a);
        if (cmd.separatorAfter)
            tbrTRVStd->addSeparator();
    }
}

void FrmDisplay::tbrTRVStd_ButtonClick(const QString &key)
{
    if (m_state.mblnDupMode)
        m_state.mblnDupMode = false;
    for (const Command &cmd : m_commands)
        if (cmd.key && key == QLatin1String(cmd.key)) {
            cmd.run();
            return;
        }
}

std::vector<FrmDisplay::Command> FrmDisplay::commandTable()
{
    // Toolbar order; the menu items name the same procedures as their keys.
    return {
        {"mnuOpen", "Open", "Click To Open An TRV File", false, [this] { OpenFile(); }},
        {"mnuSaveAs", "Save", "Click To Save An TRV File", false, [this] { SaveAs(); }},
        {"mnuPrint", "Print", "Click To Print An TRV Report", false, [this] { mnuPrint_Click(); }},
        {"mnuQuickSearch", "Search", "Click To Search For A File", true, [this] { m_search->QuickSearch(); }},
        {nullptr, "LongName", "Click To Sort On Long File Name", false, [this] { m_sorting->SortLongNameAsc(); }},
        {nullptr, "ShortName", "Click To Sort On Short File Name", false, [this] { m_sorting->SortShortNameAsc(); }},
        {nullptr, "Path", "Click To Sort On File Path", false, [this] { m_sorting->SortPathAsc(); }},
        {nullptr, "Date", "Click To Sort On File Date Last Modified", false,
         [this] { m_sorting->SortDateLastModifiedAsc(); }},
        {nullptr, "Size", "Click To Sort On File Size", false, [this] { m_sorting->SortSizeAsc(); }},
        {nullptr, "Extension", "Click To Sort On File Extension", true, [this] { m_sorting->SortExtensionAsc(); }},
        {nullptr, "UpArrow", "Click To Sort In Ascending Order", false, [this] { m_sorting->SortAscending(); }},
        {nullptr, "DownArrow", "Click To Sort In Descending Order", true, [this] { m_sorting->SortDescending(); }},
        {"mnuFindDuplicateFiles", "FindDups", "Click To Find Duplicate File Names", false,
         [this] { mnuFindDuplicateFiles_Click(); }},
        {"mnuHelpFile", "Help", "Click To Bring Up Help File", false, [this] { ShowHelp(); }},
        {"mnuExit", "Exit", "Click To Exit Program", false, [this] { mnuExit_Click(); }},
        {"mnuOptions", nullptr, nullptr, false, [this] { mnuOptions_Click(); }},
        {"mnuAbout", nullptr, nullptr, false, [this] { mnuAbout_Click(); }},
    };
}
