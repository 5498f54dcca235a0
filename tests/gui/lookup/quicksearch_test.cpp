// Guards the quick search: which refusal wins, the box and the "Search" button, typed texts
// that are odd for the criterion (quotes, blanks, case, accents, names longer than stored)
// landing where the sort put the name, and Enter and Tab taken from the box as real keys.
#include "common/keyascii.h"
#include "lookup/quicksearch.h"
#include "lookup/sorting.h"
#include "support/lookupfixture.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace {

// Long-name order: ABACUS, ABC, ABCDEFGHIJKLMNOPQRSTUVWXY, ABD, DON T, DON'T PANIC, ZEBRA, ÉCOLE.
const std::initializer_list<FileRec> kFiles = {
    {"zebra"}, {"abc"},    {"Don't panic"}, {"école"}, {"ABCDEFGHIJKLMNOPQRSTUVWXYZ long.txt"},
    {"abd"},   {"abacus"}, {"don t"},
};

class QuickSearchTest : public LookupFixture {
protected:
    QuickSearchTest()
    {
        // Installed after the window's own handler, so it runs first.
        installKeyAscii(txtSearch, [this](int &) { focusAtKey = QApplication::focusWidget(); });
        window.show();
        QApplication::setActiveWindow(&window);
    }
    void open(std::initializer_list<FileRec> files, SortItem order)
    {
        display(files);
        sorting.mnuSortItem_Click(order);
        box.QuickSearch();
    }
    void typeAndPress(const QString &typed, Qt::Key key)
    {
        txtSearch->setText(typed); // QTest types ASCII only
        QTest::keyClick(txtSearch, key);
    }

    QWidget *focusAtKey = nullptr;
};

} // namespace

TEST_F(QuickSearchTest, RefusesAWrongOrderBeforeAnEmptyCatalogue)
{
    box.QuickSearch(); // nothing chosen, nothing shown
    sorting.mnuSortItem_Click(LongNameAsc);
    box.QuickSearch();
    display(kFiles);
    sorting.mnuSortItem_Click(LongNameDsc);
    box.QuickSearch();
    ASSERT_EQ(titles(),
              (std::vector<std::string>{"Sort Order Incorrect", "Display Files First", "Sort Order Incorrect"}));
    EXPECT_EQ(sink.shown[0].text,
              QStringLiteral("Files must be displayed and sorted in filename ascending order to do search"));
    EXPECT_EQ(sink.shown[1].text, QStringLiteral("You must display the files first, then do a search"));
    EXPECT_TRUE(txtSearch->isHidden());
    EXPECT_FALSE(Search->isChecked());
}

TEST_F(QuickSearchTest, OpensUnderEitherNameOrderAndReopensEmpty)
{
    open(kFiles, ShortNameAsc);
    QTest::keyClick(txtSearch, Qt::Key_Tab);
    sorting.mnuSortItem_Click(LongNameAsc);
    box.QuickSearch();
    EXPECT_TRUE(txtSearch->isVisible() && txtSearch->hasFocus() && Search->isChecked());
    QTest::keyClicks(txtSearch, QStringLiteral("abx"));
    QTest::keyClick(txtSearch, Qt::Key_Backspace);
    EXPECT_EQ(txtSearch->text(), QStringLiteral("ab")) << "other keys edit the text";
    box.QuickSearch();
    EXPECT_TRUE(txtSearch->text().isEmpty());
    EXPECT_TRUE(txtSearch->isVisible());
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(QuickSearchTest, EnterLandsWhereTheSortPutTheTypedNameAndTabClosesTheBox)
{
    open(kFiles, LongNameAsc);
    const std::pair<const char *, const char *> cases[] = {
        {"", "ABACUS"},
        {"aBc", "ABC"},
        {"abca", "ABCDEFGHIJKLMNOPQRSTUVWXY"},
        {"abcdefghijklmnopqrstuvwxyz long.txt", "ABCDEFGHIJKLMNOPQRSTUVWXY"}, // longer than stored
        {"abcdefghijklmnoz", "ABD"}, // all typed characters up to the stored 25 count
        {"don'", "DON'T PANIC"},     // a quote is text, not the criterion's end
        {" zebra", "ABACUS"},        // a blank is text too
        {"zz", "ÉCOLE"},             // by code point, as the sort
        {"École", "ÉCOLE"},
    };
    for (const auto &[typed, expected] : cases) {
        SCOPED_TRACE(typed);
        state.catalogue->moveLast();
        typeAndPress(QString::fromUtf8(typed), Qt::Key_Return);
        EXPECT_EQ(currentName(), expected);
        EXPECT_EQ(grid->currentRow(), state.catalogue->position());
    }
    EXPECT_TRUE(txtSearch->isVisible() && txtSearch->hasFocus() && Search->isChecked());

    // No match leaves no current row; Tab closes the box after its search.
    QSignalSpy returned(txtSearch, &QLineEdit::returnPressed);
    typeAndPress(QStringLiteral("ü"), Qt::Key_Return);
    EXPECT_TRUE(state.catalogue->eof());
    EXPECT_EQ(grid->currentRow(), -1);
    EXPECT_EQ(returned.count(), 0) << "Enter is swallowed";

    typeAndPress(QStringLiteral("abd"), Qt::Key_Tab);
    EXPECT_EQ(focusAtKey, txtSearch) << "Tab reaches the box before any focus move";
    EXPECT_EQ(currentName(), "ABD") << "a failed search breaks nothing after it";
    EXPECT_TRUE(txtSearch->isHidden());
    EXPECT_FALSE(Search->isChecked());
}

TEST_F(QuickSearchTest, OutsideLongNameOrderTheFirstLongNameAtOrAfterInThatOrderWins)
{
    // Short-name order: ALPHA, ZULU, MIKE.
    open({{"mike", "C"}, {"zulu", "B"}, {"alpha", "A"}}, ShortNameAsc);
    typeAndPress(QStringLiteral("m"), Qt::Key_Return);
    EXPECT_EQ(currentName(), "ZULU");
    // The box does not look at the order again.
    sorting.mnuSortItem_Click(ShortNameDsc);
    typeAndPress(QStringLiteral("b"), Qt::Key_Tab);
    EXPECT_EQ(currentName(), "MIKE");
}
