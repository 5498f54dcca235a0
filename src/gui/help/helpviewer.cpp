#include "help/helpviewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int PageRole = Qt::UserRole;
constexpr int AnchorRole = Qt::UserRole + 1;

void setTarget(QTreeWidgetItem *item, const HelpTarget &target)
{
    item->setData(0, PageRole, target.page);
    item->setData(0, AnchorRole, target.anchor);
}

void setTarget(QListWidgetItem *item, const HelpTarget &target)
{
    item->setData(PageRole, target.page);
    item->setData(AnchorRole, target.anchor);
}

QToolButton *navigationButton(const QString &name, const QString &text, QStyle::StandardPixmap icon, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    return button;
}

} // namespace

HelpViewer::HelpViewer(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(tr("Tarvolo Help"));
    buildUi();
    resize(920, 640);
}

QStringList HelpViewer::defaultSearchPath()
{
    const QString app = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(app + QStringLiteral("/help")),
            QDir::cleanPath(app + QStringLiteral("/../share/tarvolo/help")),
            QDir::cleanPath(app + QStringLiteral("/../help"))};
}

void HelpViewer::buildUi()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabHelp"));
    m_contents = new QTreeWidget(m_tabs);
    m_contents->setObjectName(QStringLiteral("treContents"));
    m_contents->setHeaderHidden(true);
    m_tabs->addTab(m_contents, tr("Contents"));
    m_tabs->addTab(buildIndexTab(), tr("Index"));
    m_tabs->addTab(buildSearchTab(), tr("Search"));

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_tabs);
    splitter->addWidget(buildPageArea());
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({280, 640});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    connect(m_contents, &QTreeWidget::itemClicked, this, &HelpViewer::openTopic);
    connect(m_contents, &QTreeWidget::itemActivated, this, &HelpViewer::openTopic);
}

QWidget *HelpViewer::buildIndexTab()
{
    auto *page = new QWidget(this);
    m_indexFilter = new QLineEdit(page);
    m_indexFilter->setObjectName(QStringLiteral("txtIndex"));
    m_indexFilter->setPlaceholderText(tr("Type the keyword to find"));
    m_index = new QListWidget(page);
    m_index->setObjectName(QStringLiteral("lstIndex"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_indexFilter);
    layout->addWidget(m_index);

    connect(m_indexFilter, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
    connect(m_indexFilter, &QLineEdit::returnPressed, this, [this] { openListItem(m_index->currentItem()); });
    connect(m_index, &QListWidget::itemActivated, this, &HelpViewer::openListItem);
    return page;
}

QWidget *HelpViewer::buildSearchTab()
{
    auto *page = new QWidget(this);
    m_query = new QLineEdit(page);
    m_query->setObjectName(QStringLiteral("txtFind"));
    m_query->setPlaceholderText(tr("Type the words to find"));
    auto *find = new QPushButton(tr("&List Topics"), page);
    find->setObjectName(QStringLiteral("cmdFind"));
    m_found = new QListWidget(page);
    m_found->setObjectName(QStringLiteral("lstFound"));
    auto *row = new QHBoxLayout;
    row->addWidget(m_query);
    row->addWidget(find);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addWidget(new QLabel(tr("Topics that contain every word:"), page));
    layout->addWidget(m_found);

    connect(m_query, &QLineEdit::returnPressed, this, &HelpViewer::runSearch);
    connect(find, &QPushButton::clicked, this, &HelpViewer::runSearch);
    connect(m_found, &QListWidget::itemActivated, this, &HelpViewer::openListItem);
    connect(m_found, &QListWidget::itemClicked, this, &HelpViewer::openListItem);
    return page;
}

QWidget *HelpViewer::buildPageArea()
{
    auto *area = new QWidget(this);
    m_back = navigationButton(QStringLiteral("cmdBack"), tr("Back"), QStyle::SP_ArrowBack, area);
    m_forward = navigationButton(QStringLiteral("cmdForward"), tr("Forward"), QStyle::SP_ArrowForward, area);
    m_home = navigationButton(QStringLiteral("cmdHome"), tr("Home"), QStyle::SP_DirHomeIcon, area);
    m_browser = new QTextBrowser(area);
    m_browser->setObjectName(QStringLiteral("brwHelp"));
    m_browser->setOpenExternalLinks(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addWidget(m_home);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);

    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    m_home->setEnabled(false);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_home, &QToolButton::clicked, this, &HelpViewer::showHome);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    return area;
}

bool HelpViewer::openHelpFile(const QString &bareName, const QStringList &searchPath)
{
    m_loaded = false;
    m_project = {};
    m_problem.clear();
    m_path = findHelpFile(bareName, searchPath);
    if (m_path.isEmpty()) {
        QStringList places;
        for (const QString &dir : searchPath)
            places.append(QDir::toNativeSeparators(dir));
        showProblem(tr("Cannot find the help file %1.").arg(bareName),
                    places.isEmpty() ? tr("There was no folder to look in.")
                                     : tr("Looked in: %1").arg(places.join(QStringLiteral("; "))));
        return false;
    }
    HelpParseResult read = readHelpProject(m_path);
    if (!read.ok()) {
        showProblem(tr("The help file %1 is damaged and cannot be shown.").arg(bareName),
                    QStringLiteral("%1, %2").arg(QDir::toNativeSeparators(m_path), read.error));
        return false;
    }
    m_project = std::move(read.project);
    m_loaded = true;
    setWindowTitle(m_project.title);
    fillContents();
    fillIndex();
    indexPages();
    m_home->setEnabled(true);
    m_browser->clear();
    m_browser->clearHistory();
    return true;
}

void HelpViewer::showProblem(const QString &heading, const QString &detail)
{
    m_problem = heading;
    fillContents();
    fillIndex();
    m_searchIndex.clear();
    m_found->clear();
    m_home->setEnabled(false);
    m_browser->clearHistory();
    m_browser->setHtml(QStringLiteral("<h2>%1</h2><p>%2</p>").arg(heading.toHtmlEscaped(), detail.toHtmlEscaped()));
}

void HelpViewer::fillContents()
{
    m_contents->clear();
    QList<QTreeWidgetItem *> parents; // parents[level] holds the last topic of that level
    for (const HelpTopic &topic : m_project.contents) {
        parents.resize(topic.level);
        auto *item = topic.level == 0 ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parents.back());
        item->setText(0, topic.title);
        setTarget(item, topic.target);
        parents.append(item);
    }
    m_contents->expandAll();
}

