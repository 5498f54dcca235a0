#pragma once
// One pane (split) of the grid: a table view over the grid's shared model and selection,
// with its own column visibility, width rule, row selectors and background colour.

#include <QColor>
#include <QTableView>
#include <vector>

enum class PaneSizeMode { Scalable = 0, Exact = 1, NumberOfColumns = 2 };

class GridPane : public QTableView {
    Q_OBJECT
public:
    explicit GridPane(QWidget *parent = nullptr);

    [[nodiscard]] QTableView *view() { return this; }

    // Kept by the pane, so it outlives model resets; unknown columns take the default.
    void setColumnVisible(int column, bool visible);
    [[nodiscard]] bool isColumnVisible(int column) const;
    void setAllColumnsVisible(bool visible);
    void copyVisibility(const GridPane &other);
    void applyVisibility();
    [[nodiscard]] int firstVisibleColumn() const;

    // Scalable: shares the free width by size; Exact: size twips wide;
    // NumberOfColumns: exactly as wide as its first `size` visible columns.
    void setSizeMode(PaneSizeMode mode);
    [[nodiscard]] PaneSizeMode sizeMode() const { return m_sizeMode; }
    void setSize(int size);
    [[nodiscard]] int size() const { return m_size; }
    [[nodiscard]] int fittedWidth() const;
    void refreshWidth();

    void setAllowSizing(bool allow);
    [[nodiscard]] bool allowSizing() const { return m_allowSizing; }
    void setRecordSelectors(bool on);
    [[nodiscard]] bool recordSelectors() const { return m_recordSelectors; }
    void setBackColor(const QColor &color);
    [[nodiscard]] QColor backColor() const;

    void keyboardSearch(const QString &search) override;

    // Lays out what a model reset or a column change left pending, so the scroll ranges
    // and the viewport are those the user will see.
    void settle();
    // Scrolls sideways, as little as needed, until the column is wholly in view (its left
    // edge when it is wider than the view).
    void revealColumn(int column);
    // Rows wholly in view, at least one.
    [[nodiscard]] int rowsInView() const;
    [[nodiscard]] bool isRowWhollyInView(int row) const;

signals:
    void sizingChanged(); // the share of width the grid's layout should give this pane

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void updateGeometries() override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void applyFontMetrics();

    std::vector<char> m_visible; // by column; columns beyond take m_defaultVisible
    bool m_defaultVisible = true;
    PaneSizeMode m_sizeMode = PaneSizeMode::Scalable;
    int m_size = 1;
    bool m_allowSizing = false;
    bool m_recordSelectors = true;
};
