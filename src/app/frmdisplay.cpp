#include "app/frmdisplay.h"

#include "app/frmabout.h"
#include "app/help/helpservice.h"
#include "app/help/helpviewer.h"
#include "app/programexit.h"
#include "app/proportionallayout.h"
#include "app/toolbaricons.h"
#include "catalogue/layouts.h"
#include "catalogue/ui/displayfiles.h"
#include "fileops/filecommands.h"
#include "files/ui/cataloguefiles.h"
#include "files/ui/printcommand.h"
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "lookup/duplicates.h"
#include "lookup/quicksearch.h"
#include "lookup/sorting.h"
#include "ui/captions.h"
#include "ui/filedialogs.h"
#include "ui/keyascii.h"
#include "ui/messagesink.h"
#include "ui/printerdialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

namespace {

const QString kCourier = QStringLiteral("Courier New");
const QString kArial = QStringLiteral("Arial");
constexpr int kCourierPoints = 9;
constexpr int kArialPoints = 9;
const QSize kClientTwips(10212, 7476);

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

template <typename W> W *named(W *w, const char *name, const QString &family, int points, bool bold = false)
{
    w->setObjectName(QLatin1String(name));
    QFont f(family, points);
    f.setBold(bold);
    w->setFont(f);
    return w;
}

} // namespace

FrmDisplay::Services FrmDisplay::Services::withoutDrives(MessageSink *messages)
{
    Services s;
    s.messages = messages;
    s.driveSource = [](DriveTables &t) {
        t.DriveRoots.fill(QStringLiteral(" "));
        t.SelectedDrives.fill(QStringLiteral(" "));
        return QStringList();
    };
    s.quit = [] {};
    return s;
}

FrmDisplay::FrmDisplay(QWidget *parent) : FrmDisplay(Services{}, parent) {}

FrmDisplay::FrmDisplay(Services services, QWidget *parent) : QMainWindow(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("frmDisplay"));
    setWindowTitle(captions::startCaption());
    if (!m_services.messages) {
        m_ownMessages = std::make_unique<MessageBoxSink>(this);
        m_services.messages = m_ownMessages.get();
    }
    if (!m_services.printerDialog) {
        m_ownPrinterDialog = std::make_unique<QtPrinterDialog>(this);
        m_services.printerDialog = m_ownPrinterDialog.get();
    }
    if (!m_services.fileDialogs) {
        m_ownDialogs = std::make_unique<QtFileDialogs>(this);
        m_services.fileDialogs = m_ownDialogs.get();
    }
    if (!m_services.driveSource)
        m_services.driveSource = [](DriveTables &t) { return ::GetDrives(t); };
    if (!m_services.quit)
        m_services.quit = [] { endProgramNow(); };
    m_help = std::make_unique<HelpService>(this, m_services.helpSearchPath);

    m_commands = commandTable();
    buildControls();
    buildMenus();
    buildToolbar();
    layOut();
    wireCommands();
    startUp();
}

FrmDisplay::~FrmDisplay()
{
    m_display->cancelWalk();
    // The grid must let go of the record sets before the state that owns them goes.
    grdFiles->setDataSource(nullptr);
}

