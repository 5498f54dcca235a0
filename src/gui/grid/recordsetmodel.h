#pragma once
// The table model the grid's panes share: one row per record in the record set's current
// order, one column per field. It follows the record set as its observer and keeps the
// grid's own column settings (captions, number formats) and the row marks, which are kept
// by bookmark so that they survive a sort.

#include "catalogue/recordset.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QSet>
#include <QString>
#include <string>
#include <vector>

class RecordSetModel : public QAbstractTableModel, public RecordSetObserver {
    Q_OBJECT
public:
    explicit RecordSetModel(QObject *parent = nullptr);
    ~RecordSetModel() override;

    // Detaches from the previous record set (which may be destroyed right after).
    void setRecordSet(RecordSet *records);
    [[nodiscard]] RecordSet *recordSet() const { return m_records; }

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The text a cell shows: the stored value with control characters in caret notation,
    // or the formatted integer of a numeric field with a number format.
    [[nodiscard]] QString displayText(int row, int column) const;
    // True while views are being told of a change: current-index moves the selection
    // model makes on its own then are not the user's.
    [[nodiscard]] bool isUpdating() const { return m_updating; }

    // An empty caption stands for the field's name.
    void setCaption(int column, const QString &caption);
    [[nodiscard]] QString caption(int column) const;
    void setNumberFormat(int column, const QString &format);
    [[nodiscard]] QString numberFormat(int column) const;

    [[nodiscard]] bool isMarked(int row) const;
    void setMarked(RecordSet::Bookmark b, bool marked);
    void toggleMark(int row);
    void clearMarks();
    [[nodiscard]] const QSet<RecordSet::Bookmark> &marks() const { return m_marks; }
    void setMarkColors(const QBrush &background, const QBrush &foreground);

signals:
    // After a wholesale change, once every view has taken in the reset.
    void recordsRebuilt();
    void currentRecordMoved(int position);

private:
    struct ColumnSettings {
        QString caption;
        QString format;
    };

    void recordsReset() override;
    void recordSetDestroyed() override;
    void recordsAppended(int first, int last) override;
    void recordRemoved(int position) override;
    void currentMoved(int position) override;

    void detach();
    void resync();
    void rowChanged(int row);
    // The record shown in a cell's row, -1 for none.
    [[nodiscard]] int recordRow(int row, int column) const;
    [[nodiscard]] ColumnSettings &settings(int column);
    [[nodiscard]] const ColumnSettings *settingsOf(int column) const;

    RecordSet *m_records = nullptr;
    int m_rows = 0;
    int m_columns = 0;
    bool m_updating = false;
    int m_removing = -1; // the row being removed, while views are told about it
    std::vector<ColumnSettings> m_settings;
    QSet<RecordSet::Bookmark> m_marks;
    QBrush m_markBackground;
    QBrush m_markForeground;
    mutable std::string m_buffer; // reused by data(), so painting allocates no text buffer
};
