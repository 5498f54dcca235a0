#pragma once
// The duplicate finder: steps through runs of adjacent records with equal long names in
// the catalogue's current (name-ascending) order, marking each run's rows in the grid.

#include "catalogue/recordset.h"
#include "lookup/lookupcontrols.h"

#include <optional>
#include <string>

class DuplicateFinder {
public:
    // The controls are the window's and must outlive this object; of the state, the finder
    // changes mblnDupFirst alone.
    DuplicateFinder(const LookupControls &controls, DisplayState &state) : m_c(controls), m_state(state) {}
    DuplicateFinder(LookupControls &&, DisplayState &) = delete;

    // Marks the next group, from the first record when mblnDupFirst is set.
    void FindDuplicates();
    // The grid's key handler while the "FindDups" button is pressed: Tab steps to the next
    // group, Enter goes back to the first record. Other keys are left to the grid.
    void gridKeyPress(int &keyAscii);

    // LastDupName: the 25-character long name the scan passed last; none after a start
    // from the top.
    [[nodiscard]] const std::optional<std::string> &lastDupName() const { return m_lastDupName; }

private:
    // Refuses, with its message, a catalogue not shown or not in name order.
    [[nodiscard]] bool mayFind() const;
    // Starts on the group's second member; leaves the current record behind the group.
    void MarkDuplicateGroup();
    void markCurrentRow();
    void endOfDuplicates();
    // Field1 at a position, cut or padded to 25 characters, into a reused buffer.
    void readName(int position);
    // The first position from start on that repeats the name before it (or the remembered
    // name, at start); end when none does.
    [[nodiscard]] int firstRepeat(int start, int end);
    void rememberWhereLeft();
    [[nodiscard]] bool standsWhereLeft() const;

    const LookupControls &m_c;
    DisplayState &m_state;
    std::optional<std::string> m_lastDupName;
    std::string m_name;
    // The record a step left current: the remembered name is the one behind it.
    const RecordSet *m_leftIn = nullptr;
    int m_leftAt = -1;
    RecordSet::Bookmark m_leftOn = RecordSet::kNoBookmark;
};
