// Guards the help: that it is found by bare name, that a missing or damaged project is
// reported in the viewer without a box, that contents, index and search lead to the right
// pages, that every page and anchor the shipped help names exists, and one viewer window.

#include "help/helpproject.h"
#include "help/helpsearch.h"
#include "help/helpservice.h"
#include "help/helpviewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const char *const kProject = R"(# test help
Title: Test Help
[Contents]
Start | start.html
  Basics | start.html#basics
    Details | start.html#details
  More | more.html
Other | more.html#other
[Index]
sorting | more.html#other
Searching files | start.html#basics
sort order | more.html
)";

void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// A help folder with the project above, in CRLF lines, and its two pages.
struct Fixture {
    QTemporaryDir dir;
    Fixture()
    {
        writeFile(dir.filePath("TRV.hlp"), QByteArray(kProject).replace("\n", "\r\n"));
        writeFile(dir.filePath("start.html"),
                  "<h1>Start</h1><h2><a name=\"basics\">Basics</a></h2><p>catalogue drives</p>"
                  "<h2><a name=\"details\">Details</a></h2><p>sort sort sort drives</p>");
        writeFile(dir.filePath("more.html"),
                  "<h1>More</h1><h2><a name=\"other\">Other</a></h2><p>sort drives table</p>");
    }
};

template <typename T> T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString browserText(HelpViewer &viewer)
{
    return child<QTextBrowser>(viewer, "brwHelp")->toPlainText();
}

bool anyMessageBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget *w) { return qobject_cast<QMessageBox *>(w); });
}

QString repoHelpDir()
{
    return QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../../help");
}

} // namespace

TEST(HelpFile, FoundByBareNameInTheFirstFolderThatHoldsIt)
{
    QTemporaryDir empty, first, second;
    writeFile(first.filePath("TRV.hlp"), "x");
    writeFile(second.filePath("TRV.hlp"), "y");
    const QStringList path{"/no/such/folder", empty.path(), first.path(), second.path()};
    EXPECT_EQ(findHelpFile("TRV.hlp", path), QFileInfo(first.filePath("TRV.hlp")).absoluteFilePath());
    EXPECT_EQ(findHelpFile("TRV.hlp", {empty.path()}), QString());
    EXPECT_EQ(findHelpFile("TRV.hlp", {}), QString());
    // A folder of that name is not the file.
    QDir(empty.path()).mkdir("TRV.hlp");
    EXPECT_EQ(findHelpFile("TRV.hlp", {empty.path()}), QString());
}

TEST(HelpProjectFile, MalformedLinesAreReportedWithTheirNumber)
{
    const struct {
        const char *text;
        const char *error;
    } cases[] = {
        {"[Contents]\nNo bar here\n", "line 2:"},
        {"[Contents]\nA | a.html\n[Glossary]\n", "line 3: unknown section"},
        {"[Contents]\nA | a.html\n    B | a.html#b\n", "line 3: a topic is indented more than one level"},
        {"[Contents]\n  A | a.html\n", "line 2: a topic is indented"},
        {"[Contents]\nA | a.html\n B | b.html\n", "line 3: indent by two spaces"},
        {"[Contents]\nA | a.html\n\tB | b.html\n", "line 3: indent with spaces"},
        {"[Contents]\nA | ../secret.html\n", "line 2:"},
        {"[Contents]\nA | sub/a.html\n", "line 2:"},
        {"[Contents]\nA | \n", "line 2:"},
        {"[Contents]\n | a.html\n", "line 2:"},
        {"[Contents]\nA | a.html\n[Index]\nkeyword only\n", "line 4:"},
        {"Stray line\n[Contents]\nA | a.html\n", "line 1:"},
        {"Title: Nothing\n[Index]\nk | a.html\n", "the contents are empty"},
        {"", "the contents are empty"},
    };
    for (const auto &c : cases) {
        const HelpParseResult read = parseHelpProject(QString::fromUtf8(c.text));
        EXPECT_TRUE(read.error.startsWith(QString::fromUtf8(c.error))) << c.text << " -> " << read.error.toStdString();
    }
}