void HelpViewer::fillIndex()
{
    m_index->clear();
    QList<HelpKeyword> keywords = m_project.index;
    std::stable_sort(keywords.begin(), keywords.end(), [](const HelpKeyword &a, const HelpKeyword &b) {
        return a.keyword.compare(b.keyword, Qt::CaseInsensitive) < 0;
    });
    for (const HelpKeyword &keyword : keywords) {
        auto *item = new QListWidgetItem(keyword.keyword, m_index);
        setTarget(item, keyword.target);
    }
    filterIndex(m_indexFilter->text());
}

void HelpViewer::indexPages()
{
    m_searchIndex.clear();
    for (const QString &page : m_project.pages()) {
        QFile file(pagePath(page));
        if (file.open(QIODevice::ReadOnly))
            m_searchIndex.addPage(page, helpPlainText(QString::fromUtf8(file.readAll())));
    }
}

void HelpViewer::filterIndex(const QString &text)
{
    QListWidgetItem *first = nullptr;
    QListWidgetItem *best = nullptr;
    for (int i = 0; i < m_index->count(); ++i) {
        QListWidgetItem *item = m_index->item(i);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
        if (shown && !best && item->text().startsWith(text, Qt::CaseInsensitive))
            best = item;
    }
    m_index->setCurrentItem(best ? best : first);
}

void HelpViewer::showFinder()
{
    m_tabs->setCurrentIndex(0);
    if (m_loaded && m_browser->source().isEmpty())
        showHome();
}

void HelpViewer::showHome()
{
    if (m_loaded)
        showTarget(m_project.contents.front().target);
}

void HelpViewer::showTarget(const HelpTarget &target)
{
    if (!m_loaded)
        return;
    const QString path = pagePath(target.page);
    if (!QFileInfo(path).isFile()) {
        m_browser->setHtml(
            QStringLiteral("<h2>%1</h2>").arg(tr("Cannot find the help page %1.").arg(target.page).toHtmlEscaped()));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!target.anchor.isEmpty())
        url.setFragment(target.anchor);
    m_browser->setSource(url);
    if (!m_highlight.isEmpty()) {
        m_browser->find(m_highlight);
        m_highlight.clear();
    }
}

void HelpViewer::openTopic(QTreeWidgetItem *item)
{
    if (item)
        showTarget({item->data(0, PageRole).toString(), item->data(0, AnchorRole).toString()});
}

void HelpViewer::openListItem(QListWidgetItem *item)
{
    if (!item || item->isHidden() || item->data(PageRole).toString().isEmpty())
        return;
    if (item->listWidget() == m_found)
        m_highlight = HelpSearchIndex::queryWords(m_query->text()).value(0);
    showTarget({item->data(PageRole).toString(), item->data(AnchorRole).toString()});
}

void HelpViewer::search(const QString &query)
{
    m_query->setText(query);
    runSearch();
}

void HelpViewer::runSearch()
{
    m_found->clear();
    if (HelpSearchIndex::queryWords(m_query->text()).isEmpty())
        return;
    const QList<HelpHit> hits = m_searchIndex.search(m_query->text());
    for (const HelpHit &hit : hits) {
        auto *item = new QListWidgetItem(m_project.pageTitle(hit.page), m_found);
        setTarget(item, {hit.page, {}});
        item->setToolTip(tr("%n match(es)", nullptr, hit.hits));
    }
    if (hits.isEmpty())
        (new QListWidgetItem(tr("No topics found."), m_found))->setFlags(Qt::NoItemFlags);
    else
        m_found->setCurrentRow(0);
}

QString HelpViewer::pagePath(const QString &page) const
{
    return QFileInfo(m_path).absoluteDir().filePath(page);
}
