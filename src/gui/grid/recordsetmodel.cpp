#include "grid/recordsetmodel.h"

#include "catalogue/numberformat.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7F;
}

// The invisible characters that reorder the text around them, by their usual short names.
// Shown as they are they disguise a name ("evil\u202Etxt.exe" reads as "evilexe.txt").
struct BidiControl {
    char16_t code;
    const char *name;
};

constexpr BidiControl kBidiControls[] = {{0x061C, "ALM"}, {0x200E, "LRM"}, {0x200F, "RLM"}, {0x202A, "LRE"},
                                         {0x202B, "RLE"}, {0x202C, "PDF"}, {0x202D, "LRO"}, {0x202E, "RLO"},
                                         {0x2066, "LRI"}, {0x2067, "RLI"}, {0x2068, "FSI"}, {0x2069, "PDI"}};

const char *bidiControlName(char16_t c)
{
    for (const BidiControl &b : kBidiControls)
        if (b.code == c)
            return b.name;
    return nullptr;
}

// A byte that may begin a control character's UTF-8 form: most names have none, and are
// shown without a second look.
bool mayStartControl(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return isControl(b) || b == 0xD8 || b == 0xE2;
}

// A tab or another control character would draw as a gap or nothing at all: it shows in
// caret notation instead (^I for a tab, ^? for delete), as terminals list such names.
// Every font has these characters, which is not so for the Control Pictures block. The
// direction controls show as their names in angle brackets (<RLO>).
QString withVisibleControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            shown += QLatin1Char('^') + QChar(char16_t(c.unicode() ^ 0x40));
        else if (const char *name = bidiControlName(c.unicode()))
            shown += QLatin1Char('<') + QLatin1String(name) + QLatin1Char('>');
        else
            shown += c;
    }
    return shown;
}

// Names are padded to a fixed width; the padding must not push a narrow column's text
// into an ellipsis.
QString shownText(const std::string &utf8)
{
    std::size_t n = utf8.size();
    while (n > 0 && utf8[n - 1] == ' ')
        --n;
    const auto end = utf8.begin() + std::ptrdiff_t(n);
    const bool controls = std::any_of(utf8.begin(), end, [](char c) { return mayStartControl(c); });
    QString text = QString::fromUtf8(utf8.data(), qsizetype(n));
    return controls ? withVisibleControls(text) : text;
}

} // namespace

RecordSetModel::RecordSetModel(QObject *parent)
    : QAbstractTableModel(parent), m_markBackground(QGuiApplication::palette().brush(QPalette::Highlight)),
      m_markForeground(QGuiApplication::palette().brush(QPalette::HighlightedText))
{
}

RecordSetModel::~RecordSetModel()
{
    detach();
}

void RecordSetModel::setRecordSet(RecordSet *records)
{
    m_updating = true;
    beginResetModel();
    if (records != m_records) {
        detach();
        m_records = records;
        if (m_records)
            m_records->addObserver(this);
        m_marks.clear(); // bookmarks mean nothing in another record set
    }
    resync();
    endResetModel();
    m_updating = false;
    emit recordsRebuilt();
}

void RecordSetModel::detach()
{
    if (m_records)
        m_records->removeObserver(this);
    m_records = nullptr;
}

void RecordSetModel::recordSetDestroyed()
{
    beginResetModel();
    m_records = nullptr;
    m_marks.clear();
    resync();
    endResetModel();
}

void RecordSetModel::resync()
{
    m_rows = m_records ? m_records->count() : 0;
    m_columns = m_records ? m_records->fieldCount() : 0;
}

int RecordSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

