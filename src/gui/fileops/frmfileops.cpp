#include "fileops/frmfileops.h"

#include "catalogue/filerecords.h"
#include "catalogue/numberformat.h"
#include "fileops/fileopjob.h"
#include "fileops/fileopprompts.h"
#include "fileops/frmoptions.h"
#include "grid/datagrid.h"
#include "grid/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const QSize kClientTwips(7500, 2352);
constexpr int kPathColumn = 2;
constexpr int kLongNameColumn = 0;

struct OpButton {
    const char *caption;
    int left;
    fileop::Function function;
    const char *tooltip;
};
constexpr OpButton kButtons[] = {
    {"&Copy", 840, fileop::Function::Copy, "Enter Source and Destination."},
    {"&Move", 2040, fileop::Function::Move, "Enter Source and Destination."},
    {"&Rename", 3240, fileop::Function::Rename, "Enter Source and Destination."},
    {"&Delete", 4440, fileop::Function::Delete, "Enter Source only."},
};
constexpr int kDeleteIndex = 3;
constexpr int kRetryMs = 50;

QFont boldSansSerif()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSizeF(9.6);
    f.setBold(true);
    return f;
}

void removeRecordsOfFiles(const FileOpsControls &c, DisplayState &state, const std::vector<std::string> &paths,
                          RecordSet::Bookmark preferred)
{
    RecordSet *records = c.grdFiles->dataSource();
    // Whatever is on show now loses the records of the files that went, and only those.
    if (paths.empty() || !records || records != state.catalogue.get())
        return;
    const std::vector<RecordSet::Bookmark> gone = recordsOfFiles(*records, paths, preferred);
    if (gone.empty())
        return;
    const RecordSet::Bookmark current = c.grdFiles->currentRow() >= 0 ? c.grdFiles->bookmark() : RecordSet::kNoBookmark;
    bool currentGone = false;
    for (const RecordSet::Bookmark b : gone) {
        currentGone = currentGone || b == current;
        records->setBookmark(b);
        c.grdFiles->deleteCurrentRow();
        --state.TotalFiles;
    }
    // The row after a deleted current one becomes current; any other current row stays.
    if (!currentGone && current != RecordSet::kNoBookmark)
        records->setBookmark(current);
    c.lblTotalFiles->setText(formatNumber(state.TotalFiles, u"###,###"));
}

// A save reading the catalogue on its worker must see it unchanged: the records go once it
// has ended, dialog or not.
void removeWhenUnread(const FileOpsControls &c, DisplayState &state, std::vector<std::string> paths,
                      RecordSet::Bookmark preferred)
{
    if (!state.catalogueBeingRead) {
        removeRecordsOfFiles(c, state, paths, preferred);
        return;
    }
    QTimer::singleShot(kRetryMs, c.window, [c, &state, paths = std::move(paths), preferred]() mutable {
        removeWhenUnread(c, state, std::move(paths), preferred);
    });
}

} // namespace

FrmFileOps::FrmFileOps(FileOpsControls controls, DisplayState &state, OptionsSource &options, QWidget *parent)
    : QDialog(parent), m_c(std::move(controls)), m_state(state), m_options(options)
{
    setObjectName(QStringLiteral("frmFileOps"));
    setWindowTitle(QStringLiteral("Tarvolo  -  File Operations  "));
    setModal(false);
    setFixedSize(px(kClientTwips.width()), py(kClientTwips.height()));
    if (!m_c.prompts) {
        m_ownPrompts = std::make_unique<MessageBoxPrompts>(this);
        m_c.prompts = m_ownPrompts.get();
    }
    m_job = new FileOpJob(*m_c.prompts, this, this);
    connect(m_job, &FileOpJob::finished, this, &FrmFileOps::onFinished);
    buildControls();
    Form_Load();
}

