// Guards the model the panes share: cell texts and formats, and that it stays a
// consistent Qt model through appends, removals, sorts and rebinding.
#include "grid/recordsetmodel.h"

#include "platform/text.h"
#include "support/gridfixture.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

namespace {

const FileRow kFiles[] = {{"b.txt", 0}, {"a.txt", 1234567}, {"c.txt", 58023}};

} // namespace

TEST(RecordSetModel, CellsShowStoredTextAndFormattedSizesUnderTheirHeaders)
{
    RecordSet rs;
    fillCatalogue(rs, kFiles);
    RecordSetModel m;
    m.setRecordSet(&rs);
    ASSERT_EQ(m.rowCount(), 3);
    ASSERT_EQ(m.columnCount(), fld::Count);
    // The stored value without its padding, which would only push text into an ellipsis.
    EXPECT_EQ(m.data(m.index(0, fld::LongName)).toString(), QStringLiteral("B.TXT"));
    EXPECT_EQ(m.data(m.index(1, fld::Size)).toString(), "1234567");
    m.setNumberFormat(fld::Size, QStringLiteral("###,###,##0"));
    EXPECT_EQ(m.data(m.index(0, fld::Size)).toString(), "0");
    EXPECT_EQ(m.data(m.index(1, fld::Size)).toString(), "1,234,567");
    // A number format does nothing to a text field.
    m.setNumberFormat(fld::LongName, QStringLiteral("###,###,##0"));
    EXPECT_EQ(m.data(m.index(1, fld::LongName)).toString().trimmed(), "A.TXT");
}

TEST(RecordSetModel, ControlCharactersShowAsSymbolsAndTheStoredValueKeepsThem)
{
    RecordSet rs;
    CreateRecordSet(rs);
    const std::pair<std::string, QString> names[] = {
        {"tab\there", QStringLiteral("TAB^IHERE")},
        {"line\nbreak\r", QStringLiteral("LINE^JBREAK^M")},
        {"bell\a del\x7f", QStringLiteral("BELL^G DEL^?")},
        {"caf\xc3\xa9 plain", QStringLiteral("CAF\u00C9 PLAIN")},
        // Direction controls would show "evil\u202Etxt.exe" as EVILEXE.TXT.
        {"evil\u202Etxt.exe", QStringLiteral("EVIL<RLO>TXT.EXE")},
        {"a\u2066b\u2069\u200F\u061C \u2014", QStringLiteral("A<LRI>B<PDI><RLM><ALM> \u2014")},
    };
    for (const auto &[name, shown] : names)
        addFile(rs, name, 0);
    rs.publishAppended();
    RecordSetModel m;
    m.setRecordSet(&rs);
    for (int row = 0; row < int(std::size(names)); ++row) {
        EXPECT_EQ(m.data(m.index(row, fld::LongName)).toString(), names[row].second) << row;
        const std::string stored = rs.utf8At(row, fld::LongName);
        EXPECT_EQ(stored.substr(0, stored.find_last_not_of(' ') + 1), text::toUpper(names[row].first)) << row;
    }
}

TEST(RecordSetModel, StaysConsistentThroughAppendRemoveSortAndRebind)
{
    RecordSet rs;
    fillCatalogue(rs, kFiles);
    RecordSetModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    m.setRecordSet(&rs);

    addFile(rs, "d.txt", 4);
    addFile(rs, "e.txt", 5);
    EXPECT_EQ(m.rowCount(), 3) << "rows are shown once they are published";
    rs.publishAppended();
    EXPECT_EQ(m.rowCount(), 5);

    rs.setPosition(1);
    rs.deleteCurrent();
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(m.data(m.index(1, 0)).toString().trimmed(), "C.TXT");

    rs.setSort(u"Field1");
    EXPECT_EQ(m.data(m.index(0, 0)).toString().trimmed(), "B.TXT");

    RecordSet dummy;
    BuildDummyRecordSet(dummy);
    m.setRecordSet(&dummy);
    EXPECT_EQ(m.rowCount(), kDummyRows);
    EXPECT_EQ(m.data(m.index(0, 0)).toString(), "");
    m.setRecordSet(nullptr);
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.columnCount(), 0);
}

TEST(RecordSetModel, RebindingDetachesFromTheOldRecordSet)
{
    RecordSet next; // outlives the model bound to it
    fillCatalogue(next, kFiles);
    RecordSetModel m;
    QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
    auto old = std::make_unique<RecordSet>();
    fillCatalogue(*old, kFiles);
    m.setRecordSet(old.get());
    m.setRecordSet(&next);
    const int before = resets.count();
    old->setSort(u"Field7");
    EXPECT_EQ(resets.count(), before) << "the old record set still reaches the model";
    old.reset(); // the model must not touch it again
    next.setSort(u"Field7");
    EXPECT_EQ(resets.count(), before + 1);
}

// Marks following a sort are guarded with the grid.
TEST(RecordSetModel, MarksAreDroppedWhenTheTableCloses)
{
    RecordSet rs;
    fillCatalogue(rs, kFiles);
    RecordSetModel m;
    m.setRecordSet(&rs);
    m.toggleMark(0);
    EXPECT_TRUE(m.isMarked(0));
    rs.close();
    CreateRecordSet(rs);
    addFile(rs, "x", 1);
    rs.publishAppended();
    EXPECT_FALSE(m.isMarked(0)) << "a new table reuses bookmark ids";
}