void FrmDisplay::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    tbrTRVStd = new QToolBar(client);
    tbrTRVStd->setObjectName(QStringLiteral("tbrTRVStd"));
    tbrTRVStd->setMovable(false);
    tbrTRVStd->setIconSize(QSize(24, 24));

    lblSortType = named(new QLabel(client), "lblSortType", kArial, kArialPoints, true);
    lblSortType->setFrameShape(QFrame::Panel);
    lblSortType->setFrameShadow(QFrame::Sunken);
    lblSortType->hide();
    txtSearch = named(new QLineEdit(client), "txtSearch", kCourier, kCourierPoints);
    txtSearch->hide();
    grdFiles = named(new DataGrid(client), "grdFiles", kCourier, kCourierPoints);
    lblDrives = named(new QLabel(QStringLiteral("Select Drive(s)"), client), "lblDrives", kArial, kArialPoints, true);
    lblTotals =
        named(new QLabel(QStringLiteral("Total Number Of Files"), client), "lblTotals", kArial, kArialPoints, true);
    cmdDisplay = named(new QPushButton(QStringLiteral("DISPLAY"), client), "cmdDisplay", kArial, kArialPoints, true);
    cmdDisplay->setToolTip(QStringLiteral("Click To Display Files"));
    lstDriveNumFiles = named(new QListWidget(client), "lstDriveNumFiles", kCourier, kCourierPoints);
    lstDriveNumFiles->setSelectionMode(QAbstractItemView::MultiSelection);
    lblTotalFiles = named(new QLabel(QStringLiteral(" "), client), "lblTotalFiles", kCourier, kCourierPoints, true);
    lblTotalFiles->setFrameShape(QFrame::Panel);
    lblTotalFiles->setFrameShadow(QFrame::Sunken);
    lblTotalFiles->setAlignment(Qt::AlignCenter);
    cmdClear = named(new QPushButton(QStringLiteral("CLEAR"), client), "cmdClear", kArial, kArialPoints, true);
    cmdClear->setToolTip(QStringLiteral("Click To Clear The File Display"));
}

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

void FrmDisplay::layOut()
{
    using S = ProportionalLayout::Sizing;
    freeSizer1 = new ProportionalLayout(centralWidget(), kClientTwips);
    freeSizer1->add(tbrTRVStd, {0, 0, 10212, 528}, S::FullWidth);
    freeSizer1->add(lblSortType, {240, 720, 0, 0}, S::ToText);
    freeSizer1->add(txtSearch, {6120, 600, 2052, 288});
    freeSizer1->add(grdFiles, {120, 1080, 9972, 4812});
    freeSizer1->add(lblDrives, {1440, 6120, 2460, 228});
    freeSizer1->add(lblTotals, {5400, 6120, 2040, 228});
    freeSizer1->add(cmdDisplay, {8160, 6240, 1332, 372});
    freeSizer1->add(lstDriveNumFiles, {240, 6480, 4572, 840});
    freeSizer1->add(lblTotalFiles, {5880, 6600, 972, 372}, S::AtLeastText);
    freeSizer1->add(cmdClear, {8280, 6840, 1092, 372});
    const QSize client = freeSizer1->designPixels();
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    // Below the start size the toolbar folds buttons away and captions clip.
    setMinimumSize(size());
}

void FrmDisplay::wireCommands()
{
    m_controls = {
        this, &m_state, m_services.messages, grdFiles, lblSortType, txtSearch, action(QStringLiteral("FindDups")),
        this};

    // The Sort menu's items were made with the menus.
    m_lookup = {m_controls, m_lookup.sortItems, action(QStringLiteral("Search")), action(QStringLiteral("UpArrow")),
                action(QStringLiteral("DownArrow"))};
    m_sorting = std::make_unique<Sorting>(m_lookup);
    m_search = std::make_unique<QuickSearchBox>(m_lookup);
    m_dups = std::make_unique<DuplicateFinder>(m_lookup, m_state);

    m_display = new DisplayCommands(
        {m_controls, lstDriveNumFiles, lblDrives, lblTotalFiles, m_services.driveSource, m_sorting.get()}, m_state,
        this);
    m_print = std::make_unique<PrintCommand>(PrintControls{this, m_services.messages, m_services.printerDialog,
                                                           lblSortType, &m_state, m_sorting.get(),
                                                           m_services.fileDialogs, m_services.catalogueFolder});
    m_catalogueFiles = std::make_unique<CatalogueFiles>(
        CatalogueFileControls{m_controls, m_services.fileDialogs, lblTotalFiles, lblDrives, lstDriveNumFiles,
                              m_sorting.get(), m_services.catalogueFolder},
        m_state);

    connect(cmdDisplay, &QPushButton::clicked, this, &FrmDisplay::DisplayFiles);
    connect(cmdClear, &QPushButton::clicked, this, &FrmDisplay::cmdClear_Click);
    installKeyAscii(lstDriveNumFiles, [this](int &k) { m_display->lstDriveNumFiles_KeyPress(k); });
    installKeyAscii(txtSearch, [this](int &k) { m_search->txtSearch_KeyPress(k); });
    connect(grdFiles, &DataGrid::keyPress, this, [this](int &k) { m_dups->gridKeyPress(k); });

    m_files = std::make_unique<FileCommands>(
        FileCommandsControls{{m_controls, lblTotalFiles, m_services.fileOpPrompts}, m_services.showProperties},
        m_state);
    connect(grdFiles, &DataGrid::rowActivated, this, [this] { m_files->grdFiles_RowActivated(); });
    connect(grdFiles, &DataGrid::mouseDown, this,
            [this](int button, int, int, int) { m_files->grdFiles_MouseDown(button); });

    for (const Command &cmd : m_commands)
        if (cmd.menuItem)
            connect(action(QLatin1String(cmd.menuItem)), &QAction::triggered, this, cmd.run);
    for (int item = 0; item < SortItemCount; ++item)
        connect(m_lookup.sortItems[std::size_t(item)], &QAction::triggered, this,
                [this, item] { m_sorting->mnuSortItem_Click(SortItem(item)); });
}

