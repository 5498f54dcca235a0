// Lookup over a million records through the window's own commands: the twelve sorts, the
// quick search under both name orders, and duplicate steps, each followed by the repaint.
#include "app/frmdisplay.h"
#include "catalogue/layouts.h"
#include "common/displaystate.h"
#include "common/messagesink.h"
#include "grid/datagrid.h"
#include "grid/presentation.h"
#include "lookup/duplicates.h"
#include "lookup/quicksearch.h"
#include "lookup/sorting.h"
#include "synthetic.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kRecords = 1'000'000;

class CountingSink final : public MessageSink {
public:
    void showMessage(const QString &, const QString &title) override { last = title; }
    QString last;
};

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void press(QWidget *w, Qt::Key key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier,
                key == Qt::Key_Tab ? QStringLiteral("\t") : QStringLiteral("\r"));
    QCoreApplication::sendEvent(w, &e);
}

// The main window with its own commands, over a million records.
struct Window {
    CountingSink sink;
    FrmDisplay top{FrmDisplay::Services::withoutDrives(&sink)};
    DisplayState &state = top.state();
    DataGrid *grid = top.lookupControls().grdFiles;
    QLineEdit *txtSearch = top.lookupControls().txtSearch;
};

void paint(Window &w)
{
    QCoreApplication::processEvents();
    (void)w.grid->grab();
}

void benchSorts(Window &w, Sorting &sorting)
{
    static const char *const names[SortItemCount] = {
        "long name asc", "long name desc", "short name asc", "short name desc", "path asc",      "path desc",
        "size asc",      "size desc",      "date asc",       "date desc",       "extension asc", "extension desc"};
    QElapsedTimer t;
    for (int item = 0; item < SortItemCount; ++item) {
        t.start();
        sorting.mnuSortItem_Click(SortItem(item));
        const double command = ms(t);
        paint(w);
        std::printf("sort %-16s %7.1f ms (+ paint %.1f ms)\n", names[item], command, ms(t) - command);
    }
}

// Short names repeat a lot, so the short-name order is taken from the path order, as after
// a user's path sort: otherwise it would only repeat the long-name order.
void sortFor(Sorting &sorting, SortItem order)
{
    if (order == ShortNameAsc)
        sorting.mnuSortItem_Click(PathAsc);
    sorting.mnuSortItem_Click(order);
}

void benchSearches(Window &w, Sorting &sorting, QuickSearchBox &box, SortItem order, const char *orderName)
{
    static const char *const texts[] = {"",         "b",   "Holiday photo_4",     "main_999990", "README_2500.md",
                                        "Résumé_1", "zzz", "template_4999.tar.gz"};
    sortFor(sorting, order);
    box.QuickSearch();
    QElapsedTimer t;
    for (const char *text : texts) {
        w.txtSearch->setText(QString::fromUtf8(text));
        t.start();
        press(w.txtSearch, Qt::Key_Return);
        const double command = ms(t);
        paint(w);
        std::printf("search %-15s %-22s %6.2f ms (+ paint %.1f ms) -> row %d\n", orderName,
                    (std::string("\"") + text + "\"").c_str(), command, ms(t) - command, w.state.catalogue->position());
    }
    press(w.txtSearch, Qt::Key_Tab);
}

// Steps from the last rows to the end message, without painting in between.
void benchDuplicatesToTheEnd(Window &w, const char *orderName)
{
    RecordSet &rs = *w.state.catalogue;
    rs.setPosition(rs.count() - 20'000);
    QElapsedTimer t, step;
    t.start();
    double slowest = 0;
    int steps = 0;
    for (w.sink.last.clear(); w.sink.last.isEmpty() && steps < 100'000; ++steps) {
        step.start();
        press(w.grid->pane(0), Qt::Key_Tab);
        slowest = std::max(slowest, ms(step));
    }
    std::printf("duplicates %-15s last 20000 rows: %d steps in %.0f ms, slowest %.2f ms\n", orderName, steps, ms(t),
                slowest);
}

void benchDuplicates(Window &w, Sorting &sorting, DuplicateFinder &finder, SortItem order, const char *orderName)
{
    sortFor(sorting, order);
    w.grid->resetState();
    QElapsedTimer t;
    for (int step = 0; step < 6; ++step) {
        w.sink.last.clear();
        t.start();
        if (step == 0) {
            w.state.mblnDupFirst = w.state.mblnDupMode = true;
            finder.FindDuplicates();
        } else {
            press(w.grid->pane(0), Qt::Key_Tab);
        }
        const double command = ms(t);
        paint(w);
        std::printf("duplicates %-15s step %d %6.2f ms (+ paint %.1f ms) -> row %d, %lld marked%s\n", orderName, step,
                    command, ms(t) - command, w.state.catalogue->position(),
                    qlonglong(w.grid->selectedBookmarks().size()), w.sink.last.isEmpty() ? "" : ", ended");
    }
    benchDuplicatesToTheEnd(w, orderName);
}

// The longest step there is: a catalogue without a single repeated name, scanned to its end.
void benchDuplicatesWithoutGroups(Window &w, Sorting &sorting, DuplicateFinder &finder)
{
    auto unique = std::make_unique<RecordSet>();
    CreateRecordSet(*unique);
    for (int i = 0; i < kRecords; ++i) {
        unique->addNew();
        unique->setField(fld::LongName,
                         values::longNameValue("file " + std::to_string(qint64(i) * 7919 % kRecords) + ".txt"));
        // Short names in no relation to the long ones or to memory, as in a real tree.
        unique->setField(fld::ShortName, std::to_string(quint32(i) * 2654435761u));
    }
    unique->squeeze();
    w.grid->setDataSource(unique.get());
    std::swap(w.state.catalogue, unique);
    for (SortItem order : {LongNameAsc, ShortNameAsc}) {
        sorting.mnuSortItem_Click(order);
        paint(w);
        QElapsedTimer t;
        t.start();
        w.state.mblnDupFirst = w.state.mblnDupMode = true;
        finder.FindDuplicates();
        const double command = ms(t);
        paint(w);
        std::printf("duplicates without any group, %s: %.1f ms (+ paint %.1f ms), %s\n",
                    order == LongNameAsc ? "long name asc" : "short name asc", command, ms(t) - command,
                    qPrintable(w.sink.last));
    }
    std::swap(w.state.catalogue, unique);
    w.grid->setDataSource(w.state.catalogue.get());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Window w;
    QElapsedTimer t;
    t.start();
    CreateRecordSet(*w.state.catalogue);
    fillSyntheticCatalogue(*w.state.catalogue, kRecords);
    w.state.TotalFiles = w.state.catalogue->count();
    std::printf("fill %d records: %.0f ms\n", kRecords, ms(t));

    Sorting &sorting = w.top.sorting();
    QuickSearchBox &box = w.top.quickSearch();
    DuplicateFinder &finder = w.top.duplicates();

    t.restart();
    w.grid->setDataSource(w.state.catalogue.get());
    FormatColumns(*w.grid, w.state.mblnSplitMade);
    SplitDisplay(*w.grid);
    w.top.resize(1200, 800);
    w.top.show();
    paint(w);
    std::printf("bind + layout + first paint: %.1f ms\n", ms(t));

    benchSorts(w, sorting);
    benchSearches(w, sorting, box, LongNameAsc, "long name asc");
    benchSearches(w, sorting, box, ShortNameAsc, "short name asc");
    benchDuplicates(w, sorting, finder, LongNameAsc, "long name asc");
    benchDuplicates(w, sorting, finder, ShortNameAsc, "short name asc");
    benchDuplicatesWithoutGroups(w, sorting, finder);
    return 0;
}
