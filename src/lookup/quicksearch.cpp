#include "lookup/quicksearch.h"

#include "app/messagesink.h"
#include "lookup/sorting.h"

#include <QAction>
#include <QLineEdit>

namespace {
constexpr int kEnter = 13, kTab = 9;
}

void QuickSearchBox::QuickSearch()
{
    if (!nameAscendingChosen(m_c)) {
        m_c.messages->showMessage(QStringLiteral("Files must be displayed and sorted in filename ascending order to do search"),
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
    // The find reads everything between the first and the last quote as the text, so a
    // typed quote needs no escaping.
    RecordSet &catalogue = *m_c.state->catalogue;
    catalogue.moveFirst();
    catalogue.find(QStringLiteral("Field1 >= '") + m_c.txtSearch->text() + QLatin1Char('\''));
}