void FrmDisplay::startUp()
{
    m_display->GetDrives();
    m_sorting->SetSort();
    m_state.mblnDupFirst = m_state.mblnDupMode = m_state.mblnSplitMade = false;
    DummyRecordSet();
    ResetSplitDisplay();
    CreateRecordSet(*m_state.catalogue);
}

void FrmDisplay::DummyRecordSet()
{
    BuildDummyRecordSet(m_state.dummy);
    grdFiles->setDataSource(&m_state.dummy);
    grdFiles->setAllowUpdate(false);
    ResetSplitDisplay();
}

void FrmDisplay::ResetSplitDisplay()
{
    ::ResetSplitDisplay(*grdFiles, m_state.mblnSplitMade);
    emit splitDisplayReset();
}

void FrmDisplay::FormatColumns()
{
    ::FormatColumns(*grdFiles, m_state.mblnSplitMade);
}

void FrmDisplay::SplitDisplay()
{
    ::SplitDisplay(*grdFiles);
}

void FrmDisplay::cancelWalk()
{
    m_display->cancelWalk();
}

bool FrmDisplay::catalogueOpening() const
{
    return m_catalogueFiles->opening();
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

void FrmDisplay::DisplayFiles()
{
    m_display->DisplayFiles();
}

void FrmDisplay::cmdClear_Click()
{
    m_catalogueFiles->cancelOpen();
    m_display->cmdClear_Click();
}

void FrmDisplay::OpenFile()
{
    m_catalogueFiles->OpenFile();
}

void FrmDisplay::SaveAs()
{
    m_catalogueFiles->SaveAs();
}

void FrmDisplay::mnuPrint_Click()
{
    m_print->mnuPrint_Click();
}

void FrmDisplay::mnuFindDuplicateFiles_Click()
{
    m_state.mblnDupFirst = true;
    m_state.mblnDupMode = true;
    m_dups->FindDuplicates();
}

void FrmDisplay::mnuOptions_Click()
{
    m_files->mnuOptions_Click();
}

void FrmDisplay::ShowHelp()
{
    m_help->show(QStringLiteral("TRV.hlp"), HelpService::HelpFinder);
}

FrmAbout *FrmDisplay::aboutBox() const
{
    return m_about;
}

void FrmDisplay::mnuAbout_Click()
{
    if (!m_about)
        m_about = new FrmAbout(this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void FrmDisplay::mnuExit_Click()
{
    close();
}

void FrmDisplay::closeEvent(QCloseEvent *event)
{
    // Hidden dialogs must not keep the program alive without its window.
    m_display->cancelWalk();
    m_catalogueFiles->stop();
    for (QWidget *w : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isWindow())
            w->close();
    event->accept();
    m_services.quit();
}
