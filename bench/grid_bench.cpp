// Grid over a million file records: binding and first paint, a jump to the last row,
// and a repaint after a sort on the size, on the offscreen platform.
#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "grid/datagrid.h"
#include "grid/presentation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <cstdio>
#include <string>

namespace {

constexpr int kRecords = 1'000'000;

void fill(RecordSet &rs)
{
    CreateRecordSet(rs);
    std::string key;
    for (int i = 0; i < kRecords; ++i) {
        const std::string name = "document " + std::to_string(i % 4099) + (i % 3 ? ".txt" : ".jpeg");
        const std::string dir = "/home/ann/projects/p" + std::to_string(i / 500) + "/";
        const LocalTime t{2000 + i % 25, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60};
        rs.addNew();
        const std::string longName = values::longNameValue(name);
        const std::string shortName = values::shortNameValue(i % 3 ? "" : "DOCUME~1.JPE", longName);
        const std::string time = FileTimeText(t, key);
        rs.setField(fld::LongName, std::string_view(longName));
        rs.setField(fld::ShortName, std::string_view(shortName));
        rs.setField(fld::Path, std::string_view(values::pathValue(dir)));
        rs.setField(fld::Modified, std::string_view(time));
        rs.setField(fld::Created, std::string_view(time));
        rs.setField(fld::Accessed, std::string_view(values::accessedValue(time)));
        rs.setField(fld::Size, qint64(i) * 7919 % 50'000'000);
        rs.setField(fld::DateKey, std::string_view(key));
        rs.setField(fld::Extension, std::string_view(values::extensionValue(shortName)));
    }
    rs.squeeze();
    rs.moveFirst();
}

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QElapsedTimer t;
    t.start();
    RecordSet rs;
    fill(rs);
    std::printf("fill %d records: %.0f ms\n", kRecords, ms(t));

    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    DataGrid grid;
    bool splitMade = false;
    grid.setDataSource(&dummy);
    ResetSplitDisplay(grid, splitMade);
    ResetSplitDisplay(grid, splitMade);
    grid.resize(1200, 800);
    grid.show();
    QCoreApplication::processEvents();

    t.restart();
    grid.setDataSource(&rs);
    FormatColumns(grid, splitMade);
    SplitDisplay(grid);
    QCoreApplication::processEvents();
    (void)grid.grab();
    std::printf("bind + layout + first paint: %.1f ms\n", ms(t));

    t.restart();
    rs.moveLast();
    QCoreApplication::processEvents();
    (void)grid.grab();
    std::printf("move to last row + paint: %.1f ms (scroll value %d)\n", ms(t),
                grid.pane(1)->verticalScrollBar()->value());

    t.restart();
    for (int i = 0; i < 100; ++i)
        grid.pane(1)->verticalScrollBar()->setValue(i * (kRecords / 100));
    QCoreApplication::processEvents();
    (void)grid.grab();
    std::printf("100 scroll jumps + paint: %.1f ms\n", ms(t));

    t.restart();
    rs.setSort(u"Field7 Desc");
    const double sortMs = ms(t);
    ResetSplitDisplay(grid, splitMade);
    QCoreApplication::processEvents();
    (void)grid.grab();
    std::printf("setSort(Field7 Desc): %.0f ms; reset layout + paint after it: %.1f ms\n", sortMs, ms(t) - sortMs);
    grid.setDataSource(nullptr);
    return 0;
}
