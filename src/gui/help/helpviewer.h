#pragma once
// The help window: contents, index and full-text search on the left, the page on the
// right. It reports a missing or damaged help file in its own page area, never in a box,
// so nothing ever waits on it.

#include "help/helpproject.h"
#include "help/helpsearch.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget *parent = nullptr);

    // Beside the program first, then where an installation puts the help.
    [[nodiscard]] static QStringList defaultSearchPath();

    // Finds the help project by bare name and loads it; on failure the page area says why
    // and the result is false.
    bool openHelpFile(const QString &bareName, const QStringList &searchPath = defaultSearchPath());
    [[nodiscard]] bool isLoaded() const { return m_loaded; }
    [[nodiscard]] QString helpFilePath() const { return m_path; }
    [[nodiscard]] QString problem() const { return m_problem; }
    [[nodiscard]] const HelpProject &project() const { return m_project; }

    // The finder: the Contents tab, and the first topic when no page is shown yet.
    void showFinder();
    void showHome();
    void showTarget(const HelpTarget &target);
    void search(const QString &query);

private:
    void buildUi();
    QWidget *buildIndexTab();
    QWidget *buildSearchTab();
    QWidget *buildPageArea();
    void fillContents();
    void fillIndex();
    void indexPages();
    void showProblem(const QString &heading, const QString &detail);
    void filterIndex(const QString &text);
    void openTopic(QTreeWidgetItem *item);
    void openListItem(QListWidgetItem *item);
    void runSearch();
    [[nodiscard]] QString pagePath(const QString &page) const;

    QTabWidget *m_tabs = nullptr;
    QTreeWidget *m_contents = nullptr;
    QLineEdit *m_indexFilter = nullptr;
    QListWidget *m_index = nullptr;
    QLineEdit *m_query = nullptr;
    QListWidget *m_found = nullptr;
    QTextBrowser *m_browser = nullptr;
    QToolButton *m_back = nullptr;
    QToolButton *m_forward = nullptr;
    QToolButton *m_home = nullptr;

    HelpProject m_project;
    HelpSearchIndex m_searchIndex;
    QString m_path;
    QString m_problem;
    QString m_highlight;
    bool m_loaded = false;
};
