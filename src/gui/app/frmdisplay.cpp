#include "app/frmdisplay.h"

#include "app/frmabout.h"
#include "app/programexit.h"
#include "app/proportionallayout.h"
#include "app/toolbaricons.h"
#include "catalogue/layouts.h"
#include "common/captions.h"
#include "common/filedialogs.h"
#include "common/keyascii.h"
#include "common/messagesink.h"
#include "common/printerdialog.h"
#include "display/displayfiles.h"
#include "fileops/filecommands.h"
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "help/helpservice.h"
#include "help/helpviewer.h"
#include "lookup/duplicates.h"
#include "lookup/quicksearch.h"
#include "lookup/sorting.h"
#include "printing/printcommand.h"
#include "saveopen/cataloguefiles.h"

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

    m_files = std::make_unique<FileCommands>(
        FileCommandsControls{{m_controls, lblTotalFiles, m_services.fileOpPrompts}, m_services.showProperties},
        m_state);
    connectEvents();
}

void FrmDisplay::connectEvents()
{
    connect(cmdDisplay, &QPushButton::clicked, this, &FrmDisplay::DisplayFiles);
    connect(cmdClear, &QPushButton::clicked, this, &FrmDisplay::cmdClear_Click);
    installKeyAscii(lstDriveNumFiles, [this](int &k) { m_display->lstDriveNumFiles_KeyPress(k); });
    installKeyAscii(txtSearch, [this](int &k) { m_search->txtSearch_KeyPress(k); });
    connect(grdFiles, &DataGrid::keyPress, this, [this](int &k) { m_dups->gridKeyPress(k); });
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
