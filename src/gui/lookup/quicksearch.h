#pragma once
// The quick search: the search box moves the catalogue's current record to the first file
// whose long name is at or after the typed text.

#include "lookup/lookupcontrols.h"

class QuickSearchBox {
public:
    // The controls are the window's and must outlive this object.
    explicit QuickSearchBox(const LookupControls &controls) : m_c(controls) {}
    QuickSearchBox(LookupControls &&) = delete;

    // Opens (or empties) the search box, or says why it cannot.
    void QuickSearch();
    // Enter searches, Tab searches and closes the box; both are swallowed.
    void txtSearch_KeyPress(int &keyAscii);

private:
    void searchFromFirst();

    const LookupControls &m_c;
};
