#include "lookup/quicksearch.h"

#include "catalogue/recordvalues.h"
#include "common/messagesink.h"
#include "lookup/sorting.h"

#include <QAction>
#include <QLineEdit>

namespace {
constexpr int kEnter = 13, kTab = 9;

// The first n code points of s.
QString leftPoints(const QString &s, std::size_t n)
{
    qsizetype end = 0;
    for (std::size_t points = 0; end < s.size() && points < n; ++points)
        end += s[end].isHighSurrogate() && end + 1 < s.size() && s[end + 1].isLowSurrogate() ? 2 : 1;
    return s.left(end);
}

} // namespace

void QuickSearchBox::QuickSearch()
{
    if (!nameAscendingChosen(m_c)) {
        m_c.messages->showMessage(
            QStringLiteral("Files must be displayed and sorted in filename ascending order to do search"),
            QStringLiteral("Sort Order Incorrect"));
        return;
    }
    if (m_c.state->TotalFiles == 0) {
        m_c.messages->showMessage(QStringLiteral("You must display the files first, then do a search"),
                                  QStringLiteral("Display Files First"));
        return;
    }
    m_c.txtSearch->setText(QString());
    m_c.txtSearch->setVisible(true);
    m_c.txtSearch->setFocus();
    m_c.Search->setChecked(true);
}

void QuickSearchBox::txtSearch_KeyPress(int &keyAscii)
{
    if (keyAscii == kEnter) {
        keyAscii = 0;
        searchFromFirst();
    }
    if (keyAscii == kTab) {
        keyAscii = 0;
        searchFromFirst();
        m_c.txtSearch->setVisible(false);
        m_c.Search->setChecked(false);
    }
}

void QuickSearchBox::searchFromFirst()
{
    // Only the first 25 characters of a long name are kept, so the whole name of a longer
    // file must land on it, not behind it. The find reads everything between the first
    // and the last quote as the text, so a typed quote needs no escaping.
    const QString typed = leftPoints(m_c.txtSearch->text(), values::kLongNameWidth);
    RecordSet &catalogue = *m_c.state->catalogue;
    catalogue.moveFirst();
    catalogue.find(QStringLiteral("Field1 >= '") + typed + QLatin1Char('\''));
}
