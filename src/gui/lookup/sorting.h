#pragma once
// The sort state, held only in the check marks of the twelve Sort menu items, and the
// commands that read and change it: the twelve sorts, the arrow buttons and SortIt, which
// applies the marked order to the catalogue.

#include "lookup/lookupcontrols.h"

#include <QString>

// Long name or short name ascending is marked: the only orders the quick search and the
// duplicate finder accept.
[[nodiscard]] bool nameAscendingChosen(const LookupControls &controls);

class Sorting {
public:
    // The controls are the window's and must outlive this object.
    explicit Sorting(const LookupControls &controls) : m_c(controls) {}
    Sorting(LookupControls &&) = delete;

    void SetSort();
    void SortIt();

    void SortLongNameAsc() { sortOn(LongNameAsc); }
    void SortLongNameDsc() { sortOn(LongNameDsc); }
    void SortShortNameAsc() { sortOn(ShortNameAsc); }
    void SortShortNameDsc() { sortOn(ShortNameDsc); }
    void SortPathAsc() { sortOn(PathAsc); }
    void SortPathDsc() { sortOn(PathDsc); }
    void SortSizeAsc() { sortOn(SizeAsc); }
    void SortSizeDsc() { sortOn(SizeDsc); }
    void SortDateLastModifiedAsc() { sortOn(DateLastModifiedAsc); }
    void SortDateLastModifiedDsc() { sortOn(DateLastModifiedDsc); }
    void SortExtensionAsc() { sortOn(ExtensionAsc); }
    void SortExtensionDsc() { sortOn(ExtensionDsc); }

    // The "UpArrow" and "DownArrow" buttons: the same key, the other direction.
    void SortAscending();
    void SortDescending();
    void ShowUpArrow();
    void ShowDownArrow();

    // What each Sort menu item's handler does.
    void mnuSortItem_Click(SortItem item);

    [[nodiscard]] bool nameAscendingChosen() const { return ::nameAscendingChosen(m_c); }
    // The order SortIt would apply now, so a catalogue can be built already in it.
    [[nodiscard]] QString chosenSortOrder() const;
    // The sort label's caption for that order.
    [[nodiscard]] QString chosenSortCaption() const;

private:
    [[nodiscard]] int chosenItem() const;
    void sortOn(SortItem item);
    [[nodiscard]] bool marked(int item) const;

    const LookupControls &m_c;
};
