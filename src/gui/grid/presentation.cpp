#include "grid/presentation.h"

#include "grid/datagrid.h"

#include <QPalette>
#include <QStringList>
#include <array>

namespace {

constexpr int kFormattedColumns = 7;
constexpr std::array<int, kFormattedColumns> kWidths = {3000, 1550, 7000, 2900, 2900, 1300, 1500};
constexpr int kSizeColumn = 6;
constexpr int kCentred = 2;

const QStringList &captions()
{
    static const QStringList c = {QStringLiteral("LONG NAME"),    QStringLiteral("SHORT NAME"),
                                  QStringLiteral("PATH"),         QStringLiteral("DATE LAST MODIFIED"),
                                  QStringLiteral("DATE CREATED"), QStringLiteral("ACCESSED"),
                                  QStringLiteral("SIZE")};
    return c;
}

} // namespace

void FormatColumns(DataGrid &grdFiles, bool &mblnSplitMade)
{
    if (!mblnSplitMade) {
        mblnSplitMade = true;
        return;
    }
    grdFiles.removePane(0);
    for (int c = 0; c < kFormattedColumns; ++c)
        grdFiles.setColumnWidth(c, kWidths[std::size_t(c)]);
    grdFiles.setColumnVisible(7, false);
    grdFiles.setColumnVisible(8, false);
    for (int c = 0; c < kFormattedColumns; ++c)
        grdFiles.setColumnCaption(c, captions()[c]);
    grdFiles.setColumnNumberFormat(kSizeColumn, QStringLiteral("###,###,##0"));
    grdFiles.setStyleAlignment(kCentred);
}

void SplitDisplay(DataGrid &grdFiles)
{
    grdFiles.insertPane(0);
    GridPane *names = grdFiles.pane(0);
    names->setAllColumnsVisible(false);
    names->setColumnVisible(0, true);
    names->setSizeMode(PaneSizeMode::NumberOfColumns);
    names->setSize(1);
    names->setAllowSizing(false);
    names->setRecordSelectors(true);
    names->setBackColor(grdFiles.palette().color(QPalette::Button));

    GridPane *rest = grdFiles.pane(1);
    rest->setColumnVisible(0, false);
    rest->setRecordSelectors(false);
}

void ResetSplitDisplay(DataGrid &grdFiles, bool &mblnSplitMade)
{
    FormatColumns(grdFiles, mblnSplitMade);
    SplitDisplay(grdFiles);
}