TEST(HelpSearch, EveryWordMustBeginAWordAndMoreHitsRankFirst)
{
    HelpSearchIndex index;
    index.addPage("a", "Sort the files. Sorting is quick.");
    index.addPage("b", "sort SORT sort; files and drives");
    index.addPage("c", "The drives are resorted, not sorted by files?"); // "resorted" does not count
    index.addPage("d", "Nothing here");

    auto pages = [&](const QString &query) {
        QStringList result;
        for (const HelpHit &hit : index.search(query))
            result.append(QStringLiteral("%1:%2").arg(hit.page).arg(hit.hits));
        return result;
    };
    EXPECT_EQ(pages("sort"), (QStringList{"b:3", "a:2", "c:1"}));
    EXPECT_EQ(pages("FILES sort"), (QStringList{"b:4", "a:3", "c:2"}));
    EXPECT_EQ(pages("sort drives"), (QStringList{"b:4", "c:2"}));
    EXPECT_EQ(pages("sort sort Sort"), pages("sort"));
    EXPECT_EQ(pages("sort missing"), QStringList());
    EXPECT_EQ(pages("   "), QStringList());
    EXPECT_EQ(HelpSearchIndex::countHits("&Open and E&xit", "&open"), 1);
    EXPECT_EQ(helpPlainText("<p>Size &amp; <b>Date</b></p>"), "Size & Date");
}

TEST(HelpViewerWindow, AMissingOrDamagedProjectIsReportedInThePageAreaWithoutABox)
{
    QTemporaryDir empty, bad;
    Fixture good;
    writeFile(bad.filePath("TRV.hlp"), "Title: X\n[Contents]\nA | a.html\n    B | b.html\n");
    HelpViewer viewer;
    EXPECT_FALSE(viewer.openHelpFile("TRV.hlp", {empty.path(), "/no/such/folder"}));
    EXPECT_FALSE(viewer.isLoaded());
    EXPECT_EQ(viewer.problem(), "Cannot find the help file TRV.hlp.");
    QString text = browserText(viewer);
    EXPECT_TRUE(text.contains("Cannot find the help file TRV.hlp.")) << text.toStdString();
    EXPECT_TRUE(text.contains(empty.path()) && text.contains("/no/such/folder"));
    viewer.showFinder(); // nothing to show: must neither crash nor replace the message
    viewer.search("sort");
    EXPECT_TRUE(browserText(viewer).contains("Cannot find"));

    ASSERT_TRUE(viewer.openHelpFile("TRV.hlp", {good.dir.path()}));
    EXPECT_FALSE(viewer.openHelpFile("TRV.hlp", {bad.path()}));
    text = browserText(viewer);
    EXPECT_TRUE(text.contains("The help file TRV.hlp is damaged")) << text.toStdString();
    EXPECT_TRUE(text.contains("line 4:"));
    EXPECT_EQ(child<QTreeWidget>(viewer, "treContents")->topLevelItemCount(), 0);
    EXPECT_EQ(child<QListWidget>(viewer, "lstIndex")->count(), 0);
    EXPECT_FALSE(anyMessageBox());
}

TEST(HelpViewerWindow, ContentsAndIndexFollowTheProjectAndOpenTheirPagesAndAnchors)
{
    Fixture f;
    HelpViewer viewer;
    ASSERT_TRUE(viewer.openHelpFile("TRV.hlp", {f.dir.path()}));
    EXPECT_EQ(viewer.windowTitle(), "Test Help");
    viewer.showFinder();
    auto *tree = child<QTreeWidget>(viewer, "treContents");
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem *start = tree->topLevelItem(0);
    ASSERT_EQ(start->childCount(), 2);
    EXPECT_EQ(start->child(0)->text(0), "Basics");
    ASSERT_EQ(start->child(0)->childCount(), 1);
    EXPECT_EQ(start->child(0)->child(0)->text(0), "Details");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "Other");

    auto *browser = child<QTextBrowser>(viewer, "brwHelp");
    EXPECT_EQ(browser->source().fileName(), "start.html"); // the finder opens on the first topic
    emit tree->itemActivated(start->child(0)->child(0), 0);
    EXPECT_EQ(browser->source().fragment(), "details");
    emit tree->itemClicked(tree->topLevelItem(1), 0);
    EXPECT_EQ(browser->source().fileName(), "more.html");
    EXPECT_EQ(browser->source().fragment(), "other");
    browser->backward();
    EXPECT_EQ(browser->source().fileName(), "start.html");

    auto *filter = child<QLineEdit>(viewer, "txtIndex");
    auto *list = child<QListWidget>(viewer, "lstIndex");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Searching files"); // sorted, case ignored
    EXPECT_EQ(list->item(1)->text(), "sort order");
    QTest::keyClicks(filter, "SORT");
    const QList<QListWidgetItem *> items = list->findItems(QStringLiteral("*"), Qt::MatchWildcard);
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](QListWidgetItem *i) { return !i->isHidden(); }), 2);
    EXPECT_EQ(list->currentItem()->text(), "sort order");
    QTest::keyClick(filter, Qt::Key_Return);
    EXPECT_EQ(browser->source().fileName(), "more.html");
    EXPECT_EQ(browser->source().fragment(), "");
    filter->setText("files");
    EXPECT_EQ(list->currentItem()->text(), "Searching files"); // contains, none starts with it
    filter->setText("nothing like it");
    EXPECT_EQ(list->currentItem(), nullptr);
    QTest::keyClick(filter, Qt::Key_Return); // nothing to open: harmless
}

