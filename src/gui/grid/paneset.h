#pragma once
// The grid's panes side by side in its widget: their creation and removal, the column
// widths they share, the share of the width each takes, and their vertical scrolling in
// step. The panes are views over one model and one selection.

#include <QObject>
#include <vector>

class GridPane;
class QAbstractItemModel;
class QHBoxLayout;
class QItemSelectionModel;
class QWidget;

class PaneSet : public QObject {
    Q_OBJECT
public:
    // Lays out one pane in the host. inputFilter hears every pane's input events.
    PaneSet(QWidget &host, QAbstractItemModel *model, QItemSelectionModel *selection, QObject *inputFilter);

    // Deletes the panes at once, while the model still holds its rows, so that none of
    // them has to follow the model's last reset.
    void deleteAll();

    [[nodiscard]] int count() const { return int(m_panes.size()); }
    [[nodiscard]] GridPane *at(int position) const; // nullptr outside
    [[nodiscard]] int indexOf(const GridPane *pane) const;
    [[nodiscard]] const std::vector<GridPane *> &all() const { return m_panes; }
    // The rightmost pane: the one with the vertical scroll bar.
    [[nodiscard]] GridPane *master() const { return m_panes.back(); }
    // The master, laid out as the user will see it.
    [[nodiscard]] GridPane *settledMaster();

    // A new pane starts with the column visibility of the pane it is inserted before.
    void insert(int position);
    // The last pane is never removed.
    void remove(int position);

    [[nodiscard]] GridPane *current() const { return m_current; }
    void makeCurrent(GridPane *pane);
    // The current pane if it shows the column, else the first pane that does.
    [[nodiscard]] GridPane *showing(int column) const;

    void setColumnWidth(int column, int twips);
    [[nodiscard]] int columnWidth(int column) const; // twips
    void applyWidths();
    void setColumnVisible(int column, bool visible);
    void setAlignment(int alignment);
    [[nodiscard]] int alignment() const { return m_alignment; }

    // After a model reset: hidden columns and widths given again.
    void applyLayout();
    void scrollAllToLeft();
    void repaintSelectors();
    // Brings the layout's geometry up to date at once.
    void activateLayout();

signals:
    void rowActivated();
    void selectorPressed(int row);

private:
    [[nodiscard]] GridPane *create();
    void watch(GridPane *pane);
    void unwatch(GridPane *pane);
    void storeWidth(int column, int twips);
    void applyColumnWidths(GridPane *pane);
    void onSectionResized(GridPane *pane, int column, int newSize);
    void updateScrollBars();
    void updateStretch();
    void syncVerticalFrom(GridPane *source, int value);

    QWidget &m_host;
    QAbstractItemModel *m_model;
    QItemSelectionModel *m_selection;
    QObject *m_inputFilter;
    QHBoxLayout *m_layout;
    std::vector<GridPane *> m_panes;
    GridPane *m_current = nullptr;
    std::vector<int> m_widths; // twips by column; -1 for the default width
    int m_alignment = 0;
    bool m_applyingWidths = false;
    bool m_syncingScroll = false;
};