void FrmFileOps::buildControls()
{
    txtSource = lineEdit("txtSource", 240,
                         "Enter the full path of the file or folder to copy, rename, move or delete. Wildcards are "
                         "allowed.");
    txtDestination = lineEdit("txtDestination", 840,
                              "Enter the full path of the destination file or folder.  Wildcards are allowed.");
    for (int i = 0; i < 4; ++i) {
        QPushButton *b = button(kButtons[i].caption, kButtons[i].left, 1095, 375);
        b->setObjectName(QStringLiteral("cmdFileOp"));
        b->setProperty("Index", i);
        b->setToolTip(QLatin1String(kButtons[i].tooltip));
        connect(b, &QPushButton::clicked, this, [this, i] { cmdFileOp_Click(i); });
        cmdFileOp[std::size_t(i)] = b;
    }
    Label1 = label("Label1", "Source File:", 240, 1);
    Label2 = label("Label2", "Destination File Or Folder:", 720, 2);
    cmdCancel = button("Ca&ncel", 6240, 972, 372);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdCancel, &QPushButton::clicked, this, &FrmFileOps::cmdCancel_Click);

    QWidget *order[] = {txtSource, txtDestination, cmdFileOp[0], cmdFileOp[1], cmdFileOp[2], cmdFileOp[3], cmdCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QLineEdit *FrmFileOps::lineEdit(const char *name, int top, const char *tip)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    e->setToolTip(QLatin1String(tip));
    e->setGeometry(px(2160), py(top), px(5052), e->sizeHint().height());
    return e;
}

QLabel *FrmFileOps::label(const char *name, const char *caption, int top, int lines)
{
    auto *l = new QLabel(QLatin1String(caption), this);
    l->setObjectName(QLatin1String(name));
    l->setFont(boldSansSerif());
    l->setWordWrap(lines > 1);
    l->setGeometry(px(240), py(top), px(1860), l->fontMetrics().lineSpacing() * lines + 2);
    return l;
}

// The buttons stand in one row.
QPushButton *FrmFileOps::button(const char *caption, int left, int width, int height)
{
    auto *b = new QPushButton(QLatin1String(caption), this);
    b->setFont(boldSansSerif());
    b->setGeometry(px(left), py(1560), px(width), py(height));
    return b;
}

int FrmFileOps::px(int twips) const
{
    return twipsToPixels(twips, this);
}

int FrmFileOps::py(int twips) const
{
    return twipsToPixelsY(twips, this);
}

FrmFileOps::~FrmFileOps()
{
    // Closed while working: the job stops with the dialog, and the pointer comes back.
    if (m_job->running())
        QApplication::restoreOverrideCursor();
}

void FrmFileOps::Form_Load()
{
    QString path = m_c.grdFiles->columnText(kPathColumn);
    while (path.endsWith(QLatin1Char(' ')))
        path.chop(1);
    txtSource->setText(path + m_c.grdFiles->columnText(kLongNameColumn));
}

std::uint16_t FrmFileOps::optionFlags() const
{
    const FrmOptions *o = m_options.optionsDialog();
    std::uint16_t flags = 0;
    if (o->chkSilent->isChecked())
        flags = fileop::Silent;
    if (o->chkYesToAll->isChecked())
        flags |= fileop::NoConfirmation;
    if (o->chkRename->isChecked())
        flags |= fileop::RenameOnCollision;
    if (o->chkDir->isChecked())
        flags |= fileop::NoConfirmMkdir;
    if (o->chkFilesOnly->isChecked())
        flags |= fileop::FilesOnly;
    return flags;
}

void FrmFileOps::cmdFileOp_Click(int index)
{
    if (index < 0 || index > kDeleteIndex || m_job->running())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_isDelete = index == kDeleteIndex;
    // The row current when the delete was asked for is the one to prefer among records
    // that look alike; the window stays live while the work runs, so it may move meanwhile.
    const RecordSet *records = m_c.grdFiles->dataSource();
    m_deleteBookmark = records && m_c.grdFiles->currentRow() >= 0 ? m_c.grdFiles->bookmark() : RecordSet::kNoBookmark;
    setBusy(true);
    m_job->start(kButtons[index].function, txtSource->text(), txtDestination->text(), optionFlags());
}

void FrmFileOps::onFinished(fileop::Result result)
{
    QApplication::restoreOverrideCursor();
    setBusy(false);
    const bool ok = result.succeeded();
    // Files a delete took stay taken when it then failed or was cancelled: their records go too.
    if (m_isDelete)
        removeWhenUnread(m_c, m_state, m_job->takeRemoved(), m_deleteBookmark);
    emit operationDone(ok);
    if (ok)
        close();
}

void FrmFileOps::setBusy(bool busy)
{
    for (QWidget *w : findChildren<QWidget *>())
        if (w->parent() == this && !w->isWindow())
            w->setEnabled(!busy);
}

void FrmFileOps::cmdCancel_Click()
{
    close();
}