TEST(HelpViewerWindow, SearchListsPagesByHitsAndOpensTheChosenOne)
{
    Fixture f;
    HelpViewer viewer;
    ASSERT_TRUE(viewer.openHelpFile("TRV.hlp", {f.dir.path()}));
    auto *found = child<QListWidget>(viewer, "lstFound");
    viewer.search("DRIVES sort");
    ASSERT_EQ(found->count(), 2);
    EXPECT_EQ(found->item(0)->text(), "Start"); // 2 drives + 3 sort
    EXPECT_EQ(found->item(1)->text(), "More");
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    // One click shows the page, as in the contents.
    QTest::mouseClick(found->viewport(), Qt::LeftButton, {}, found->visualItemRect(found->item(1)).center());
    auto *browser = child<QTextBrowser>(viewer, "brwHelp");
    EXPECT_EQ(browser->source().fileName(), "more.html");
    EXPECT_EQ(browser->textCursor().selectedText().toLower(), "drives");

    viewer.search("catalogue table"); // on different pages: no page has both
    ASSERT_EQ(found->count(), 1);
    EXPECT_EQ(found->item(0)->flags(), Qt::NoItemFlags);
    emit found->itemActivated(found->item(0));
    EXPECT_EQ(browser->source().fileName(), "more.html");
}

TEST(HelpServiceRequests, OneViewerBroughtForwardAndAMissingFileLookedForAgain)
{
    QTemporaryDir place;
    QWidget owner;
    HelpService help(&owner, {place.path()});
    help.show("TRV.hlp", HelpService::HelpFinder);
    HelpViewer *viewer = help.viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(viewer->isLoaded());
    EXPECT_TRUE(viewer->isWindow());
    EXPECT_FALSE(viewer->isModal());

    Fixture f;
    for (const char *name : {"TRV.hlp", "start.html", "more.html"})
        QFile::copy(f.dir.filePath(name), place.filePath(name));
    child<QTabWidget>(*viewer, "tabHelp")->setCurrentIndex(2);
    viewer->close();
    help.show("TRV.hlp", HelpService::HelpFinder);
    EXPECT_EQ(help.viewer(), viewer);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->isLoaded());
    EXPECT_EQ(child<QTabWidget>(*viewer, "tabHelp")->currentIndex(), 0);
    EXPECT_EQ(owner.findChildren<HelpViewer *>().size(), 1);
    EXPECT_FALSE(anyMessageBox());
}

TEST(ShippedHelp, ProjectLoadsAndEveryPageAndAnchorItNamesExists)
{
    const QDir help(repoHelpDir());
    const HelpParseResult read = readHelpProject(help.filePath("TRV.hlp"));
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    const HelpProject &project = read.project;
    EXPECT_GE(project.index.size(), 40);

    static const QRegularExpression anchorTag(QStringLiteral("<a\\s+name=\"([^\"]+)\""));
    static const QRegularExpression link(QStringLiteral("href=\"([^\":]*)\""));
    QHash<QString, QSet<QString>> anchors;
    QHash<QString, QString> html;
    const QStringList files = help.entryList({"*.html"}, QDir::Files);
    for (const QString &name : files) {
        QFile file(help.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        html[name] = QString::fromUtf8(file.readAll());
        for (const auto &m : anchorTag.globalMatch(html[name])) {
            EXPECT_FALSE(anchors[name].contains(m.captured(1))) << "anchor twice " << name.toStdString();
            anchors[name].insert(m.captured(1));
        }
    }
    auto check = [&](const HelpTarget &t, const QString &from) {
        EXPECT_TRUE(html.contains(t.page)) << from.toStdString() << " -> " << t.text().toStdString();
        if (!t.anchor.isEmpty()) {
            EXPECT_TRUE(anchors[t.page].contains(t.anchor)) << from.toStdString() << " -> " << t.text().toStdString();
        }
    };
    for (const HelpTopic &topic : project.contents)
        check(topic.target, "TRV.hlp contents");
    for (const HelpKeyword &keyword : project.index)
        check(keyword.target, "TRV.hlp index");
    // Links between pages, and every page reachable from the contents.
    for (auto it = html.cbegin(); it != html.cend(); ++it) {
        for (const auto &m : link.globalMatch(it.value())) {
            const QString href = m.captured(1);
            const qsizetype hash = href.indexOf('#');
            HelpTarget t{hash < 0 ? href : href.left(hash), hash < 0 ? QString() : href.mid(hash + 1)};
            if (t.page.isEmpty())
                t.page = it.key();
            check(t, it.key());
        }
        EXPECT_TRUE(project.pages().contains(it.key())) << it.key().toStdString() << " not in contents";
    }
}
