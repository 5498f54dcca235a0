#pragma once
// Keeps a window's controls where the design puts them, in proportion to the window's
// size: each control has a rectangle in twips inside the design's client area, scaled by
// the ratio of the current client size to the design size.

#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

class ProportionalLayout : public QObject {
public:
    enum class Sizing {
        Scaled,     // position and size in proportion
        FullWidth,  // across the whole client area, at its design height (a toolbar)
        ToText,     // at its scaled position, as large as its text (an auto-sized label)
        AtLeastText // scaled, but never narrower than its text
    };

    ProportionalLayout(QWidget *client, QSize designTwips);

    void add(QWidget *control, QRect twips, Sizing sizing = Sizing::Scaled);
    // The client area's design size in pixels at the client's DPI.
    [[nodiscard]] QSize designPixels() const;
    void relayout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Item {
        QWidget *control;
        QRect twips;
        Sizing sizing;
    };
    [[nodiscard]] QRect placement(const Item &item) const;

    QWidget *m_client;
    QSize m_designTwips;
    std::vector<Item> m_items;
};
