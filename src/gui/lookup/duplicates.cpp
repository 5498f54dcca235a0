#include "lookup/duplicates.h"

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "common/messagesink.h"
#include "grid/datagrid.h"
#include "lookup/sorting.h"
#include "platform/text.h"

#include <QAction>
#include <QWidget>

namespace {

constexpr int kEnter = 13, kTab = 9;

} // namespace

void DuplicateFinder::readName(int position)
{
    m_c.state->catalogue->utf8At(position, fld::LongName, m_name);
    text::fitInPlace(m_name, values::kLongNameWidth);
}

void DuplicateFinder::rememberWhereLeft()
{
    const RecordSet &catalogue = *m_c.state->catalogue;
    m_leftIn = &catalogue;
    m_leftAt = catalogue.position();
    m_leftOn = catalogue.bookmark();
}

bool DuplicateFinder::standsWhereLeft() const
{
    const RecordSet &catalogue = *m_c.state->catalogue;
    return m_leftIn == &catalogue && m_leftAt == catalogue.position() && m_leftOn == catalogue.bookmark();
}

void DuplicateFinder::markCurrentRow()
{
    m_c.grdFiles->addSelectedBookmark(m_c.grdFiles->bookmark());
}

void DuplicateFinder::endOfDuplicates()
{
    m_c.window->setCursor(Qt::ArrowCursor);
    m_c.messages->showMessage(QStringLiteral("No more duplicate file names"), QStringLiteral("No More Duplicates"));
    m_c.FindDups->setChecked(false);
}

bool DuplicateFinder::mayFind() const
{
    if (!nameAscendingChosen(m_c)) {
        m_c.messages->showMessage(
            QStringLiteral(
                "Files must be displayed and sorted in file name ascending order in order to find duplicate files"),
            QStringLiteral("Sort Order Incorrect"));
        return false;
    }
    if (m_c.state->TotalFiles == 0) {
        m_c.messages->showMessage(QStringLiteral("You must display the files first, before finding duplicate files"),
                                  QStringLiteral("Display Files First"));
        return false;
    }
    return true;
}

void DuplicateFinder::FindDuplicates()
{
    if (!mayFind())
        return;
    RecordSet &catalogue = *m_c.state->catalogue;
    if (m_c.state->mblnDupFirst) {
        m_state.mblnDupFirst = false;
        m_c.FindDups->setChecked(true);
        m_lastDupName.reset();
        catalogue.moveFirst();
    } else if (!standsWhereLeft()) {
        // The user moved the current row (a click, the arrows, Enter, a sort): the name
        // remembered belongs to another place, and would pair the record there with
        // whatever record stands before it.
        m_lastDupName.reset();
    }
    m_c.window->setCursor(Qt::WaitCursor);

    // The scan reads by position and moves the record set once: every move would make the
    // grid follow, and nothing can look between the steps.
    const int start = std::max(catalogue.position(), 0);
    const int end = int(std::min<qint64>(catalogue.count(), start + m_c.state->TotalFiles));
    const int found = firstRepeat(start, end);
    if (found < end) {
        catalogue.setPosition(found - 1);
        markCurrentRow();
        catalogue.setPosition(found);
        MarkDuplicateGroup();
        m_c.grdFiles->setFocus();
        catalogue.movePrevious();
        rememberWhereLeft();
        return;
    }
    catalogue.setPosition(end);
    endOfDuplicates();
}

int DuplicateFinder::firstRepeat(int start, int end)
{
    if (start >= end)
        return end;
    readName(start);
    const bool repeatsRemembered = start > 0 && m_lastDupName && m_name == *m_lastDupName;
    const int found =
        repeatsRemembered ? start : m_c.state->catalogue->findRepeat(fld::LongName, start, end, values::kLongNameWidth);
    // LastDupName ends as the scan leaves it: the name of the last record it read.
    readName(std::min(found, end - 1));
    m_lastDupName = m_name;
    return found;
}

void DuplicateFinder::MarkDuplicateGroup()
{
    RecordSet &catalogue = *m_c.state->catalogue;
    const qint64 steps = m_c.state->TotalFiles;
    for (qint64 step = 0; step < steps && !catalogue.eof(); ++step) {
        readName(catalogue.position());
        if (m_name != *m_lastDupName) {
            m_lastDupName->swap(m_name);
            m_c.window->setCursor(Qt::ArrowCursor);
            return;
        }
        markCurrentRow();
        catalogue.moveNext();
    }
    endOfDuplicates();
}

void DuplicateFinder::gridKeyPress(int &keyAscii)
{
    if (keyAscii == kTab && m_c.FindDups->isChecked()) {
        keyAscii = 0;
        FindDuplicates();
    }
    if (keyAscii == kEnter && m_c.FindDups->isChecked()) {
        keyAscii = 0;
        m_c.state->catalogue->moveFirst();
    }
}