int RecordSetModel::recordRow(int row, int column) const
{
    if (!m_records || row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return -1;
    if (m_removing < 0 || row < m_removing)
        return row;
    // Views may look at neighbours while a removal is announced; the record set has
    // already closed the gap.
    return row == m_removing ? -1 : row - 1;
}

QString RecordSetModel::displayText(int row, int column) const
{
    row = recordRow(row, column);
    if (row < 0)
        return {};
    if (m_records->field(column).isNumeric()) {
        const qint64 v = m_records->integerAt(row, column);
        const ColumnSettings *s = settingsOf(column);
        return s && !s->format.isEmpty() ? formatNumber(v, s->format) : QString::number(v);
    }
    m_records->utf8At(row, column, m_buffer);
    return shownText(m_buffer);
}

QVariant RecordSetModel::data(const QModelIndex &index, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (m_records && index.column() < m_columns && m_records->field(index.column()).isNumeric())
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return {};
    case Qt::BackgroundRole:
        return isMarked(index.row()) ? QVariant(m_markBackground) : QVariant();
    case Qt::ForegroundRole:
        return isMarked(index.row()) ? QVariant(m_markForeground) : QVariant();
    default:
        return {};
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString(); // row selectors carry no text
    return caption(section);
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

RecordSetModel::ColumnSettings &RecordSetModel::settings(int column)
{
    if (std::size_t(column) >= m_settings.size())
        m_settings.resize(std::size_t(column) + 1);
    return m_settings[std::size_t(column)];
}

const RecordSetModel::ColumnSettings *RecordSetModel::settingsOf(int column) const
{
    return std::size_t(column) < m_settings.size() ? &m_settings[std::size_t(column)] : nullptr;
}

void RecordSetModel::setCaption(int column, const QString &caption)
{
    if (column < 0)
        return;
    settings(column).caption = caption;
    if (column < m_columns)
        emit headerDataChanged(Qt::Horizontal, column, column);
}

QString RecordSetModel::caption(int column) const
{
    const ColumnSettings *s = settingsOf(column);
    if (s && !s->caption.isEmpty())
        return s->caption;
    return m_records && column >= 0 && column < m_columns ? m_records->field(column).name : QString();
}

void RecordSetModel::setNumberFormat(int column, const QString &format)
{
    if (column < 0)
        return;
    settings(column).format = format;
    if (column < m_columns && m_rows > 0)
        emit dataChanged(index(0, column), index(m_rows - 1, column), {Qt::DisplayRole});
}

QString RecordSetModel::numberFormat(int column) const
{
    const ColumnSettings *s = settingsOf(column);
    return s ? s->format : QString();
}

bool RecordSetModel::isMarked(int row) const
{
    if (m_marks.isEmpty() || !m_records || row < 0 || row >= m_rows || m_removing >= 0)
        return false;
    return m_marks.contains(m_records->bookmarkAt(row));
}

void RecordSetModel::setMarked(RecordSet::Bookmark b, bool marked)
{
    if (b == RecordSet::kNoBookmark || marked == m_marks.contains(b))
        return;
    if (marked)
        m_marks.insert(b);
    else
        m_marks.remove(b);
    if (m_records)
        rowChanged(m_records->positionOf(b));
}

void RecordSetModel::toggleMark(int row)
{
    if (!m_records || row < 0 || row >= m_rows)
        return;
    const RecordSet::Bookmark b = m_records->bookmarkAt(row);
    setMarked(b, !m_marks.contains(b));
}

void RecordSetModel::clearMarks()
{
    if (m_marks.isEmpty())
        return;
    m_marks.clear();
    if (m_rows > 0 && m_columns > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1), {Qt::BackgroundRole, Qt::ForegroundRole});
}

void RecordSetModel::setMarkColors(const QBrush &background, const QBrush &foreground)
{
    m_markBackground = background;
    m_markForeground = foreground;
}

void RecordSetModel::rowChanged(int row)
{
    if (row >= 0 && row < m_rows && m_columns > 0)
        emit dataChanged(index(row, 0), index(row, m_columns - 1), {Qt::BackgroundRole, Qt::ForegroundRole});
}

void RecordSetModel::recordsReset()
{
    m_updating = true;
    beginResetModel();
    if (!m_records->isOpen())
        m_marks.clear(); // a closed table hands out its bookmarks again
    resync();
    endResetModel();
    m_updating = false;
    emit recordsRebuilt();
}

void RecordSetModel::recordsAppended(int first, int last)
{
    if (first != m_rows || last < first) {
        recordsReset();
        return;
    }
    m_updating = true;
    beginInsertRows({}, first, last);
    m_rows = last + 1;
    endInsertRows();
    m_updating = false;
}

void RecordSetModel::recordRemoved(int position)
{
    if (position < 0 || position >= m_rows || m_records->count() != m_rows - 1) {
        recordsReset();
        return;
    }
    m_updating = true;
    m_removing = position;
    beginRemoveRows({}, position, position);
    m_rows = m_records->count();
    m_removing = -1;
    endRemoveRows();
    m_updating = false;
}

void RecordSetModel::currentMoved(int position)
{
    emit currentRecordMoved(position);
}
